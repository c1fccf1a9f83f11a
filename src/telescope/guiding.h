// The self-guiding steps that the exposure loop runs inside a long exposure.
#pragma once

// Called by the exposure loop before a self-guided exposure starts; 0 when
// guiding is ready, non-zero (after its own message) when it cannot start.
int StartSelfGuide();
// One guide frame and correction while the exposure integrates; clears
// `selfguiding` when guiding fails.
void SelfGuide();
// The switch to the second guide frame at mid-exposure.
void SwitchSelfGuide();

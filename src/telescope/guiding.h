// The telescope side that the camera reaches: the self-guiding steps that the
// exposure loop runs inside a long exposure, and the control box probe of the
// camera dialog's self-guide boxes.
#pragma once

// The serial link or the control box answered (set by the probes).
extern int comfound;

// Opens the control box's port at 300 baud; 1 on success (comfound and
// gotcontrolbox set), 0 after "Open Communications Failed".
int interface_check();
// The control box's wake-up and reset sequence.
void interface_CR();

// Called by the exposure loop before a self-guided exposure starts; 0 when
// guiding is ready, non-zero (after its own message) when it cannot start.
int StartSelfGuide();
// One guide frame and correction while the exposure integrates; clears
// `selfguiding` when guiding fails.
void SelfGuide();
// The switch to the second guide frame at mid-exposure.
void SwitchSelfGuide();

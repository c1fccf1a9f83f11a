// Guider training, autoguiding and self-guiding: the loops that read guide
// frames, find the star and send timed corrections. The arithmetic of each
// step is in guide_steps.h; these are its drivers over the camera read-out,
// the telescope links and the Host.
#pragma once

#include "app/host.h"
#include "telescope/guide_steps.h"
#include "telescope/telescope_link.h"

// Results of guide_telescope().
constexpr int guide_ok = 0;
constexpr int guide_star_lost = 3;
constexpr int guide_link_failed = 4; // the link reported its error; guiding must end

// Finds the star from (x, y) in a guide frame. 0 when found (xcent, ycent
// and the tenths set); 1 when the search failed or found nothing, with the
// centroid left as it was.
int search_guide_star(int x, int y, const unsigned short* frame);

// Sends one timed move through the chosen telescope link, between two
// beeps through `pump`. 0, or -1 when the link failed.
int send_guide_pulse(const GuidePulse& pulse, EventPump& pump = event_pump());

// One correction from the guide frame `frame`: guide_ok, guide_star_lost
// (guiding, selfguiding and tracking cleared) or guide_link_failed.
// A star lost outside self-guiding is said in a box through `pump`.
int guide_telescope(const unsigned short* frame, EventPump& pump = event_pump());

// Reads one guide frame into `image` (internal command 889's read); false
// when the frame did not arrive.
bool read_guide_frame();
bool read_selfguide_frame();

// The training sequence on the frame buffer `frame` (command 22's work).
void do_CmTrainGuide(unsigned short* frame);
// Command 22: training on the main frame buffer; a new pick is needed after.
void train_guider();

// What one frame of the guiding loop did, for whatever follows the run (a
// graph, a log): whether the star was measured against the reference, and
// the correction asked for (its pulses were sent unless `result` says the
// link failed).
struct GuideFrame {
    bool corrected = false;
    int result = guide_ok;
    GuideCorrection correction;
};
// One pass of the guiding loop: a pump, a guide frame, the reference on the
// run's first frame, the correction and the information window. Clears
// `continuous` when guiding must end (a press, a lost star, a dead link).
GuideFrame guiding_step(EventPump& pump, FrameDisplay& display, RunWindows& windows);

// Command 23: guiding until a key or button press, a lost star or a link
// failure; ends with "Guiding Terminated".
void start_guiding();

// The self-guiding steps the exposure loop calls: before the exposure (0
// when guiding is ready), once per pass of its wait, and at the switch to
// the second guide frame.
// They show guide frames through the exposure run's display and windows.
int StartSelfGuide(FrameDisplay& display, RunWindows& windows);
void SelfGuide(EventPump& pump, FrameDisplay& display, RunWindows& windows);
void SwitchSelfGuide(FrameDisplay& display, RunWindows& windows);

// The status bar: the hint of the highlighted item or button, and the Caps
// Lock, Num Lock and Overtype indicators.
#pragma once

class QMainWindow;
class QStatusBar;

// Builds the bar at the bottom of `frame`. The indicators are labels named
// "CAP", "NUM" and "OVR", enabled while their state is on.
QStatusBar* build_status_bar(QMainWindow& frame);

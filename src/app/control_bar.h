// The control bar: its buttons in order, their glyphs, and the telescope
// button that joins the bar only when a telescope interface is configured.
#pragma once

#include <QIcon>

class QAction;
class QToolBar;
class QMainWindow;
class TQuillonWindow;

// One gadget of the bar: a command button, or a separator (number 0) of
// `width` pixels.
struct ControlBarGadget {
    int number;
    int width;
    const char* tip;
};

// The gadgets in order, separators included; the telescope button is not
// among them.
const ControlBarGadget* control_bar_gadgets(int& count);

// The glyph of command `number`, drawn for the bar.
QIcon command_glyph(int number);

// Builds the bar with its buttons and separators at the top of `frame`.
QToolBar* build_control_bar(QMainWindow& frame, TQuillonWindow& window);
// The telescope button (command 24), parented to `bar` but not on it.
QAction* make_telescope_button(QToolBar& bar, TQuillonWindow& window);

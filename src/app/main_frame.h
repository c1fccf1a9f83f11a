// Builds the decorated frame around the main window: menu, control bar,
// status bar, accelerators. Used by the application and by window tests.
#pragma once

// The start-up steps after the windows exist: points the frame buffers,
// builds the grey palette, clears the display table and fills the frames
// with the start-up ramp.
void start_frame_buffers();

#ifdef QT_WIDGETS_LIB
#include <QMainWindow>

#include <memory>

class QAction;
class QStatusBar;
class QToolBar;
class TQuillonWindow;

struct MainFrame {
    std::unique_ptr<QMainWindow> frame;
    TQuillonWindow* client = nullptr; // owned by frame
    QToolBar* cb = nullptr; // the control bar, owned by frame
    QStatusBar* sb = nullptr; // owned by frame
    // The telescope button: made always, on the control bar only when a
    // telescope interface was configured when the frame was built.
    QAction* TelescopeControl = nullptr;
};

MainFrame build_main_frame();
#endif

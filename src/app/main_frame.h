// Builds the decorated frame around the main window: menu, control bar,
// status bar, accelerators. Used by the application and by window tests.
#pragma once

#include <QMainWindow>

#include <memory>

class TQuillonWindow;

struct MainFrame {
    std::unique_ptr<QMainWindow> frame;
    TQuillonWindow* client = nullptr;   // owned by frame
};

MainFrame build_main_frame();

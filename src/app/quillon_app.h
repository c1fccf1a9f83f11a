// The application object: builds the frame, control bar and status bar
// around the main window, then fills the frame buffers and the palette.
#pragma once

#include <QApplication>
#include <QMainWindow>
#include <QPointer>

class TQuillonWindow;

class TQuillonApp : public QApplication {
    Q_OBJECT

public:
    TQuillonApp(int& argc, char** argv);
    ~TQuillonApp() override;

    // Builds the windows (frame, client, control bar, status bar).
    void InitMainWindow();
    // Shows the main window, then points the buffers, builds the grey
    // palette, clears the display table and fills the start-up ramp.
    void InitInstance();

    QMainWindow* frame() const { return frame_; }
    TQuillonWindow* client() const { return client_; }

private:
    QPointer<QMainWindow> frame_;
    TQuillonWindow* client_ = nullptr;
};

// The application object: builds the frame, control bar and status bar
// around the main window, then fills the frame buffers and the palette.
#pragma once

#include <QApplication>
#include <QMainWindow>
#include <memory>

#include "app/main_frame.h"

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

    QMainWindow* frame() const { return main_.frame.get(); }
    TQuillonWindow* client() const { return main_.client; }

protected:
    // Closing the frame ends the program, whatever other windows are open.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    MainFrame main_;
};

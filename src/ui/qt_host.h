// The Host of the Qt program, all three parts of it: the event pump (the
// message pump with the stop request, the interruptible wait, message boxes,
// the beep, internal commands, the wait cursor), the frame display, and the
// progress and information windows.
#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>

#include <vector>

#include "app/host.h"

class TQuillonWindow;

class QtHost : public QObject, public Host {
public:
    // Needs the application object; watches every event of the program.
    QtHost();
    ~QtHost() override;

    // The window that internal commands are sent to.
    void set_window(TQuillonWindow* window) { window_ = window; }

    // The widget that draws the camera dialog's focus frame, while the
    // dialog is open (nullptr when it closes).
    void set_focus_view(QWidget* view) { focus_view_ = view; }

    // EventPump
    void clear_messages() override;
    bool pump_for_press() override;
    void beep() override;
    int message_box(const std::string& text, const std::string& caption, BoxButtons buttons = BoxButtons::ok,
        BoxIcon icon = BoxIcon::none) override;
    void send_command(int number) override;
    void wait_cursor(bool on) override;

    // FrameDisplay
    void show_frame() override;
    void redraw_window() override;
    void focus_frame_update() override;
    void prepare_display() override;

    // RunWindows
    void progress_create() override;
    void progress_show() override;
    void progress_open() override;
    void progress_update() override;
    void progress_close() override;
    void info_open() override;
    void info_update() override;
    void info_close() override;
    bool info_is_open() const override;

    int beeps() const { return beeps_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // One running pump or wait. A press is taken only by the innermost one,
    // and only from its own event loop: a modal box opened meanwhile runs a
    // loop of its own, where keys are the box's.
    struct Pump {
        int loop_level;
        bool stop_request; // the pump stops the run; a wait only notes the press
        bool pressed = false;
    };
    bool is_press(QObject* watched, QEvent* event) const;

    std::vector<Pump> pumps_;
    QPointer<TQuillonWindow> window_;
    QPointer<QWidget> focus_view_;
    int beeps_ = 0;
    int wait_cursors_ = 0;
    // Alt+X already stopped the run whose close it asked for.
    bool stopped_for_exit_ = false;
};

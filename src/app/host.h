// The Host seam: everything the core asks of the windowing layer, in three
// parts by what a caller needs: the event pump and boxes, the frame display,
// and the run windows. The Qt program installs its host at start; tests
// install a recording host. The core never includes a toolkit header.
#pragma once

#include <string>

#include "app/installed.h"

enum class BoxButtons { ok, ok_cancel, yes_no, yes_no_cancel };
enum class BoxIcon { none, information, warning, stop, question };
// Results of message_box().
constexpr int box_ok = 1;
constexpr int box_cancel = 2;
constexpr int box_yes = 6;
constexpr int box_no = 7;

// The event side of a running operation: the message pump, the press
// checks of an interruptible wait, and what talks to the user at once (boxes,
// beeps, the wait cursor, internal commands to the main window). Every loop
// that must stay responsive needs this and nothing more to wait.
class EventPump {
public:
    virtual ~EventPump() = default;

    // The message pump: dispatches pending events; a key press or a left or
    // right button press is a request to stop (see request_stop()).
    virtual void clear_messages() = 0;
    // The pump of an interruptible wait: dispatches pending events and
    // returns true when a key or a left or right button was pressed since the
    // last call. It does not apply the stop request: the waiting caller
    // decides what a press ends.
    virtual bool pump_for_press() = 0;
    // Waits `seconds` on the program clock while pumping; returns 1 when a
    // key or mouse button ended the wait (after one beep), else 0. Written
    // once over pump_for_press(), sleeping between polls.
    int one_sec_delay(int seconds);
    virtual void beep() = 0;
    // Modal box; returns box_ok, box_cancel, box_yes or box_no.
    virtual int message_box(const std::string& text, const std::string& caption,
                            BoxButtons buttons = BoxButtons::ok, BoxIcon icon = BoxIcon::none) = 0;
    // Sends an internal command (888, 889, 925, 926, ...) to the main window
    // synchronously; returns when its handler has run.
    virtual void send_command(int number) = 0;
    // Wait cursor around long work.
    virtual void wait_cursor(bool on) = 0;
};

// What the device loops show of the frame in the image buffer.
class FrameDisplay {
public:
    virtual ~FrameDisplay() = default;

    // A new frame in the image buffer goes the whole way of a shown frame:
    // history, display, auto-save.
    virtual void show_frame() = 0;
    // Repaints the main window now, with no new frame: a blocking read-out
    // must not leave it grey.
    virtual void redraw_window() = 0;
    // Repaints the camera dialog's focus frame and its peak from the image
    // buffer (nothing when the dialog is not open).
    virtual void focus_frame_update() = 0;
    // Rebuilds the display from the frame in the image buffer without the
    // steps of a new frame (a guide frame: the guide-frame bitmap, and the
    // main window's picture while training).
    virtual void prepare_display() = 0;
};

// The windows that follow a long run: progress, and guiding information.
class RunWindows {
public:
    virtual ~RunWindows() = default;

    // The progress window: opened, updated from `progress`,
    // `progress_caption` and `changecaption`, and closed by its owner.
    // progress_create() makes it hidden, progress_show() shows it (creating
    // it when needed); progress_open() does both.
    virtual void progress_create() = 0;
    virtual void progress_show() = 0;
    virtual void progress_open() = 0;
    virtual void progress_update() = 0;
    virtual void progress_close() = 0;

    // The guiding information window (TIN).
    virtual void info_open() = 0;
    virtual void info_update() = 0;
    virtual void info_close() = 0;
    virtual bool info_is_open() const = 0;
};

// Everything the core asks of the windowing layer, in one object: what is
// installed. A caller takes the part it needs (event_pump(), frame_display(),
// run_windows()).
class Host : public EventPump, public FrameDisplay, public RunWindows { };

// A host that does nothing and answers OK: used before a real host exists.
class NullHost : public Host {
public:
    void clear_messages() override {}
    bool pump_for_press() override { return false; }
    void beep() override {}
    int message_box(const std::string&, const std::string&, BoxButtons, BoxIcon) override { return box_ok; }
    void send_command(int) override {}
    void wait_cursor(bool) override {}
    void show_frame() override {}
    void redraw_window() override {}
    void focus_frame_update() override {}
    void prepare_display() override {}
    void progress_create() override {}
    void progress_show() override {}
    void progress_open() override {}
    void progress_update() override {}
    void progress_close() override {}
    void info_open() override {}
    void info_update() override {}
    void info_close() override {}
    bool info_is_open() const override { return false; }
};

// The installed host; the null host until set_host() installs another.
extern Installed<Host> installed_host;
inline Host& host()
{
    return installed_host.current();
}
// Installs `h` (not owned); nullptr restores the null host.
inline void set_host(Host* h)
{
    installed_host.install(h);
}
// The parts of the installed host, for a caller that needs only one.
EventPump& event_pump();
FrameDisplay& frame_display();
RunWindows& run_windows();

// The stop request of the message pump: what a key press or a left or right
// button press does to a running operation. Every host's pump calls it, in
// order: stop flags, end of the timed wait, one beep through `pump`, focus
// frame reset, the information window closed when self-guiding, self-guiding
// off.
void apply_stop_request(EventPump& pump, RunWindows& windows);

// Resets the focus frame to its default origin (the focus-frame reset
// command's state change).
void focus_frame_reset();

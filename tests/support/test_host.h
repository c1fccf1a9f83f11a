// A host for tests: all three parts of the Host (pump, frame display, run
// windows) in one recorder. It records every box, beep, command and window
// call, and plays back scripted user presses on the manual clock.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "app/clock.h"
#include "app/host.h"

struct RecordedBox {
    std::string text;
    std::string caption;
    BoxButtons buttons;
};

class TestHost : public Host {
public:
    explicit TestHost(ManualClock& clock) : clock_(clock) {}

    std::vector<RecordedBox> boxes;
    std::vector<int> commands;
    int beeps = 0;
    int pumps = 0;
    int progress_opens = 0, progress_updates = 0, progress_closes = 0;
    int progress_creates = 0, progress_shows = 0;
    // What the device loops showed: frames shown, window redraws, focus
    // frame repaints, with the clock time of each shown frame.
    int frames_shown = 0, redraws = 0, focus_frame_updates = 0, displays_prepared = 0;
    std::vector<std::int64_t> frame_times;
    // Runs for every show_frame(); tests hook a check of the frame here.
    std::function<void()> on_show_frame;
    // Runs for every info_update(); tests watch each correction here.
    std::function<void()> on_info_update;
    bool info_open_now = false;
    int wait_cursor_depth = 0;
    // Answers given to message boxes in order; box_ok once they run out.
    std::vector<int> box_answers;
    // Runs for every send_command(); tests hook a window's dispatch here.
    std::function<void(int)> on_command;
    // Each pump advances the manual clock by this much, so loops that poll
    // the clock make progress.
    int pump_advance_ms = 10;

    // The user presses a key once the clock reaches `at_ms`.
    void press_key_at(std::int64_t at_ms) { presses_.push_back(at_ms); }

    // EventPump
    void clear_messages() override;
    bool pump_for_press() override { return take_press(); }
    void beep() override { ++beeps; }
    int message_box(const std::string& text, const std::string& caption, BoxButtons buttons,
                    BoxIcon icon) override;
    void send_command(int number) override;
    void wait_cursor(bool on) override { wait_cursor_depth += on ? 1 : -1; }

    // FrameDisplay
    void show_frame() override;
    void redraw_window() override { ++redraws; }
    void focus_frame_update() override { ++focus_frame_updates; }
    void prepare_display() override { ++displays_prepared; }

    // RunWindows
    void progress_create() override { ++progress_creates; }
    void progress_show() override { ++progress_shows; }
    void progress_open() override { ++progress_opens; }
    void progress_update() override { ++progress_updates; }
    void progress_close() override { ++progress_closes; }
    void info_open() override { info_open_now = true; }
    void info_update() override
    {
        if (on_info_update)
            on_info_update();
    }
    void info_close() override { info_open_now = false; }
    bool info_is_open() const override { return info_open_now; }

private:
    // True when a scripted press is due; consumes it.
    bool take_press();

    ManualClock& clock_;
    std::vector<std::int64_t> presses_;
};

#include "test_host.h"

#include <algorithm>

bool TestHost::take_press()
{
    auto due = std::find_if(presses_.begin(), presses_.end(),
                            [&](std::int64_t at) { return at <= clock_.now_ms(); });
    if (due == presses_.end())
        return false;
    presses_.erase(due);
    return true;
}

void TestHost::clear_messages()
{
    ++pumps;
    clock_.advance(pump_advance_ms);
    if (take_press())
        apply_stop_request(*this, *this);
}

void TestHost::show_frame()
{
    ++frames_shown;
    frame_times.push_back(clock_.now_ms());
    if (on_show_frame)
        on_show_frame();
}

int TestHost::message_box(const std::string& text, const std::string& caption, BoxButtons buttons, BoxIcon)
{
    boxes.push_back({text, caption, buttons});
    if (box_answers.empty())
        return box_ok;
    const int answer = box_answers.front();
    box_answers.erase(box_answers.begin());
    return answer;
}

void TestHost::send_command(int number)
{
    commands.push_back(number);
    if (on_command)
        on_command(number);
}

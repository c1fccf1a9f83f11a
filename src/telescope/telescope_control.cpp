#include "telescope/telescope_control.h"

#include <cctype>
#include <climits>
#include <cstdint>

#include "app/host.h"
#include "app/messages.h"
#include "app/state.h"
#include "app/text_field.h"
#include "telescope/telescope_link.h"

const char* const control_caption = "Quillon - Control Telescope";
const char* const control_help_text = "Enter a Messier or CNGC number and press the GoTo Object "
                                      "button.\n\nIf you enter both numbers the Messier "
                                      "will be favoured. To use CGNC numbers ensure the Messier number is 0";

bool open_telescope_control()
{
    return open_telescope_link(23);
}

int dialog_number(const std::string& text)
{
    std::size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i])))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+'))
        negative = text[i++] == '-';
    const std::size_t digits_start = i;
    long long value = 0;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) {
        value = value * 10 + (text[i] - '0');
        if (value > INT_MAX)
            return 0;
        ++i;
    }
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i])))
        ++i;
    if (i == digits_start || i != text.size())
        return 0;
    return static_cast<int>(negative ? -value : value);
}

namespace {
// A link that failed (and was released) is opened again by the next go-to
// or move, as guiding does.
bool link_ready()
{
    return comfound || open_telescope_link(23);
}

// A catalogue go-to. The mount's information on the target follows every
// go-to; when the mount refused, its reason is what "Info from Scope"
// shows, not a description that reads like a slew under way.
void go_to_catalogue(char library, int number)
{
    if (!link_ready())
        return;
    const GotoReply reply = telescope_link().go_to_object(library, number);
    retchar = reply.reply;
    if (!reply.accepted() && !reply.reason.empty())
        set_text(move_error, reply.reason);
}
} // namespace

void goto_object(const std::string& messier, const std::string& cngc)
{
    set_Messier = dialog_number(messier);
    set_CNGC = dialog_number(cngc);
    retchar = '0';
    if (set_Messier > 0 && set_Messier < 111)
        go_to_catalogue('m', set_Messier);
    else if (set_CNGC > 0 && set_CNGC < 7816)
        go_to_catalogue('c', set_CNGC);
    else
        event_pump().message_box("Object out of range - try again", control_caption);
}

void goto_planet(int button_id)
{
    // The telescope's star-library numbers; 903 (the Earth) has no button.
    static const int library[8] = { 901, 902, 904, 905, 906, 907, 908, 909 };
    if (button_id < 104 || button_id > 111)
        return;
    retchar = '0';
    go_to_catalogue('s', library[button_id - 104]);
}

void goto_coordinates(const std::string& ra_hours, const std::string& ra_minutes,
    const std::string& dec_degrees, const std::string& dec_minutes)
{
    set_RAhr = dialog_number(ra_hours);
    set_RAmin = dialog_number(ra_minutes);
    set_Decdeg = dialog_number(dec_degrees);
    set_Decmin = dialog_number(dec_minutes);
    retchar = '0';
    if (set_RAhr >= 0 && set_RAhr < 24 && set_RAmin >= 0 && set_RAmin < 60 && set_Decdeg > -90
        && set_Decdeg < 90 && set_Decmin >= 0 && set_Decmin < 60) {
        if (link_ready())
            retchar = telescope_link().go_to_coordinates(set_RAhr, set_RAmin, set_Decdeg, set_Decmin).reply;
        return;
    }
    event_pump().message_box(
        "Invalid Co-ordinates set.\n\nRange is R.A. 0hr 00min, to 23hr 59mins\n        Dec  "
        "-89deg 00min, to +89deg 59mins",
        control_caption);
}

namespace {
// A move command with its fourth character replaced by the direction's
// (possibly swapped) letter.
void set_move_direction(const char* command, char letter)
{
    set_text(move_direction, command);
    move_direction[3] = letter;
}
} // namespace

void hand_move_scroll(int bar, int code)
{
    if (code == scroll_end) {
        if (bar == bar_focus) {
            if (tele_focussing) {
                telescope_link().stop_focus();
                tele_focussing = 0;
            }
        } else if (tele_moving) {
            telescope_link().stop_move();
            tele_moving = 0;
        }
        return;
    }
    if (code != scroll_line_up && code != scroll_line_down)
        return;
    const bool up = code == scroll_line_up;
    if (bar == bar_focus) {
        if (tele_focussing)
            return;
        set_text(focus_direction, up ? "#:F+#" : "#:F-#");
        if (!link_ready())
            return;
        telescope_link().start_focus(up, focus_speed[3] == 'F');
        tele_focussing = 1;
        return;
    }
    if (tele_moving)
        return;
    if (bar == bar_east_west)
        set_move_direction(up ? "#:Mw#" : "#:Me#", up ? w : e);
    else if (bar == bar_north_south)
        set_move_direction(up ? "#:Mn#" : "#:Ms#", up ? n : s);
    else
        return;
    if (!link_ready())
        return;
    telescope_link().start_move(move_direction[3], tele_speed[3]);
    tele_moving = 1;
}

void box_move_scroll(int bar, int code)
{
    if (code == scroll_end) {
        telescope_link().stop_move();
        tele_moving = 0;
        return;
    }
    if ((code != scroll_line_up && code != scroll_line_down) || tele_moving)
        return;
    const bool up = code == scroll_line_up;
    if (bar == box_bar_east_west)
        slewdir = up ? w : e;
    else if (bar == box_bar_north_south)
        slewdir = up ? n : s;
    else
        return;
    if (!link_ready())
        return;
    telescope_link().start_move(slewdir, 'G');
    tele_moving = 1;
}

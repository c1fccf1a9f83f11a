#include "indi/indi_mount.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "app/clock.h"
#include "app/host.h"
#include "app/wait.h"

namespace {

constexpr const char* coord = "EQUATORIAL_EOD_COORD";
// How long a mount may take to answer a command at all, and to report its
// position after a pulse (drivers poll their hardware about once a second).
constexpr int answer_ms = 3000;
constexpr int report_ms = 1500;
// The longest slew we wait for.
constexpr int slew_ms = 10 * 60 * 1000;

std::int64_t now()
{
    return program_clock().now_ms();
}

} // namespace

IndiMount::IndiMount(IndiClient& client, std::string mount_device, std::string focuser_device)
    : client_(client)
    , mount_(std::move(mount_device))
    , focuser_(std::move(focuser_device))
{
}

template <class Done> bool IndiMount::wait_for(Done done, int timeout_ms, bool key_stops)
{
    const std::int64_t deadline = now() + timeout_ms;
    key_pressed_ = false;
    for (;;) {
        if (done())
            return true;
        if (link_fault())
            return false;
        if (now() >= deadline)
            return false;
        if (key_stops) {
            if (event_pump().pump_for_press()) {
                key_pressed_ = true;
                return false;
            }
        } else {
            event_pump().clear_messages();
        }
        wait_ms(5);
    }
}

bool IndiMount::link_fault()
{
    if (!client_.server_connected()) {
        error_ = "The INDI server at " + client_.host_name() + ":" + std::to_string(client_.port_number())
            + " is gone";
        return true;
    }
    const auto connection = client_.property(mount_, "CONNECTION");
    if (!connection) {
        error_ = "The INDI mount \"" + mount_ + "\" is not on the server";
        return true;
    }
    if (!connection->on("CONNECT")) {
        error_ = "The INDI mount \"" + mount_ + "\" is disconnected";
        return true;
    }
    return false;
}

bool IndiMount::healthy()
{
    if (link_fault())
        return false;
    const auto position = client_.property(mount_, coord);
    if (position && position->state == IndiState::alert) {
        error_ = "The INDI mount \"" + mount_ + "\" reports a fault (Alert)";
        return false;
    }
    return true;
}

std::uint64_t IndiMount::serial_of(const std::string& device, const std::string& property)
{
    const auto p = client_.property(device, property);
    return p ? p->serial : 0;
}

bool IndiMount::open(int timeout_ms)
{
    error_.clear();
    const std::int64_t deadline = now() + timeout_ms;
    auto left = [&] { return static_cast<int>(std::max<std::int64_t>(deadline - now(), 0)); };
    auto has = [&](const char* name) { return client_.property(mount_, name).has_value(); };
    // Not wait_for: it would call a device that is not there yet a fault.
    while (!has("CONNECTION")) {
        if (!client_.server_connected() || now() >= deadline) {
            error_ = "The INDI server at " + client_.host_name() + ":" + std::to_string(client_.port_number())
                + " has no device \"" + mount_ + "\"";
            return false;
        }
        event_pump().clear_messages();
        wait_ms(5);
    }
    auto connected = [&] {
        const auto c = client_.property(mount_, "CONNECTION");
        return c && c->on("CONNECT");
    };
    if (!connected()) {
        client_.send_switches(mount_, "CONNECTION", { { "CONNECT", true }, { "DISCONNECT", false } });
        const std::int64_t until = now() + left();
        while (!connected()) {
            const auto c = client_.property(mount_, "CONNECTION");
            if (!client_.server_connected() || now() >= until || (c && c->state == IndiState::alert)) {
                error_ = "The INDI mount \"" + mount_ + "\" does not connect";
                return false;
            }
            event_pump().clear_messages();
            wait_ms(5);
        }
    }
    if (!wait_for([&] { return has(coord); }, left(), false)) {
        if (error_.empty())
            error_ = "The INDI mount \"" + mount_ + "\" reports no coordinates";
        return false;
    }
    if (!focuser_.empty()) {
        const auto c = client_.property(focuser_, "CONNECTION");
        if (c && !c->on("CONNECT"))
            client_.send_switches(focuser_, "CONNECTION", { { "CONNECT", true }, { "DISCONNECT", false } });
    }
    return true;
}

bool IndiMount::pulse(char direction, int ms)
{
    error_.clear();
    if (!healthy())
        return false;
    if (ms <= 0)
        return true;
    const bool ns = direction == 'n' || direction == 's';
    if (!ns && direction != 'e' && direction != 'w')
        return true;
    const std::string property = ns ? "TELESCOPE_TIMED_GUIDE_NS" : "TELESCOPE_TIMED_GUIDE_WE";
    const std::string first = ns ? "TIMED_GUIDE_N" : "TIMED_GUIDE_E";
    const std::string second = ns ? "TIMED_GUIDE_S" : "TIMED_GUIDE_W";
    if (!client_.property(mount_, property)) {
        error_ = "The INDI mount \"" + mount_ + "\" cannot take guide pulses";
        return false;
    }
    const bool is_first = direction == 'n' || direction == 'e';
    const std::uint64_t sent = serial_of(mount_, property);
    client_.send_numbers(mount_, property, { { first, is_first ? ms : 0.0 }, { second, is_first ? 0.0 : ms } });
    // Done when the driver no longer says Busy and the pulse's time is up.
    // The time matters too: an echo of the previous pulse (Busy, then Ok) may
    // still be on its way when this one is sent, and must not end it early.
    IndiState last = IndiState::idle;
    const std::int64_t ends = now() + ms;
    const bool finished = wait_for(
        [&] {
            const auto p = client_.property(mount_, property);
            if (!p || p->serial == sent)
                return false;
            last = p->state;
            return p->state == IndiState::alert || (p->state != IndiState::busy && now() >= ends);
        },
        ms + answer_ms, false);
    if (!finished || last == IndiState::alert) {
        if (error_.empty())
            error_ = last == IndiState::alert
                ? "The INDI mount \"" + mount_ + "\" refused a guide pulse (Alert)"
                : "The INDI mount \"" + mount_ + "\" did not finish a guide pulse";
        // Nothing may keep moving the mount after we gave up on it.
        if (client_.server_connected())
            client_.send_numbers(mount_, property, { { first, 0.0 }, { second, 0.0 } });
        return false;
    }
    // The position after the pulse: drivers report changes at their next
    // poll. A mount that did not move (or reports slowly) costs two polls.
    const std::uint64_t before = serial_of(mount_, coord);
    int poll_ms = report_ms / 2;
    if (const auto period = client_.property(mount_, "POLLING_PERIOD"))
        poll_ms = std::clamp(static_cast<int>(period->number("PERIOD_MS", poll_ms)), 50, report_ms / 2);
    wait_for([&] { return serial_of(mount_, coord) != before; }, 2 * poll_ms + 50, false);
    return error_.empty() && healthy();
}

bool IndiMount::start_move(char direction, int rate_index)
{
    error_.clear();
    if (!healthy())
        return false;
    if (const auto rates = client_.property(mount_, "TELESCOPE_SLEW_RATE"); rates && !rates->elements.empty()) {
        const std::size_t pick = std::min<std::size_t>(static_cast<std::size_t>(std::max(rate_index, 0)),
            rates->elements.size() - 1);
        std::vector<std::pair<std::string, bool>> values;
        for (std::size_t i = 0; i < rates->elements.size(); ++i)
            values.emplace_back(rates->elements[i].name, i == pick);
        client_.send_switches(mount_, "TELESCOPE_SLEW_RATE", values);
    }
    switch (direction) {
    case 'n':
        client_.send_switches(mount_, "TELESCOPE_MOTION_NS", { { "MOTION_NORTH", true }, { "MOTION_SOUTH", false } });
        break;
    case 's':
        client_.send_switches(mount_, "TELESCOPE_MOTION_NS", { { "MOTION_NORTH", false }, { "MOTION_SOUTH", true } });
        break;
    case 'e':
        client_.send_switches(mount_, "TELESCOPE_MOTION_WE", { { "MOTION_WEST", false }, { "MOTION_EAST", true } });
        break;
    case 'w':
        client_.send_switches(mount_, "TELESCOPE_MOTION_WE", { { "MOTION_WEST", true }, { "MOTION_EAST", false } });
        break;
    default:
        break;
    }
    return true;
}

bool IndiMount::stop_move()
{
    if (!client_.server_connected())
        return false;
    client_.send_switches(mount_, "TELESCOPE_MOTION_NS", { { "MOTION_NORTH", false }, { "MOTION_SOUTH", false } });
    client_.send_switches(mount_, "TELESCOPE_MOTION_WE", { { "MOTION_WEST", false }, { "MOTION_EAST", false } });
    return true;
}

void IndiMount::abort_motion()
{
    if (client_.server_connected())
        client_.send_switches(mount_, "TELESCOPE_ABORT_MOTION", { { "ABORT", true } });
}

GotoOutcome IndiMount::goto_j2000(const Equatorial& target, const std::string& name)
{
    error_.clear();
    if (!healthy())
        return GotoOutcome::failed;
    const double day = julian_day_now();
    target_ = precess_to_date(target, day);
    if (const auto site = client_.property(mount_, "GEOGRAPHIC_COORD")) {
        double altitude = 0, azimuth = 0;
        horizontal(target_, { site->number("LAT"), site->number("LONG") }, day, altitude, azimuth);
        if (altitude < 0) {
            char text[160];
            std::snprintf(text, sizeof text, "%s is below the horizon (altitude %.0f degrees) - not slewing",
                name.c_str(), altitude);
            error_ = text;
            return GotoOutcome::refused;
        }
    }
    if (const auto park = client_.property(mount_, "TELESCOPE_PARK"); park && park->on("PARK")) {
        error_ = "The INDI mount \"" + mount_ + "\" is parked - unpark it first";
        return GotoOutcome::refused;
    }
    if (client_.property(mount_, "ON_COORD_SET"))
        client_.send_switches(mount_, "ON_COORD_SET", { { "TRACK", true }, { "SLEW", false }, { "SYNC", false } });
    for (int attempt = 0; attempt < 3; ++attempt) {
        const std::uint64_t sent = serial_of(mount_, coord);
        client_.send_numbers(mount_, coord, { { "RA", target_.ra_hours }, { "DEC", target_.dec_degrees } });
        IndiState last = IndiState::idle;
        const bool ended = wait_for(
            [&] {
                const auto p = client_.property(mount_, coord);
                if (!p || p->serial == sent)
                    return false;
                last = p->state;
                return p->state != IndiState::busy;
            },
            slew_ms, true);
        if (key_pressed_) {
            abort_motion();
            error_ = "Slew to " + name + " aborted";
            return GotoOutcome::aborted;
        }
        if (!ended) {
            if (error_.empty())
                error_ = "The INDI mount \"" + mount_ + "\" did not finish the slew to " + name;
            abort_motion();
            return GotoOutcome::failed;
        }
        if (last == IndiState::alert) {
            error_ = "The INDI mount \"" + mount_ + "\" refused the slew to " + name;
            return GotoOutcome::refused;
        }
        Equatorial at;
        if (coordinates(at) && separation_arcsec(at, target_) <= goto_tolerance_arcsec)
            break;
    }
    return GotoOutcome::arrived;
}

bool IndiMount::coordinates(Equatorial& of_date)
{
    const auto p = client_.property(mount_, coord);
    if (!p || !p->element("RA") || !p->element("DEC"))
        return false;
    of_date = { p->number("RA"), p->number("DEC") };
    return true;
}

MountStatus IndiMount::status()
{
    MountStatus s;
    const auto c = client_.property(mount_, "CONNECTION");
    s.connected = client_.server_connected() && c && c->on("CONNECT");
    const auto p = client_.property(mount_, coord);
    if (p && p->element("RA")) {
        s.known = true;
        s.of_date = { p->number("RA"), p->number("DEC") };
        s.slewing = p->state == IndiState::busy;
    }
    if (const auto h = client_.property(mount_, "HORIZONTAL_COORD"); h && h->element("ALT")) {
        s.have_horizontal = true;
        s.altitude = h->number("ALT");
        s.azimuth = h->number("AZ");
    } else if (const auto site = client_.property(mount_, "GEOGRAPHIC_COORD"); site && s.known) {
        s.have_horizontal = true;
        horizontal(s.of_date, { site->number("LAT"), site->number("LONG") }, julian_day_now(), s.altitude,
            s.azimuth);
    }
    if (const auto t = client_.property(mount_, "TELESCOPE_TRACK_STATE"))
        s.tracking = t->on("TRACK_ON");
    else
        s.tracking = p && p->state == IndiState::ok;
    if (const auto park = client_.property(mount_, "TELESCOPE_PARK"))
        s.parked = park->on("PARK");
    return s;
}

bool IndiMount::start_focus(int direction, bool fast)
{
    error_.clear();
    if (focuser_.empty()) {
        error_ = "No INDI focuser is chosen";
        return false;
    }
    if (!client_.server_connected() || !client_.property(focuser_, "CONNECTION")) {
        error_ = "The INDI focuser \"" + focuser_ + "\" is not on the server";
        return false;
    }
    if (client_.property(focuser_, "FOCUS_MOTION"))
        client_.send_switches(focuser_, "FOCUS_MOTION",
            { { "FOCUS_INWARD", direction < 0 }, { "FOCUS_OUTWARD", direction >= 0 } });
    // Until the button is released: the stop aborts it.
    if (client_.property(focuser_, "FOCUS_TIMER")) {
        client_.send_numbers(focuser_, "FOCUS_TIMER", { { "FOCUS_TIMER_VALUE", fast ? 10000.0 : 5000.0 } });
    } else if (client_.property(focuser_, "REL_FOCUS_POSITION")) {
        client_.send_numbers(focuser_, "REL_FOCUS_POSITION", { { "FOCUS_RELATIVE_POSITION", fast ? 500.0 : 50.0 } });
    } else {
        error_ = "The INDI focuser \"" + focuser_ + "\" has neither a timer nor relative steps";
        return false;
    }
    return true;
}

bool IndiMount::stop_focus()
{
    if (focuser_.empty() || !client_.server_connected())
        return false;
    client_.send_switches(focuser_, "FOCUS_ABORT_MOTION", { { "ABORT", true } });
    return true;
}

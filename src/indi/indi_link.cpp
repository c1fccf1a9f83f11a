#include "indi/indi_link.h"

#include <memory>
#include <mutex>

#include "app/clock.h"
#include "app/host.h"
#include "app/wait.h"
#include "store/text_settings.h"

namespace {

constexpr int connect_timeout_ms = 3000;
constexpr int open_timeout_ms = 10000;

std::unique_ptr<IndiClient> client;
std::unique_ptr<IndiMount> mount;
std::mutex listener_mutex;
std::function<void(double, double, bool)> position_listener;
std::string followed_device; // under listener_mutex: the listener thread reads it

void hear(const IndiProperty& p)
{
    if (p.name != "EQUATORIAL_EOD_COORD" || !p.element("RA") || !p.element("DEC"))
        return;
    std::lock_guard lock(listener_mutex);
    if (p.device == followed_device && position_listener)
        position_listener(p.number("RA"), p.number("DEC"), p.state == IndiState::busy);
}

// The first connected-or-not device offering `bits`, by name order.
std::string first_device(IndiClient& c, unsigned bits, int timeout_ms)
{
    const std::int64_t deadline = program_clock().now_ms() + timeout_ms;
    for (;;) {
        for (const IndiDevice& d : c.devices())
            if ((d.interfaces & bits) != 0)
                return d.name;
        if (!c.server_connected() || program_clock().now_ms() >= deadline)
            return {};
        event_pump().clear_messages();
        wait_ms(5);
    }
}

} // namespace

IndiSettings indi_settings()
{
    IndiSettings s;
    s.host = text_setting("indi_host", s.host);
    s.port = text_setting_int("indi_port", s.port);
    s.mount = text_setting("indi_mount", s.mount);
    s.focuser = text_setting("indi_focuser", s.focuser);
    return s;
}

void set_indi_settings(const IndiSettings& s)
{
    set_text_setting("indi_host", s.host);
    set_text_setting("indi_port", std::to_string(s.port));
    set_text_setting("indi_mount", s.mount);
    set_text_setting("indi_focuser", s.focuser);
}

IndiClient& indi_client()
{
    if (!client) {
        client = std::make_unique<IndiClient>();
        client->on_property = hear;
    }
    return *client;
}

IndiMount* indi_mount()
{
    return mount.get();
}

void close_indi_link()
{
    mount.reset();
    if (client)
        client->disconnect_from();
}

IndiMount* open_indi_mount(std::string& error)
{
    const IndiSettings s = indi_settings();
    IndiClient& c = indi_client();
    const bool same_server = c.server_connected() && c.host_name() == s.host && c.port_number() == s.port;
    if (!same_server) {
        mount.reset();
        if (!c.connect_to(s.host, s.port, connect_timeout_ms, error))
            return nullptr;
    }
    std::string device = s.mount;
    if (device.empty())
        device = first_device(c, indi_telescope_interface, open_timeout_ms);
    if (device.empty()) {
        error = "The INDI server at " + s.host + ":" + std::to_string(s.port) + " offers no mount";
        return nullptr;
    }
    if (!mount || mount->mount_device() != device || mount->focuser_device() != s.focuser)
        mount = std::make_unique<IndiMount>(c, device, s.focuser);
    if (!mount->open(open_timeout_ms)) {
        error = mount->error();
        mount.reset();
        return nullptr;
    }
    std::lock_guard lock(listener_mutex);
    followed_device = device;
    return mount.get();
}

void set_indi_position_listener(std::function<void(double, double, bool)> listener)
{
    std::lock_guard lock(listener_mutex);
    position_listener = std::move(listener);
}

std::vector<std::string> indi_devices(const std::string& host_name, int port, unsigned interface_bits,
    int timeout_ms, std::string& error)
{
    // The program's own client when it is on that server; a short-lived one
    // otherwise (the dialog asks before anything is opened).
    IndiClient* c = nullptr;
    std::unique_ptr<IndiClient> own;
    if (client && client->server_connected() && client->host_name() == host_name && client->port_number() == port) {
        c = client.get();
    } else {
        own = std::make_unique<IndiClient>();
        if (!own->connect_to(host_name, port, connect_timeout_ms, error))
            return {};
        c = own.get();
    }
    // Devices announce DRIVER_INFO one by one; the list is what has come
    // once it has been quiet for a moment.
    const std::int64_t deadline = program_clock().now_ms() + timeout_ms;
    std::vector<std::string> names;
    std::size_t seen = 0;
    std::int64_t quiet_since = program_clock().now_ms();
    while (program_clock().now_ms() < deadline && c->server_connected()) {
        names.clear();
        for (const IndiDevice& d : c->devices())
            if ((d.interfaces & interface_bits) != 0)
                names.push_back(d.name);
        const std::size_t all = c->devices().size();
        if (all != seen) {
            seen = all;
            quiet_since = program_clock().now_ms();
        } else if (all > 0 && program_clock().now_ms() - quiet_since > 300) {
            break;
        }
        event_pump().clear_messages();
        wait_ms(10);
    }
    return names;
}

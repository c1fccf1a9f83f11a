// The program's one INDI connection: the client of the server the settings
// name (`indi_host`, `indi_port`) and the mount and focuser on it
// (`indi_mount`, `indi_focuser`), opened on demand.
#pragma once

#include <functional>
#include <string>

#include "indi/indi_client.h"
#include "indi/indi_mount.h"

struct IndiSettings {
    std::string host = "localhost";
    int port = 7624;
    std::string mount; // empty: the first telescope the server offers
    std::string focuser; // empty: no focuser
};

// Read from and written to the text settings file.
IndiSettings indi_settings();
void set_indi_settings(const IndiSettings& settings);

// The client (one for the program, connected to one server at a time).
IndiClient& indi_client();

// Connects to the configured server when not connected to it and opens the
// mount. nullptr with `error` set to a message naming what failed.
IndiMount* open_indi_mount(std::string& error);
// The mount opened last, or nullptr.
IndiMount* indi_mount();
// Drops the connection (settings changed, tests).
void close_indi_link();

// Called on the client's thread with every position the mount reports (of
// date), and whether it is slewing: the simulator's sky follows the mount
// through it.
void set_indi_position_listener(std::function<void(double ra_hours, double dec_degrees, bool slewing)> listener);

// Lists the devices of the server at `host`:`port` whose interfaces include
// `interface_bits`, waiting at most `timeout_ms` for them to announce
// themselves. Empty (with `error`) when the server does not answer.
std::vector<std::string> indi_devices(const std::string& host, int port, unsigned interface_bits,
    int timeout_ms, std::string& error);

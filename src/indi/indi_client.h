// A client of one INDI server. libindi runs the connection on its own
// listener thread and calls back on it; the callbacks copy what they need
// into plain values (IndiProperty) and keep the newest value of each
// property, so any thread can read them without touching libindi's objects.
// Each change is also announced to the Qt thread with queued signals, for
// windows that show the mount's state.
//
// Everything sent is a freshly built property: libindi's one-element
// sendNewNumber(device, property, element, value) writes into the client's
// shared copy, which the listener thread rewrites under it.
#pragma once

#include <QObject>

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <libindi/baseclient.h>

enum class IndiState { idle, ok, busy, alert };

struct IndiElement {
    std::string name;
    double number = 0; // numbers
    std::string text; // texts
    bool on = false; // switches; lights: not idle
};

struct IndiProperty {
    std::string device, name;
    IndiState state = IndiState::idle;
    std::vector<IndiElement> elements;
    // Counts the updates of this property the client has seen, so a waiter
    // can tell a fresh report from the one it already had.
    std::uint64_t serial = 0;

    const IndiElement* element(const std::string& element_name) const;
    double number(const std::string& element_name, double fallback = 0) const;
    bool on(const std::string& element_name) const;
};

// What a device says of itself: the interface bits of DRIVER_INFO
// (telescope 1, focuser 8, as INDI numbers them) and its connection.
struct IndiDevice {
    std::string name;
    unsigned interfaces = 0;
    bool connected = false;
};
constexpr unsigned indi_telescope_interface = 1;
constexpr unsigned indi_focuser_interface = 8;

class IndiClient : public QObject, public INDI::BaseClient {
    Q_OBJECT
public:
    IndiClient();
    ~IndiClient() override;

    // Connects to host:port on a worker thread and waits through the core's
    // wait with the host's pump running, so a slow or absent server never
    // freezes the window. False with `error` set to a message naming host
    // and port.
    bool connect_to(const std::string& host, int port, int timeout_ms, std::string& error);
    void disconnect_from();
    bool server_connected() const { return connected_.load(); }
    // Set once the server closed a connection that was up.
    bool server_lost() const { return lost_.load(); }
    std::string host_name() const { return host_; }
    int port_number() const { return port_; }

    std::optional<IndiProperty> property(const std::string& device, const std::string& name) const;
    std::vector<IndiDevice> devices() const;
    // Messages devices sent, oldest first, taken off the queue.
    std::vector<std::string> take_messages();

    void send_numbers(const std::string& device, const std::string& property,
        const std::vector<std::pair<std::string, double>>& values);
    void send_switches(const std::string& device, const std::string& property,
        const std::vector<std::pair<std::string, bool>>& values);
    void send_texts(const std::string& device, const std::string& property,
        const std::vector<std::pair<std::string, std::string>>& values);

    // Called on the listener thread with each new value of any property,
    // after the newest value is stored (for simulators that must follow the
    // mount without waiting for the Qt thread). Set before connecting.
    std::function<void(const IndiProperty&)> on_property;

signals:
    void property_changed(QString device, QString name);
    void devices_changed();
    void connection_lost();

protected:
    void newDevice(INDI::BaseDevice device) override;
    void removeDevice(INDI::BaseDevice device) override;
    void newProperty(INDI::Property property) override;
    void updateProperty(INDI::Property property) override;
    void removeProperty(INDI::Property property) override;
    void newMessage(INDI::BaseDevice device, int message_id) override;
    void serverConnected() override;
    void serverDisconnected(int exit_code) override;

private:
    void store(INDI::Property property);

    mutable std::mutex mutex_;
    std::map<std::pair<std::string, std::string>, IndiProperty> properties_;
    std::map<std::string, IndiDevice> devices_;
    std::vector<std::string> messages_;
    std::uint64_t serial_ = 0;
    std::atomic<bool> connected_ { false };
    std::atomic<bool> lost_ { false };
    std::string host_;
    int port_ = 0;
};

// Converts the copied state to its INDI name ("Idle", "Ok", "Busy", "Alert").
const char* indi_state_name(IndiState state);

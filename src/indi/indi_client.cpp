#include "indi/indi_client.h"

#include <cstdlib>
#include <thread>

#include <libindi/basedevice.h>
#include <libindi/indipropertynumber.h>
#include <libindi/indipropertyswitch.h>
#include <libindi/indipropertytext.h>

#include "app/clock.h"
#include "app/host.h"
#include "app/wait.h"

namespace {

IndiState copy_state(IPState s)
{
    switch (s) {
    case IPS_OK:
        return IndiState::ok;
    case IPS_BUSY:
        return IndiState::busy;
    case IPS_ALERT:
        return IndiState::alert;
    default:
        return IndiState::idle;
    }
}

// The plain copy of a property, made on the listener thread.
IndiProperty copy_of(INDI::Property p)
{
    IndiProperty out;
    out.device = p.getDeviceName();
    out.name = p.getName();
    out.state = copy_state(p.getState());
    switch (p.getType()) {
    case INDI_NUMBER:
        if (auto* v = p.getNumber())
            for (auto& w : *v)
                out.elements.push_back({ w.getName(), w.getValue(), {}, false });
        break;
    case INDI_SWITCH:
        if (auto* v = p.getSwitch())
            for (auto& w : *v)
                out.elements.push_back({ w.getName(), 0, {}, w.getState() == ISS_ON });
        break;
    case INDI_TEXT:
        if (auto* v = p.getText())
            for (auto& w : *v)
                out.elements.push_back({ w.getName(), 0, w.getText() ? w.getText() : "", false });
        break;
    case INDI_LIGHT:
        if (auto* v = p.getLight())
            for (auto& w : *v)
                out.elements.push_back({ w.getName(), 0, {}, w.getState() != IPS_IDLE });
        break;
    default: // BLOBs are not asked for
        break;
    }
    return out;
}

} // namespace

const IndiElement* IndiProperty::element(const std::string& element_name) const
{
    for (const IndiElement& e : elements)
        if (e.name == element_name)
            return &e;
    return nullptr;
}

double IndiProperty::number(const std::string& element_name, double fallback) const
{
    const IndiElement* e = element(element_name);
    return e != nullptr ? e->number : fallback;
}

bool IndiProperty::on(const std::string& element_name) const
{
    const IndiElement* e = element(element_name);
    return e != nullptr && e->on;
}

const char* indi_state_name(IndiState state)
{
    switch (state) {
    case IndiState::ok:
        return "Ok";
    case IndiState::busy:
        return "Busy";
    case IndiState::alert:
        return "Alert";
    default:
        return "Idle";
    }
}

IndiClient::IndiClient() = default;

IndiClient::~IndiClient()
{
    disconnect_from();
}

bool IndiClient::connect_to(const std::string& host_name, int port, int timeout_ms, std::string& error)
{
    disconnect_from();
    host_ = host_name;
    port_ = port;
    lost_ = false;
    setServer(host_name.c_str(), static_cast<unsigned>(port));
    setConnectionTimeout(static_cast<std::uint32_t>(timeout_ms / 1000),
        static_cast<std::uint32_t>(timeout_ms % 1000) * 1000);
    // libindi's connect blocks for up to its timeout: it runs aside while the
    // window keeps being served.
    std::atomic<int> result { -1 };
    std::thread connecting([this, &result] { result = connectServer() ? 1 : 0; });
    while (result.load() < 0) {
        event_pump().clear_messages();
        wait_ms(5);
    }
    connecting.join();
    if (result.load() != 1) {
        error = "No INDI server answers at " + host_name + ":" + std::to_string(port);
        return false;
    }
    connected_ = true;
    return true;
}

void IndiClient::disconnect_from()
{
    if (isServerConnected())
        disconnectServer();
    connected_ = false;
    std::lock_guard lock(mutex_);
    properties_.clear();
    devices_.clear();
}

std::optional<IndiProperty> IndiClient::property(const std::string& device, const std::string& name) const
{
    std::lock_guard lock(mutex_);
    const auto it = properties_.find({ device, name });
    if (it == properties_.end())
        return std::nullopt;
    return it->second;
}

std::vector<IndiDevice> IndiClient::devices() const
{
    std::lock_guard lock(mutex_);
    std::vector<IndiDevice> out;
    for (const auto& [name, d] : devices_)
        out.push_back(d);
    return out;
}

std::vector<std::string> IndiClient::take_messages()
{
    std::lock_guard lock(mutex_);
    return std::exchange(messages_, {});
}

void IndiClient::send_numbers(const std::string& device, const std::string& property,
    const std::vector<std::pair<std::string, double>>& values)
{
    INDI::PropertyNumber p(values.size());
    p.setDeviceName(device.c_str());
    p.setName(property.c_str());
    for (std::size_t i = 0; i < values.size(); ++i) {
        p[i].setName(values[i].first.c_str());
        p[i].setValue(values[i].second);
    }
    sendNewNumber(p);
}

void IndiClient::send_switches(const std::string& device, const std::string& property,
    const std::vector<std::pair<std::string, bool>>& values)
{
    INDI::PropertySwitch p(values.size());
    p.setDeviceName(device.c_str());
    p.setName(property.c_str());
    for (std::size_t i = 0; i < values.size(); ++i) {
        p[i].setName(values[i].first.c_str());
        p[i].setState(values[i].second ? ISS_ON : ISS_OFF);
    }
    sendNewSwitch(p);
}

void IndiClient::send_texts(const std::string& device, const std::string& property,
    const std::vector<std::pair<std::string, std::string>>& values)
{
    INDI::PropertyText p(values.size());
    p.setDeviceName(device.c_str());
    p.setName(property.c_str());
    for (std::size_t i = 0; i < values.size(); ++i) {
        p[i].setName(values[i].first.c_str());
        p[i].setText(values[i].second.c_str());
    }
    sendNewText(p);
}

void IndiClient::store(INDI::Property property)
{
    IndiProperty copy = copy_of(property);
    bool device_list_changed = false;
    {
        std::lock_guard lock(mutex_);
        copy.serial = ++serial_;
        IndiDevice& d = devices_[copy.device];
        d.name = copy.device;
        if (copy.name == "DRIVER_INFO") {
            for (const IndiElement& e : copy.elements)
                if (e.name == "DRIVER_INTERFACE") {
                    const unsigned bits = static_cast<unsigned>(std::strtoul(e.text.c_str(), nullptr, 10));
                    device_list_changed = bits != d.interfaces;
                    d.interfaces = bits;
                }
        } else if (copy.name == "CONNECTION") {
            const bool now = copy.on("CONNECT") && copy.state != IndiState::alert;
            device_list_changed = now != d.connected;
            d.connected = now;
        }
        properties_[{ copy.device, copy.name }] = copy;
    }
    if (on_property)
        on_property(copy);
    emit property_changed(QString::fromStdString(copy.device), QString::fromStdString(copy.name));
    if (device_list_changed)
        emit devices_changed();
}

void IndiClient::newDevice(INDI::BaseDevice device)
{
    {
        std::lock_guard lock(mutex_);
        devices_[device.getDeviceName()].name = device.getDeviceName();
    }
    emit devices_changed();
}

void IndiClient::removeDevice(INDI::BaseDevice device)
{
    {
        std::lock_guard lock(mutex_);
        const std::string name = device.getDeviceName();
        devices_.erase(name);
        for (auto it = properties_.begin(); it != properties_.end();)
            it = it->first.first == name ? properties_.erase(it) : std::next(it);
    }
    emit devices_changed();
}

void IndiClient::newProperty(INDI::Property property)
{
    store(property);
}

void IndiClient::updateProperty(INDI::Property property)
{
    store(property);
}

void IndiClient::removeProperty(INDI::Property property)
{
    {
        std::lock_guard lock(mutex_);
        properties_.erase({ property.getDeviceName(), property.getName() });
    }
    emit property_changed(QString::fromUtf8(property.getDeviceName()), QString::fromUtf8(property.getName()));
}

void IndiClient::newMessage(INDI::BaseDevice device, int message_id)
{
    std::lock_guard lock(mutex_);
    messages_.push_back(device.messageQueue(message_id));
    // A chatty driver must not grow the queue without end.
    if (messages_.size() > 100)
        messages_.erase(messages_.begin());
}

void IndiClient::serverConnected()
{
    connected_ = true;
}

void IndiClient::serverDisconnected(int exit_code)
{
    const bool was_up = connected_.exchange(false);
    // Zero: our own disconnect; anything else the server went away.
    if (was_up && exit_code != 0) {
        lost_ = true;
        emit connection_lost();
    }
}

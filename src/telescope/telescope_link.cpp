#include "telescope/telescope_link.h"

#include <map>

#include "app/messages.h"
#include "app/state.h"
#include "app/wait.h"
#include "store/settings_file.h"
#include "telescope/control_box.h"
#include "telescope/lx200.h"

namespace {

// The link of 'n' and of kinds nobody registered: it reaches nothing.
class NoTelescopeLink : public TelescopeLink {
public:
    char kind() const override { return 'n'; }
    bool open() override { return false; }
    void close() override {}
    bool guide_pulse(char, int) override { return false; }
    void start_move(char, char) override {}
    void stop_move() override {}
    std::string last_error() const override { return "No telescope link is chosen"; }
};

struct Registered {
    TelescopeLinkFactory factory;
    std::unique_ptr<TelescopeLink> link;
};

// The kinds of the `telescope` setting. The two serial links are built in;
// a library adds its kind with register_telescope_link().
std::map<char, Registered>& registry()
{
    static std::map<char, Registered> kinds = [] {
        std::map<char, Registered> built_in;
        built_in['l'].factory = make_lx200_link;
        built_in['b'].factory = make_control_box_link;
        return built_in;
    }();
    return kinds;
}

} // namespace

GotoReply TelescopeLink::go_to_object(char, int)
{
    return { 0, "This telescope link cannot go to objects" };
}

GotoReply TelescopeLink::go_to_coordinates(int, int, int, int)
{
    return { 0, "This telescope link cannot go to coordinates" };
}

void TelescopeLink::start_focus(bool, bool) { }

bool TelescopeLink::focus_for(bool inward, int ms, bool fast)
{
    if (!has_focuser() || !comfound)
        return false;
    start_focus(inward, fast);
    // A failed start has closed the link; there is nothing to time or stop.
    if (!comfound)
        return false;
    wait_ms(ms);
    stop_focus();
    return comfound != 0;
}

void register_telescope_link(char kind, TelescopeLinkFactory factory)
{
    Registered& entry = registry()[kind];
    entry.factory = std::move(factory);
    entry.link.reset();
}

bool telescope_link_known(char kind)
{
    const auto found = registry().find(kind);
    return found != registry().end() && found->second.factory;
}

TelescopeLink& telescope_link()
{
    static NoTelescopeLink none;
    const auto found = registry().find(telescope);
    if (found == registry().end() || !found->second.factory)
        return none;
    Registered& entry = found->second;
    if (!entry.link)
        entry.link = entry.factory();
    return entry.link ? *entry.link : none;
}

namespace {
bool open_on_demand(int ini_message, bool training)
{
    if (comfound) {
        if (training)
            gotcontrolbox = 1;
        return true;
    }
    if (LoadINIFile(ini_file.c_str()) != settings_ok) {
        messages(ini_message);
        SaveINIFile(ini_file.c_str());
    }
    if (!telescope_link().open()) {
        telescope = 'n';
        messages(36);
        return false;
    }
    comfound = 1;
    if (training)
        gotcontrolbox = 1;
    return true;
}
} // namespace

bool open_telescope_link(int ini_message)
{
    return open_on_demand(ini_message, false);
}

void comm_check()
{
    open_on_demand(20, false);
}

void comm_check_training()
{
    open_on_demand(20, true);
}

int drive_slew()
{
    return telescope_link().guide_pulse(slewdir, slew_time) ? 0 : -1;
}

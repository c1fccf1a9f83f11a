// The telescope link as the program reaches it: one interface, the kind
// picked by the `telescope` setting, the serial kinds keeping their bytes
// and waits, a registered kind receiving what training, guiding, go-to and
// the focuser ask, and the object library the links and the simulator share.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/state.h"
#include "app/text_field.h"
#include "sim/in_process_port.h"
#include "sim/simulated_mount.h"
#include "sim/sky_model.h"
#include "store/settings_file.h"
#include "telescope/object_library.h"
#include "telescope/telescope_control.h"
#include "telescope/telescope_link.h"
#include "test_env.h"

namespace {

using Timed = std::vector<std::pair<std::int64_t, std::string>>;

struct Wire {
    sim::PointingRecord sky;
    sim::SimulatedMount mount { sky };
    sim::InProcessSerialPort port { mount };

    explicit Wire(char kind)
    {
        set_serial_port(&port);
        telescope = kind;
        comfound = 0;
        SaveINIFile(ini_file.c_str());
        comm_check();
        port.writes.clear();
    }
    ~Wire() { set_serial_port(nullptr); }

    Timed since(std::int64_t start) const
    {
        Timed out;
        for (const auto& w : port.writes)
            out.emplace_back(w.at_ms - start, w.bytes);
        return out;
    }
};

// A kind of link that records what it is asked, as a library adding a
// third kind would register it.
struct Call {
    std::string what;
    std::int64_t at_ms;
};
std::vector<Call> calls;

class RecordingLink : public TelescopeLink {
public:
    char kind() const override { return 'x'; }
    bool open() override { return note("open"), opens; }
    void close() override { note("close"); }
    void wake() override { note("wake"); }
    bool guide_pulse(char direction, int ms) override
    {
        note(std::string("pulse ") + direction + " " + std::to_string(ms));
        return true;
    }
    void start_move(char direction, char rate) override { note(std::string("move ") + direction + rate); }
    void stop_move() override { note("stop"); }
    bool can_go_to() const override { return true; }
    GotoReply go_to_object(char library, int number) override
    {
        note(std::string("object ") + library + std::to_string(number));
        set_text(move_error, "what the mount says of it");
        return refuse ? GotoReply { '1', "Below the horizon" } : GotoReply { '0', "" };
    }
    bool has_focuser() const override { return true; }
    void start_focus(bool inward, bool fast) override
    {
        note(std::string("focus ") + (inward ? "in" : "out") + (fast ? " fast" : " slow"));
    }
    void stop_focus() override { note("focus stop"); }
    std::string last_error() const override { return ""; }

    static inline bool opens = true;
    static inline bool refuse = false;

private:
    static void note(const std::string& what) { calls.push_back({ what, test_env().clock.now_ms() }); }
};

std::vector<std::string> call_names()
{
    std::vector<std::string> names;
    for (const Call& c : calls)
        names.push_back(c.what);
    return names;
}

} // namespace

TEST(TelescopeLinkKinds, SerialKindsKeepTheirBytesThroughTheInterface)
{
    struct Case {
        const char* name;
        char kind;
        std::function<void(TelescopeLink&)> run;
        Timed expected;
    };
    const std::string off(1, '\0');
    const std::vector<Case> cases = {
        { "LX200 pulse west 250 ms", 'l', [](TelescopeLink& l) { EXPECT_TRUE(l.guide_pulse('w', 250)); },
            { { 0, "#:RG#" }, { 20, "#:Mw#" }, { 270, "#:Qw#" } } },
        { "LX200 hand move north at find rate, then stop", 'l',
            [](TelescopeLink& l) {
                l.start_move('n', 'M');
                l.stop_move();
            },
            { { 0, "#:RM#" }, { 0, "#:Mn#" }, { 0, "#:Qn#" }, { 0, "#:Qs#" }, { 0, "#:Qe#" }, { 0, "#:Qw#" } } },
        { "LX200 focuser out slowly for 120 ms", 'l',
            [](TelescopeLink& l) { EXPECT_TRUE(l.focus_for(false, 120, false)); },
            { { 0, "#:FS#" }, { 0, "#:F-#" }, { 120, "#:FQ#" } } },
        { "box pulse north 100 ms", 'b', [](TelescopeLink& l) { EXPECT_TRUE(l.guide_pulse('n', 100)); },
            { { 0, "\x02" }, { 1, "\x12" }, { 101, off } } },
        { "box hand move east ignores the rate", 'b',
            [](TelescopeLink& l) {
                l.start_move('e', 'S');
                l.stop_move();
            },
            { { 0, "\x01" }, { 1, "\x11" }, { 1, off } } },
        { "box has no focuser", 'b', [](TelescopeLink& l) { EXPECT_FALSE(l.focus_for(true, 100, true)); }, {} },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Wire wire(c.kind);
        TelescopeLink& link = telescope_link();
        EXPECT_EQ(link.kind(), c.kind);
        EXPECT_EQ(link.can_go_to(), c.kind == 'l');
        const std::int64_t start = test_env().clock.now_ms();
        c.run(link);
        EXPECT_EQ(wire.since(start), c.expected);
    }

    // No telescope: nothing opens and the program says so once.
    telescope = 'n';
    comfound = 0;
    SaveINIFile(ini_file.c_str());
    EXPECT_FALSE(open_telescope_link(23));
    EXPECT_EQ(test_env().host.boxes.back().text, "Sorry. No Connection to Telescope");
    EXPECT_FALSE(telescope_link().guide_pulse('e', 10));
}

TEST(TelescopeLinkKinds, ARegisteredKindGetsGuidingGoToAndTheFocuser)
{
    calls.clear();
    register_telescope_link('x', [] { return std::make_unique<RecordingLink>(); });
    ASSERT_TRUE(telescope_link_known('x'));
    telescope = 'x';
    SaveINIFile(ini_file.c_str());

    // Connect on demand opens it once; a guide move goes through it.
    comm_check();
    comm_check();
    EXPECT_EQ(comfound, 1);
    slewdir = 'w';
    slew_time = 400;
    EXPECT_EQ(drive_slew(), 0);

    // The dialog's go-to, hand move and focuser go to the same link; a
    // refusal shows the mount's reason, not its description of the target.
    goto_object("42", "");
    EXPECT_EQ(retchar, '0');
    EXPECT_STREQ(move_error, "what the mount says of it");
    RecordingLink::refuse = true;
    goto_planet(106);
    RecordingLink::refuse = false;
    EXPECT_EQ(retchar, '1');
    EXPECT_STREQ(move_error, "Below the horizon");
    set_text(tele_speed, "#:RC#");
    hand_move_scroll(bar_east_west, scroll_line_down);
    hand_move_scroll(bar_east_west, scroll_line_down);
    hand_move_scroll(bar_east_west, scroll_end);
    set_text(focus_speed, "#:FS#");
    hand_move_scroll(bar_focus, scroll_line_up);
    hand_move_scroll(bar_focus, scroll_end);

    // A timed focuser move for a focus run: started, then stopped 750 ms on.
    const std::int64_t start = test_env().clock.now_ms();
    EXPECT_TRUE(telescope_link().focus_for(false, 750, true));
    ASSERT_GE(calls.size(), 2u);
    EXPECT_EQ(calls.back().at_ms - start, 750);

    EXPECT_EQ(call_names(),
        (std::vector<std::string> { "open", "pulse w 400", "object m42", "object s904", "move eC", "stop",
            "focus in slow", "focus stop", "focus out fast", "focus stop" }));

    // A link that cannot be reached: the usual messages, and the choice is off.
    register_telescope_link('x', [] { return std::make_unique<RecordingLink>(); });
    RecordingLink::opens = false;
    comfound = 0;
    test_env().host.boxes.clear();
    comm_check();
    RecordingLink::opens = true;
    EXPECT_EQ(telescope, 'n');
    ASSERT_EQ(test_env().host.boxes.size(), 1u);
    EXPECT_EQ(test_env().host.boxes[0].text, "Sorry. No Connection to Telescope");

    register_telescope_link('x', nullptr);
    EXPECT_FALSE(telescope_link_known('x'));
}

TEST(ObjectLibrary, CatalogueGoToNumbersFindJ2000Positions)
{
    struct Case {
        char library;
        int number;
        const char* name;
        double ra_hours, dec_degrees;
    };
    for (const Case& c : std::vector<Case> {
             { 'm', 42, "M42", 5.59, -5.45 },
             { 'm', 31, "M31", 0.7117, 41.2667 },
             { 'c', 7000, "NGC 7000", 20.9883, 44.5167 },
             { 'c', 1976, "NGC 1976", 5.59, -5.45 },
             { 's', 905, "Jupiter", 8.25, 19.8333 },
         }) {
        SCOPED_TRACE(c.name);
        const auto found = find_catalogue_object(c.library, c.number);
        ASSERT_TRUE(found.has_value());
        EXPECT_EQ(found->name, c.name);
        EXPECT_NEAR(found->ra_hours, c.ra_hours, 1e-3);
        EXPECT_NEAR(found->dec_degrees, c.dec_degrees, 1e-3);
    }
    EXPECT_FALSE(find_catalogue_object('m', 111));
    EXPECT_FALSE(find_catalogue_object('c', 7815));
    EXPECT_FALSE(find_catalogue_object('s', 910));
}

// The LX200 and control-box links against the simulated mount through the
// in-process port, on the manual clock: the exact bytes, their times, and
// what the mount makes of them.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "app/state.h"
#include "app/text_field.h"
#include "sim/in_process_port.h"
#include "sim/in_process_telescope.h"
#include "sim/simulated_mount.h"
#include "sim/sky_model.h"
#include "store/settings_file.h"
#include "telescope/control_box.h"
#include "telescope/lx200.h"
#include "test_env.h"

namespace {

struct Link {
    sim::PointingRecord sky;
    sim::SimulatedMount mount { sky };
    sim::InProcessSerialPort port { mount };

    Link() { set_serial_port(&port); }
    ~Link() { set_serial_port(nullptr); }

    // Opens the LX200 (or the box when telescope is 'b') as the program does
    // after the device was chosen in the defaults dialog.
    void connect(char device = 'l')
    {
        telescope = device;
        comfound = 0;
        SaveINIFile(ini_file.c_str());
        comm_check();
        port.writes.clear();
        port.line_changes.clear();
    }
};

std::int64_t now()
{
    return test_env().clock.now_ms();
}

std::vector<std::string> box_texts()
{
    std::vector<std::string> texts;
    for (const RecordedBox& box : test_env().host.boxes)
        texts.push_back(box.text);
    return texts;
}

// Writes as (ms after `start`, bytes).
std::vector<std::pair<std::int64_t, std::string>> timed(const Link& link, std::int64_t start)
{
    std::vector<std::pair<std::int64_t, std::string>> out;
    for (const auto& w : link.port.writes)
        out.emplace_back(w.at_ms - start, w.bytes);
    return out;
}

std::string info(const std::string& text)
{
    std::string padded = text;
    padded.resize(32, ' ');
    return padded + "#";
}

} // namespace

TEST(Lx200Link, SendsEachCommandByteForByteAtItsTime)
{
    using Writes = std::vector<std::pair<std::int64_t, std::string>>;
    struct Case {
        const char* name;
        std::function<void()> run;
        Writes expected;
    };
    const std::vector<Case> cases = {
        { "Messier 31", [] { move_telescope('m', 31); },
            { { 0, "#:LM 0031#" }, { 0, "#:LI#" }, { 1, "#:MS#" }, { 2, "#:LI#" } } },
        { "Mars from the star library", [] { move_telescope('s', 904); },
            { { 0, "#:LS 0904#" }, { 0, "#:LI#" }, { 1, "#:MS#" }, { 2, "#:LI#" } } },
        { "NGC 7000", [] { move_telescope('c', 7000); },
            { { 0, "#:LC 7000#" }, { 0, "#:LI#" }, { 1, "#:MS#" }, { 2, "#:LI#" } } },
        { "coordinates south", [] { move_to_coord(5, 35, -5, 23); },
            { { 0, "#:Sr 05:35.0#" }, { 0, "#:Sd -05*23#" }, { 0, "#:LI#" }, { 1, "#:MS#" } } },
        { "declination 0 goes out +00", [] { move_to_coord(23, 59, 0, 59); },
            { { 0, "#:Sr 23:59.0#" }, { 0, "#:Sd +00*59#" }, { 0, "#:LI#" }, { 1, "#:MS#" } } },
        { "guide move of 0 ms still sends three commands",
            [] {
                slewdir = 'e';
                slew_time = 0;
                drive_slew();
            },
            { { 0, "#:RG#" }, { 20, "#:Me#" }, { 20, "#:Qe#" } } },
        { "guide move north 350 ms",
            [] {
                slewdir = 'n';
                slew_time = 350;
                drive_slew();
            },
            { { 0, "#:RG#" }, { 20, "#:Mn#" }, { 370, "#:Qn#" } } },
        { "stop_move stops all four", [] { stop_move(); },
            { { 0, "#:Qn#" }, { 0, "#:Qs#" }, { 0, "#:Qe#" }, { 0, "#:Qw#" } } },
        { "hand move at the centre rate",
            [] {
                set_text(tele_speed, "#:RC#");
                set_text(move_direction, "#:Mw#");
                start_move();
            },
            { { 0, "#:RC#" }, { 0, "#:Mw#" } } },
        { "focuser",
            [] {
                set_text(focus_speed, "#:FS#");
                set_text(focus_direction, "#:F-#");
                start_focus();
                stop_focus();
            },
            { { 0, "#:FS#" }, { 0, "#:F-#" }, { 0, "#:FQ#" } } },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Link link;
        link.connect();
        const std::int64_t start = now();
        c.run();
        EXPECT_EQ(timed(link, start), c.expected);
    }
}

TEST(Lx200Link, GoToMovesTheMountAndReadsWhatItSays)
{
    Link link;
    link.connect();
    const std::int64_t start = now();
    EXPECT_EQ(move_telescope('m', 31), '0');
    // LM, LI, a 1 ms wait, MS, 1 ms, then GetInfo's 200 ms.
    EXPECT_EQ(now() - start, 202);
    EXPECT_EQ(std::string(move_error), info("M31 GAL MAG 3.4"));
    EXPECT_EQ(link.sky.goto_count, 1);
    EXPECT_NEAR(link.sky.ra, 0.0 + 42.7 / 60, 1e-3);
    EXPECT_NEAR(link.sky.dec, 41.0 + 16.0 / 60, 1e-3);
    EXPECT_EQ(test_env().host.beeps, 1);

    // Never above the horizon of a northern site: refused with the reason,
    // which the catalogue go-to then replaces with the object information.
    EXPECT_EQ(move_telescope('c', 5139), '1');
    EXPECT_EQ(std::string(move_error), info("NGC 5139 GC MAG 3.7"));
    EXPECT_EQ(link.sky.goto_count, 1);

    // The coordinate go-to keeps the reason text.
    EXPECT_EQ(move_to_coord(13, 27, -47, 29), '1');
    EXPECT_EQ(std::string(move_error), "Object Below Horizon#");
    EXPECT_EQ(move_to_coord(5, 35, 41, 16), '0');
    EXPECT_NEAR(link.sky.ra, 5 + 35.0 / 60, 1e-6);
    EXPECT_EQ(std::string(move_error), info("RA 05:35.0 DEC +41*16"));
}

TEST(Lx200Link, SilentTelescopeLeavesGoToWithinItsWaitsAndNoText)
{
    Link link;
    link.connect();
    link.mount.set_answering(false);
    std::int64_t start = now();
    EXPECT_EQ(move_telescope('m', 42), '\0');
    EXPECT_EQ(now() - start, 202);
    EXPECT_STREQ(move_error, "");
    start = now();
    EXPECT_EQ(move_to_coord(1, 2, 3, 4), '\0');
    EXPECT_EQ(now() - start, 2);
    EXPECT_STREQ(move_error, "");
    start = now();
    GetInfo();
    EXPECT_EQ(now() - start, 200);
    EXPECT_STREQ(move_error, "");
    EXPECT_TRUE(box_texts().empty());
}

TEST(Lx200Link, PortNumbersAndFailuresToOpen)
{
    for (const auto& [com, port] : std::vector<std::pair<char, int>> {
             { '1', 0 }, { '2', 1 }, { '3', 2 }, { '4', 3 }, { '5', 4 }, { 'x', 4 }, { '\0', 4 } }) {
        SCOPED_TRACE(com);
        EXPECT_EQ(port_for_slewcom(com), port);
        Link link;
        slewcom = com;
        drive_check();
        ASSERT_FALSE(link.port.open_attempts.empty());
        EXPECT_EQ(link.port.open_attempts.front(), port);
    }

    // A port that cannot be opened: one library error, then the link's and
    // the caller's messages; the telescope items are off.
    test_env().host.boxes.clear();
    slewcom = '1';
    Link link;
    link.port.refuse_open = true;
    telescope = 'l';
    comm_check();
    EXPECT_EQ(box_texts(),
        (std::vector<std::string> {
            "ERROR -1 ", "Open Communications Failed", "Sorry. No Connection to Telescope" }));
    EXPECT_EQ(telescope, 'n');
    EXPECT_EQ(comfound, 0);

    // Connected once, the link is not opened again.
    link.port.refuse_open = false;
    telescope = 'l';
    comm_check();
    comm_check();
    EXPECT_EQ(link.port.open_attempts.size(), 2u);
    EXPECT_EQ(link.port.baud_rate(), 9600);
    EXPECT_EQ(comfound, 1);
}

TEST(Lx200Link, UnpluggedPortFailsOnceAndReconnectsOnDemand)
{
    Link link;
    link.connect();
    link.port.unplug();
    slewdir = 'w';
    slew_time = 100;
    const std::int64_t start = now();
    EXPECT_EQ(drive_slew(), -1);
    EXPECT_LE(now() - start, 124);
    EXPECT_EQ(box_texts(), std::vector<std::string> { "ERROR -4 " });
    EXPECT_FALSE(link.port.is_open());
    EXPECT_EQ(comfound, 0);
}

TEST(ControlBox, PulsesWakeUpAndSwappedLetters)
{
    using Bytes = std::vector<std::pair<std::int64_t, std::string>>;
    struct Case {
        const char* name;
        std::function<void()> run;
        Bytes expected;
    };
    const std::vector<Case> cases = {
        { "east 1000 ms",
            [] {
                slewdir = e;
                slew_time = 1000;
                interface_slew();
            },
            { { 0, "\x01" }, { 1, "\x11" }, { 1001, std::string(1, '\0') } } },
        { "swapped e/w: an east correction drives west",
            [] {
                e = 'w';
                w = 'e';
                slewdir = e;
                slew_time = 40;
                drive_slew();
            },
            { { 0, "\x08" }, { 1, "\x18" }, { 41, std::string(1, '\0') } } },
        { "0 ms: no gap between the last two",
            [] {
                slewdir = s;
                slew_time = 0;
                interface_slew();
            },
            { { 0, "\x04" }, { 1, "\x14" }, { 1, std::string(1, '\0') } } },
        { "wake-up", [] { interface_CR(); },
            { { 500, "\x0d" }, { 500, std::string(1, '\0') }, { 500, std::string(1, '\0') } } },
        { "hand move north until stopped",
            [] {
                slewdir = n;
                CB_start_move();
                test_env().clock.advance(3000);
                CB_stop_move();
            },
            { { 0, "\x02" }, { 1, "\x12" }, { 3001, std::string(1, '\0') } } },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Link link;
        link.connect('b');
        EXPECT_EQ(link.port.baud_rate(), 300);
        EXPECT_EQ(gotcontrolbox, 1);
        const std::int64_t start = now();
        c.run();
        EXPECT_EQ(timed(link, start), c.expected);
    }

    // The wake-up's lines: RTS and DTR cleared for 200 ms, then set.
    Link link;
    link.connect('b');
    const std::int64_t start = now();
    interface_CR();
    std::vector<std::pair<std::int64_t, std::string>> lines;
    for (const auto& change : link.port.line_changes)
        lines.emplace_back(change.at_ms - start, change.bytes);
    EXPECT_EQ(lines,
        (std::vector<std::pair<std::int64_t, std::string>> {
            { 0, "RTS C" }, { 0, "DTR C" }, { 200, "RTS S" }, { 200, "DTR S" } }));
}

TEST(ControlBox, FirstTrainingExercisesTheBoxOnce)
{
    Link link;
    link.connect('b');
    control_box_first_exercise();
    EXPECT_EQ(fst_run, 0);
    EXPECT_EQ(link.port.sent(),
        std::string("\x02\x12", 2) + '\0' + "\x04\x14" + '\0' + "\x01\x11" + '\0' + "\x08\x18" + '\0');
    link.port.writes.clear();
    control_box_first_exercise();
    EXPECT_TRUE(link.port.writes.empty());
}

TEST(SimulatedMount, PulsesMoveTheSkyAtTheGuideRateWithBacklash)
{
    Link link;
    link.mount.set_guide_rate(5.0, 4.0);
    link.mount.set_backlash(2.0, 0.0);

    // The LX200 guide move: east 1 s at the guide rate.
    link.connect('l');
    slewdir = 'e';
    slew_time = 1000;
    drive_slew();
    EXPECT_NEAR(link.sky.offset_x, 5.0, 1e-9);
    // Reversing loses the backlash first.
    slewdir = 'w';
    drive_slew();
    EXPECT_NEAR(link.sky.offset_x, 5.0 - (5.0 - 2.0), 1e-9);
    slewdir = 'n';
    slew_time = 500;
    drive_slew();
    EXPECT_NEAR(link.sky.offset_y, 2.0, 1e-9);

    // The box's pulses drive the same axes at the guide rate.
    link.connect('b');
    slewdir = 's';
    slew_time = 250;
    interface_slew();
    EXPECT_NEAR(link.sky.offset_y, 1.0, 1e-9);
    // Text at 300 baud is not heard by the LX200 side.
    stop_move();
    set_text(move_direction, "#:Me#");
    start_move();
    test_env().clock.advance(1000);
    link.mount.advance_to(now());
    EXPECT_NEAR(link.sky.offset_x, 2.0, 1e-9);
}

TEST(SimulatedMount, GoToAndPulsesMoveTheFieldTheCameraSees)
{
    sim::SkyModel model;
    sim::InProcessTelescope scope(model);
    telescope = 'l';
    ASSERT_EQ(drive_check(), 1);

    ASSERT_EQ(move_telescope('m', 31), '0');
    const auto m31 = model.stars_on_sensor(0, 0, 0);
    ASSERT_FALSE(m31.empty());
    ASSERT_EQ(move_telescope('m', 81), '0');
    EXPECT_NEAR(model.dec_degrees(), 69.0 + 4.0 / 60, 1e-3);
    const auto m81 = model.stars_on_sensor(0, 0, 0);
    EXPECT_TRUE(m81.size() != m31.size() || m81.front().x != m31.front().x);
    ASSERT_EQ(move_telescope('m', 31), '0');
    const auto back = model.stars_on_sensor(0, 0, 0);
    ASSERT_EQ(back.size(), m31.size());
    EXPECT_DOUBLE_EQ(back.front().x, m31.front().x);

    // A guide pulse east moves every star right by rate x time.
    slewdir = 'e';
    slew_time = 600;
    drive_slew();
    EXPECT_NEAR(model.offset_x(), 3.0, 1e-9);
    EXPECT_NEAR(model.offset_y(), 0.0, 1e-9);
}

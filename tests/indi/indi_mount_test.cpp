// The INDI mount against INDI's own telescope simulator on a server of the
// test's own, in real time: go-tos, guide pulses, hand moves and the faults
// a network mount has.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <functional>
#include <memory>
#include <thread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <libnova/sidereal_time.h>

#include "app/clock.h"
#include "app/wait.h"
#include "indi/indi_client.h"
#include "indi/indi_link.h"
#include "indi/indi_mount.h"
#include "indi/sky_position.h"
#include "indi_server.h"
#include "test_env.h"

namespace {

constexpr const char* scope = "Telescope Simulator";
constexpr double pi = 3.14159265358979323846;

// A host whose pump can start a fault once, when a condition first holds
// (the slew is under way, the tenth pulse went out): the fault lands in the
// middle of the operation without guessing at times.
class FaultHost : public TestHost {
public:
    using TestHost::TestHost;
    std::function<bool()> when;
    std::function<void()> fault;
    std::int64_t fault_at = -1;
    void clear_messages() override
    {
        TestHost::clear_messages();
        check();
    }
    bool pump_for_press() override
    {
        check();
        return TestHost::pump_for_press();
    }

private:
    void check()
    {
        if (fault && when && when()) {
            fault_at = program_clock().now_ms();
            std::exchange(fault, nullptr)();
        }
    }
};

struct Rig {
    SystemClock clock;
    IndiServer server { { "indi_simulator_telescope" } };
    IndiClient client;
    IndiMount mount { client, scope };
    FaultHost host { test_env().clock };
    std::string error;

    Rig()
    {
        set_clock(&clock);
        set_host(&host);
    }
    ~Rig()
    {
        client.disconnect_from();
        set_host(&test_env().host);
        set_clock(&test_env().clock);
    }
    // Connected and the mount open, placed so that `ra_hours` (of date)
    // stands an hour east of the meridian, high in the sky.
    bool open(double ra_hours = 5.6)
    {
        if (!server.started() || !client.connect_to("localhost", server.port(), 3000, error))
            return false;
        if (!mount.open(10000)) {
            error = mount.error();
            return false;
        }
        place_site(ra_hours - 1.0, 10.0);
        return true;
    }
    // A site where the local sidereal time is now `lst_hours`.
    void place_site(double lst_hours, double latitude)
    {
        const double gmst = ln_get_mean_sidereal_time(julian_day_now());
        const double longitude = std::fmod(std::fmod((lst_hours - gmst) * 15.0, 360.0) + 360.0, 360.0);
        const auto before = client.property(scope, "GEOGRAPHIC_COORD");
        client.send_numbers(scope, "GEOGRAPHIC_COORD", { { "LAT", latitude }, { "LONG", longitude }, { "ELEV", 0 } });
        wait_for([&] {
            const auto p = client.property(scope, "GEOGRAPHIC_COORD");
            return p && (!before || p->serial != before->serial) && std::fabs(p->number("LONG") - longitude) < 1e-3;
        });
    }
    // Puts the mount on `of_date` at once, tracking (a sync, not a slew:
    // tests that need a pointed mount, not a go-to, save the slew's time).
    bool sync_to(const Equatorial& of_date)
    {
        client.send_switches(scope, "ON_COORD_SET", { { "SYNC", true }, { "TRACK", false }, { "SLEW", false } });
        client.send_numbers(scope, "EQUATORIAL_EOD_COORD", { { "RA", of_date.ra_hours }, { "DEC", of_date.dec_degrees } });
        client.send_switches(scope, "TELESCOPE_TRACK_STATE", { { "TRACK_ON", true }, { "TRACK_OFF", false } });
        return wait_for([&] {
            const auto t = client.property(scope, "TELESCOPE_TRACK_STATE");
            return t && t->on("TRACK_ON") && separation_arcsec(at(), of_date) < 1.0;
        });
    }
    bool wait_for(const std::function<bool()>& done, int ms = 5000)
    {
        const std::int64_t deadline = clock.now_ms() + ms;
        while (!done()) {
            if (clock.now_ms() > deadline)
                return false;
            wait_ms(5);
        }
        return true;
    }
    Equatorial at()
    {
        Equatorial e;
        mount.coordinates(e);
        return e;
    }
    // The position once the mount has settled: the simulator reports only
    // changes, so settled is no report for three of its polls.
    Equatorial fresh()
    {
        std::uint64_t serial = 0;
        std::int64_t quiet_since = clock.now_ms();
        wait_for([&] {
            const auto q = client.property(scope, "EQUATORIAL_EOD_COORD");
            if (q && q->serial != serial) {
                serial = q->serial;
                quiet_since = clock.now_ms();
            }
            return clock.now_ms() - quiet_since > 800;
        });
        return at();
    }
};

#define SKIP_WITHOUT_INDISERVER()                                                                                      \
    do {                                                                                                               \
        if (const std::string why = IndiServer::missing(); !why.empty())                                               \
            GTEST_SKIP() << why;                                                                                       \
    } while (0)

// Precession by the textbook's annual rates, independent of libnova:
// good to a few arc seconds over decades.
Equatorial rough_precession(const Equatorial& j2000, double julian_day)
{
    const double years = (julian_day - 2451545.0) / 365.25;
    const double a = j2000.ra_hours * 15.0 * pi / 180.0, d = j2000.dec_degrees * pi / 180.0;
    const double ra_seconds = (3.07496 + 1.33621 * std::sin(a) * std::tan(d)) * years;
    const double dec_arcsec = 20.0431 * std::cos(a) * years;
    return { j2000.ra_hours + ra_seconds / 3600.0, j2000.dec_degrees + dec_arcsec / 3600.0 };
}

} // namespace

TEST(IndiMount, GoToObjectAndCoordinatesArriveAtThePrecessedTarget)
{
    SKIP_WITHOUT_INDISERVER();
    Rig rig;
    ASSERT_TRUE(rig.open()) << rig.error;
    struct Case {
        const char* name;
        Equatorial j2000;
    };
    const Case cases[] = {
        { "M42", { 5.0 + 35.3 / 60.0, -(5.0 + 23.0 / 60.0) } },
        { "RA 5h50m Dec +2 10'", { 5.0 + 50.0 / 60.0, 2.0 + 10.0 / 60.0 } },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto start = std::chrono::steady_clock::now();
        ASSERT_EQ(rig.mount.goto_j2000(c.j2000, c.name), GotoOutcome::arrived) << rig.mount.error();
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        const Equatorial expected = rough_precession(c.j2000, julian_day_now());
        // Decades of precession put the target of date well away from J2000.
        EXPECT_GT(separation_arcsec(expected, c.j2000), 120.0);
        const double off = separation_arcsec(rig.fresh(), expected);
        EXPECT_LT(off, 60.0);
        std::printf("go-to %s: %.1f s round trip, %.1f arcsec from the precessed target\n", c.name, seconds, off);
    }
}

TEST(IndiMount, BelowTheHorizonIsRefusedAndNothingMoves)
{
    SKIP_WITHOUT_INDISERVER();
    Rig rig;
    ASSERT_TRUE(rig.open()) << rig.error;
    // M42 twelve hours from the meridian at latitude +50 is far below.
    rig.place_site(5.6 + 12.0, 50.0);
    const auto before = rig.client.property(scope, "EQUATORIAL_EOD_COORD");
    ASSERT_TRUE(before);
    EXPECT_EQ(rig.mount.goto_j2000({ 5.588, -5.39 }, "M42"), GotoOutcome::refused);
    EXPECT_EQ(rig.mount.error().rfind("M42 is below the horizon (altitude -", 0), 0u) << rig.mount.error();
    const auto target = rig.client.property(scope, "TARGET_EOD_COORD");
    EXPECT_TRUE(!target || std::fabs(target->number("RA") - 5.6) > 0.1);
    EXPECT_NE(rig.client.property(scope, "EQUATORIAL_EOD_COORD")->state, IndiState::busy);
}

TEST(IndiMount, HalfSecondPulsesMoveTheMountByItsGuideRate)
{
    SKIP_WITHOUT_INDISERVER();
    Rig rig;
    ASSERT_TRUE(rig.open()) << rig.error;
    ASSERT_TRUE(rig.sync_to({ 5.6, 0.0 }));
    const auto rates = rig.client.property(scope, "GUIDE_RATE");
    ASSERT_TRUE(rates);
    // The guide rate is a fraction of 15 arc seconds a second.
    const double ns_arcsec = rates->number("GUIDE_RATE_NS") * 15.0 * 0.5;
    const double we_arcsec = rates->number("GUIDE_RATE_WE") * 15.0 * 0.5;
    struct Case {
        char direction;
        bool dec_axis;
    };
    double moved[4] {};
    const Case cases[] = { { 'n', true }, { 's', true }, { 'e', false }, { 'w', false } };
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(cases[i].direction);
        const Equatorial before = rig.fresh();
        const auto start = std::chrono::steady_clock::now();
        ASSERT_TRUE(rig.mount.pulse(cases[i].direction, 500)) << rig.mount.error();
        // The pulse ran its length before the call returned.
        EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(490));
        const Equatorial after = rig.fresh();
        moved[i] = cases[i].dec_axis ? (after.dec_degrees - before.dec_degrees) * 3600.0
                                     : std::remainder(after.ra_hours - before.ra_hours, 24.0) * 15.0 * 3600.0;
        EXPECT_NEAR(std::fabs(moved[i]), cases[i].dec_axis ? ns_arcsec : we_arcsec, 0.6);
        // The other axis holds nearly still (the simulator's first pulse
        // after a sync lets right ascension settle by an arc second or so).
        const double other = cases[i].dec_axis
            ? std::remainder(after.ra_hours - before.ra_hours, 24.0) * 15.0 * 3600.0
            : (after.dec_degrees - before.dec_degrees) * 3600.0;
        EXPECT_LT(std::fabs(other), 2.0);
    }
    // Opposite directions move opposite ways, whatever the pier side.
    EXPECT_LT(moved[0] * moved[1], 0);
    EXPECT_LT(moved[2] * moved[3], 0);
    std::printf("500 ms pulses: N %+.2f S %+.2f E %+.2f W %+.2f arcsec (guide rate says %.2f)\n", moved[0], moved[1],
        moved[2], moved[3], ns_arcsec);
}

TEST(IndiMount, HandMovesRunUntilReleased)
{
    SKIP_WITHOUT_INDISERVER();
    Rig rig;
    ASSERT_TRUE(rig.open()) << rig.error;
    ASSERT_TRUE(rig.sync_to({ 5.6, 0.0 }));
    const Equatorial start = rig.fresh();
    ASSERT_TRUE(rig.mount.start_move('n', 0));
    // The slowest rate was chosen.
    EXPECT_TRUE(rig.wait_for([&] {
        const auto rates = rig.client.property(scope, "TELESCOPE_SLEW_RATE");
        return rates && rates->elements.front().on;
    }));
    ASSERT_TRUE(rig.wait_for([&] { return std::fabs(rig.at().dec_degrees - start.dec_degrees) > 10.0 / 3600.0; }));
    ASSERT_TRUE(rig.mount.stop_move());
    ASSERT_TRUE(rig.wait_for([&] {
        const auto m = rig.client.property(scope, "TELESCOPE_MOTION_NS");
        return m && !m->on("MOTION_NORTH") && !m->on("MOTION_SOUTH");
    }));
    const Equatorial stopped = rig.fresh();
    EXPECT_NEAR(rig.fresh().dec_degrees, stopped.dec_degrees, 0.5 / 3600.0);
}

TEST(IndiMount, FaultsEndTheOperationWithOneClearMessage)
{
    SKIP_WITHOUT_INDISERVER();
    struct Case {
        const char* what;
        std::function<void(Rig&)> fault;
        const char* busy; // the property whose first Busy starts the fault
        std::function<bool(Rig&)> run; // the operation under the fault; returns its success
        const char* message;
    };
    auto disconnect = [](Rig& r) {
        r.client.send_switches(scope, "CONNECTION", { { "CONNECT", false }, { "DISCONNECT", true } });
    };
    auto vanish = [](Rig& r) { r.server.kill_now(); };
    auto slew = [](Rig& r) { return r.mount.goto_j2000({ 2.0, 60.0 }, "far") == GotoOutcome::arrived; };
    auto pulses = [](Rig& r) {
        for (int i = 0; i < 100; ++i)
            if (!r.mount.pulse(i % 2 ? 'n' : 's', 300))
                return false;
        return true;
    };
    const char* slewing = "EQUATORIAL_EOD_COORD";
    const char* pulsing = "TELESCOPE_TIMED_GUIDE_NS";
    const std::string gone = "The INDI server at localhost:";
    const std::string off = "The INDI mount \"Telescope Simulator\" is disconnected";
    const Case cases[] = {
        { "the mount disconnects during a slew", disconnect, slewing, slew, off.c_str() },
        { "the server vanishes during a slew", vanish, slewing, slew, gone.c_str() },
        { "the mount disconnects during pulses", disconnect, pulsing, pulses, off.c_str() },
        { "the server vanishes during pulses", vanish, pulsing, pulses, gone.c_str() },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Rig rig;
        ASSERT_TRUE(rig.open(2.0)) << rig.error;
        rig.host.when = [&] {
            const auto p = rig.client.property(scope, c.busy);
            return p && p->state == IndiState::busy;
        };
        rig.host.fault = [&] { c.fault(rig); };
        EXPECT_FALSE(c.run(rig));
        ASSERT_GE(rig.host.fault_at, 0);
        EXPECT_LE(rig.clock.now_ms() - rig.host.fault_at, 1000);
        EXPECT_EQ(rig.mount.error().rfind(c.message, 0), 0u) << rig.mount.error();
        // No pulse is left running on a mount that is still there.
        if (rig.client.server_connected()) {
            const auto p = rig.client.property(scope, pulsing);
            EXPECT_TRUE(!p || p->state != IndiState::busy);
        }
    }
}

TEST(IndiMount, AbsentOrSilentServerAnswersWithinItsTimeAndNames)
{
    SKIP_WITHOUT_INDISERVER();
    SystemClock clock;
    // Real time for the server, and the test's clock back however this ends.
    ScopedInstall<Clock> real_time(installed_clock, &clock);
    // Nothing listens.
    {
        const int port = IndiServer::free_port();
        IndiClient client;
        std::string error;
        EXPECT_FALSE(client.connect_to("localhost", port, 2000, error));
        EXPECT_EQ(error, "No INDI server answers at localhost:" + std::to_string(port));
    }
    // Something accepts and never speaks: the mount never appears, the
    // window is served all the while, and the wait ends on time.
    {
        const int fd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a {};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
        socklen_t length = sizeof a;
        getsockname(fd, reinterpret_cast<sockaddr*>(&a), &length);
        listen(fd, 4);
        const int port = ntohs(a.sin_port);
        IndiClient client;
        std::string error;
        ASSERT_TRUE(client.connect_to("localhost", port, 2000, error)) << error;
        IndiMount mount(client, scope);
        const int pumps = test_env().host.pumps;
        const std::int64_t start = clock.now_ms();
        EXPECT_FALSE(mount.open(1500));
        EXPECT_LT(clock.now_ms() - start, 3000);
        EXPECT_GT(test_env().host.pumps - pumps, 50);
        EXPECT_EQ(mount.error(),
            "The INDI server at localhost:" + std::to_string(port) + " has no device \"Telescope Simulator\"");
        client.disconnect_from();
        close(fd);
    }
}

TEST(SkyPosition, PrecessionHorizonAndFormatsAgreeWithKnownValues)
{
    // Vega at 2050.0 by libnova and by the annual rates, and back.
    const double jd2050 = 2451545.0 + 50 * 365.25;
    const Equatorial vega { 18.0 + 36.0 / 60.0 + 56.34 / 3600.0, 38.0 + 47.0 / 60.0 + 1.3 / 3600.0 };
    const Equatorial of_date = precess_to_date(vega, jd2050);
    const Equatorial rough = rough_precession(vega, jd2050);
    EXPECT_LT(separation_arcsec(of_date, rough), 15.0);
    const Equatorial back = precess_to_j2000(of_date, jd2050);
    EXPECT_LT(separation_arcsec(back, vega), 0.01);
    // On the meridian at latitude 50, Vega stands at 90 - (50 - 38.78).
    const double gmst = ln_get_mean_sidereal_time(jd2050);
    const double longitude = (of_date.ra_hours - gmst) * 15.0;
    double altitude = 0, azimuth = 0;
    horizontal(of_date, { 50.0, longitude }, jd2050, altitude, azimuth);
    EXPECT_NEAR(altitude, 90.0 - (50.0 - of_date.dec_degrees), 0.01);
    EXPECT_NEAR(azimuth, 180.0, 0.5); // due south of the zenith
    EXPECT_EQ(format_ra(5.5881), "05h35m17s");
    EXPECT_EQ(format_dec(-5.39111), "-05\xC2\xB0" "23'28\"");
    EXPECT_EQ(format_ra(23.99999), "00h00m00s");
}

// indi_zq1_ccd under its own indiserver, driven by a libindi client: frames
// of the simulated sky as FITS, the sky following a snooped telescope
// simulator, aborts and replacements at any moment, and the camera's faults.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <memory>

#include "indi_harness.h"

namespace {

using namespace std::chrono_literals;
using indi_test::IndiServer;
using indi_test::RecordingClient;

const std::string ccd = "ZQ1 CCD";
const std::string mount = "Telescope Simulator";

class Zq1DriverTest : public testing::Test {
protected:
    // Starts a server with our driver (and `more`), connects the client.
    void serve(const std::vector<std::string>& more = {}, const std::vector<std::string>& env = {})
    {
        if (indi_test::find_indiserver().empty())
            GTEST_SKIP() << "indiserver is not installed (Debian package indi-bin)";
        std::vector<std::string> drivers { ZQ1_DRIVER_PATH };
        drivers.insert(drivers.end(), more.begin(), more.end());
        server = std::make_unique<IndiServer>(drivers, env);
        ASSERT_TRUE(server->ok()) << server->error();
        client = std::make_unique<RecordingClient>();
        ASSERT_TRUE(client->connect_to(server->port(), ccd));
    }

    void connect_simulated()
    {
        client->switch_on(ccd, "SIMULATION", "ENABLE");
        client->switch_on(ccd, "CONNECTION", "CONNECT");
        ASSERT_TRUE(client->wait_state(ccd + ".CONNECTION", IPS_OK, 30s));
        ASSERT_TRUE(client->wait_state(ccd + ".CCD_EXPOSURE", IPS_IDLE, 10s));
    }

    void bin(int n)
    {
        client->numbers(ccd, "CCD_BINNING", { { "HOR_BIN", n }, { "VER_BIN", n } });
        ASSERT_TRUE(client->wait_state(ccd + ".CCD_BINNING", IPS_OK, 15s));
    }

    void expose(double seconds)
    {
        client->numbers(ccd, "CCD_EXPOSURE", { { "CCD_EXPOSURE_VALUE", seconds } });
    }

    // The next frame (the `count`-th of the session), read with cfitsio.
    indi_test::FitsImage frame(std::size_t count, std::chrono::milliseconds within = 30s)
    {
        if (!client->wait_blobs(count, within)) {
            indi_test::FitsImage none;
            none.error = "no frame arrived";
            return none;
        }
        return indi_test::read_fits(client->blobs()[count - 1].bytes,
            { "EXPTIME", "EXPOSURE", "DATE-OBS", "TIME-OBS", "PIXSIZE1", "PIXSIZE2", "XBINNING", "PIXWIDTH",
                "PIXHEIGH", "INSTRUME", "IMAGETYP", "READOUT" });
    }

    std::unique_ptr<IndiServer> server;
    std::unique_ptr<RecordingClient> client;
};

TEST_F(Zq1DriverTest, SimulationAnswersExposuresWithStarFieldsInFits)
{
    serve();
    connect_simulated();
    struct Case {
        int bin;
        double seconds;
        const char* readout_switch; // full resolution only
        int width, height;
        double pixel_um, pixel_height_um;
        const char* readout;
    };
    const Case cases[] = {
        { 2, 1.0, nullptr, 376, 290, 17.2, 16.6, "binned 2x2" },
        { 1, 1.0, "FAST", 752, 580, 8.6, 8.3, "fast" },
        { 1, 0.001, "TWO_EXPOSURE", 752, 580, 8.6, 8.3, "two exposures" },
    };
    std::size_t count = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.readout);
        bin(c.bin);
        if (c.readout_switch != nullptr)
            client->switch_on(ccd, "ZQ1_READOUT", c.readout_switch);
        expose(c.seconds);
        const indi_test::FitsImage image = frame(++count);
        ASSERT_TRUE(image.error.empty()) << image.error;
        EXPECT_EQ(image.width, c.width);
        EXPECT_EQ(image.height, c.height);
        EXPECT_NEAR(std::atof(image.cards.at("EXPTIME").c_str()), c.seconds, 1e-6);
        EXPECT_NEAR(std::atof(image.cards.at("EXPOSURE").c_str()), c.seconds, 1e-6);
        // INDI gives the sensor's pixel and the binning; the program's own
        // cards give the binned pixel in millimetres.
        EXPECT_NEAR(std::atof(image.cards.at("PIXSIZE1").c_str()), 8.6, 1e-3);
        EXPECT_NEAR(std::atof(image.cards.at("PIXSIZE2").c_str()), 8.3, 1e-3);
        EXPECT_EQ(std::atoi(image.cards.at("XBINNING").c_str()), c.bin);
        EXPECT_NEAR(std::atof(image.cards.at("PIXWIDTH").c_str()), c.pixel_um / 1000, 1e-6);
        EXPECT_NEAR(std::atof(image.cards.at("PIXHEIGH").c_str()), c.pixel_height_um / 1000, 1e-6);
        EXPECT_EQ(image.cards.at("READOUT").find(std::string("'") + c.readout), 0u)
            << image.cards.at("READOUT");
        EXPECT_EQ(image.cards.count("DATE-OBS"), 1u);
        EXPECT_EQ(image.cards.count("TIME-OBS"), 1u);
        if (c.seconds >= 1.0) {
            EXPECT_GE(indi_test::bright_peaks(image, 8).size(), 3u);
        }
        // The frame is there before the exposure reports Ok.
        EXPECT_TRUE(client->wait_state(ccd + ".CCD_EXPOSURE", IPS_OK, 5s));
    }
    // A bias is the shortest exposure, whatever was asked, and says so.
    client->switch_on(ccd, "CCD_FRAME_TYPE", "FRAME_BIAS");
    expose(5);
    const indi_test::FitsImage bias = frame(++count);
    ASSERT_TRUE(bias.error.empty()) << bias.error;
    EXPECT_NEAR(std::atof(bias.cards.at("EXPTIME").c_str()), 0.001, 1e-6);
    EXPECT_NE(bias.cards.at("IMAGETYP").find("Bias"), std::string::npos) << bias.cards.at("IMAGETYP");
    client->switch_on(ccd, "CCD_FRAME_TYPE", "FRAME_LIGHT");

    // Below the camera's millisecond the exposure is refused.
    expose(0.0005);
    EXPECT_TRUE(client->wait_state(ccd + ".CCD_EXPOSURE", IPS_ALERT, 5s));
}

// How many stars of `a` reappear in `b` moved by (dx, dy), within a pixel.
int matches(
    const std::vector<std::pair<int, int>>& a, const std::vector<std::pair<int, int>>& b, int dx, int dy)
{
    int n = 0;
    for (const auto& [x, y] : a)
        for (const auto& [u, v] : b)
            if (std::abs(u - x - dx) <= 1 && std::abs(v - y - dy) <= 1) {
                ++n;
                break;
            }
    return n;
}

TEST_F(Zq1DriverTest, ASnoopedMountMovesTheStars)
{
    serve({ "indi_simulator_telescope" });
    ASSERT_TRUE(client->wait_state(mount + ".CONNECTION", IPS_IDLE, 10s));
    client->switch_on(mount, "CONNECTION", "CONNECT");
    ASSERT_TRUE(client->wait_state(mount + ".CONNECTION", IPS_OK, 10s));
    client->switch_on(mount, "TELESCOPE_PARK", "UNPARK");
    connect_simulated();
    bin(2);

    // Point the mount (a sync lands at once), then a go-to one arcminute
    // north: at 2" a pixel that is 30 sensor rows, 15 binned.
    const double ra = 5.5, dec = 20.0, step = 1.0 / 60.0;
    const auto at_dec = [&](double d) {
        return client->wait_number(
            mount + ".EQUATORIAL_EOD_COORD", "DEC", [d](double v) { return std::fabs(v - d) < 2.0 / 3600; },
            60s);
    };
    client->switch_on(mount, "ON_COORD_SET", "SYNC");
    client->numbers(mount, "EQUATORIAL_EOD_COORD", { { "RA", ra }, { "DEC", dec } });
    ASSERT_TRUE(at_dec(dec));
    expose(1.0);
    const indi_test::FitsImage before = frame(1);
    ASSERT_TRUE(before.error.empty()) << before.error;

    client->switch_on(mount, "ON_COORD_SET", "TRACK");
    client->numbers(mount, "EQUATORIAL_EOD_COORD", { { "RA", ra }, { "DEC", dec + step } });
    ASSERT_TRUE(at_dec(dec + step));
    ASSERT_TRUE(client->wait_state(mount + ".EQUATORIAL_EOD_COORD", IPS_OK, 60s));
    expose(1.0);
    const indi_test::FitsImage after = frame(2);
    ASSERT_TRUE(after.error.empty()) << after.error;

    // The shift that brings most stars back. North is up or down the frame
    // depending on the optics; the sky also turned under the mount, untracked
    // before the go-to, which moves it along the rows.
    const auto shift = [](const indi_test::FitsImage& one, const indi_test::FitsImage& two) {
        const auto a = indi_test::bright_peaks(one, 8), b = indi_test::bright_peaks(two, 8);
        int best = 0, best_dx = 0, best_dy = 0;
        for (int dy = -30; dy <= 30; ++dy)
            for (int dx = -30; dx <= 30; ++dx)
                if (const int m = matches(a, b, dx, dy); m > best)
                    best = m, best_dx = dx, best_dy = dy;
        EXPECT_GE(a.size(), 5u);
        EXPECT_GE(best, static_cast<int>(a.size()) / 2) << a.size() << " stars, " << b.size() << " after";
        return std::pair { best_dx, best_dy };
    };
    const auto [gx, gy] = shift(before, after);
    EXPECT_NEAR(std::abs(gy), 15, 1) << "moved by " << gx << ", " << gy;

    // A guide pulse of 4 s at the simulator's guide rate (half the sidereal
    // rate, 7.5"/s) moves the mount 30" in Dec, 7.5 binned rows; which way is
    // the mount's business (pier side), so the rows follow the Dec it reports.
    const double dec_before = client->number(mount + ".EQUATORIAL_EOD_COORD", "DEC");
    client->numbers(mount, "TELESCOPE_TIMED_GUIDE_NS", { { "TIMED_GUIDE_N", 4000 }, { "TIMED_GUIDE_S", 0 } });
    ASSERT_TRUE(client->wait_state(mount + ".TELESCOPE_TIMED_GUIDE_NS", IPS_BUSY, 5s));
    ASSERT_TRUE(client->wait_state(mount + ".TELESCOPE_TIMED_GUIDE_NS", IPS_IDLE, 10s));
    ASSERT_TRUE(client->wait_number(
        mount + ".EQUATORIAL_EOD_COORD", "DEC",
        [&](double d) { return std::fabs(d - dec_before) > 20.0 / 3600; }, 5s));
    const double dec_moved = client->number(mount + ".EQUATORIAL_EOD_COORD", "DEC") - dec_before;
    expose(1.0);
    const indi_test::FitsImage guided = frame(3);
    ASSERT_TRUE(guided.error.empty()) << guided.error;
    const auto [px, py] = shift(after, guided);
    EXPECT_NEAR(py, gy * dec_moved / step, 1.5)
        << "moved by " << px << ", " << py << " for " << dec_moved * 3600 << "\"";
}

TEST_F(Zq1DriverTest, AbortsAndNewExposuresAreSafeAtAnyMoment)
{
    serve();
    connect_simulated();
    bin(2);
    const std::string exposure = ccd + ".CCD_EXPOSURE";
    const auto exptime = [&](std::size_t n) { return std::atof(frame(n).cards["EXPTIME"].c_str()); };

    // Abort while exposing, then expose again.
    expose(30);
    ASSERT_TRUE(client->wait_state(exposure, IPS_BUSY, 5s));
    client->switch_on(ccd, "CCD_ABORT_EXPOSURE", "ABORT");
    ASSERT_TRUE(client->wait_state(exposure, IPS_IDLE, 5s));
    expose(0.2);
    EXPECT_NEAR(exptime(1), 0.2, 1e-6);

    // A new exposure while one runs replaces it.
    expose(30);
    ASSERT_TRUE(client->wait_state(exposure, IPS_BUSY, 5s));
    expose(0.3);
    EXPECT_NEAR(exptime(2), 0.3, 1e-6);

    // Abort while the frame downloads (a camera-timed exposure downloads at
    // once, for over a second), then expose again: only the new frame comes.
    expose(0.001);
    ASSERT_TRUE(client->wait_state(exposure, IPS_BUSY, 5s));
    client->switch_on(ccd, "CCD_ABORT_EXPOSURE", "ABORT");
    ASSERT_TRUE(client->wait_state(exposure, IPS_IDLE, 5s));
    expose(0.4);
    EXPECT_NEAR(exptime(3), 0.4, 1e-6);
    ASSERT_TRUE(client->wait_state(exposure, IPS_OK, 5s));
    EXPECT_EQ(client->blobs().size(), 3u);
}

TEST_F(Zq1DriverTest, NoCameraIsAnAlertAndTheDriverStaysUp)
{
    // Ids no camera has, so a camera on this machine's bus is never touched.
    serve({}, { "QUILLON_CAMERA_VID=ffff", "QUILLON_CAMERA_PID=fffe" });
    client->switch_on(ccd, "CONNECTION", "CONNECT");
    EXPECT_TRUE(client->wait_state(ccd + ".CONNECTION", IPS_ALERT, 10s));
    EXPECT_TRUE(client->wait_message("no camera", 5s));
    // The same driver goes on serving.
    connect_simulated();
    expose(0.1);
    EXPECT_TRUE(frame(1).error.empty());
}

TEST_F(Zq1DriverTest, ACameraUnpluggedMidExposureFailsItAndIsFoundAgain)
{
    serve();
    connect_simulated();
    bin(2);
    const std::string exposure = ccd + ".CCD_EXPOSURE";
    expose(2);
    ASSERT_TRUE(client->wait_state(exposure, IPS_BUSY, 5s));
    client->switch_on(ccd, "ZQ1_SIM_CABLE", "UNPLUGGED");
    EXPECT_TRUE(client->wait_state(exposure, IPS_ALERT, 10s));
    EXPECT_TRUE(client->wait_message("went away", 5s));
    EXPECT_TRUE(client->blobs().empty());

    client->switch_on(ccd, "ZQ1_SIM_CABLE", "PLUGGED");
    EXPECT_TRUE(client->wait_message("The camera is back", 10s));
    expose(0.2);
    EXPECT_TRUE(frame(1).error.empty());
    EXPECT_TRUE(client->wait_state(ccd + ".CONNECTION", IPS_OK, 1s));
}

} // namespace

// The driver's exposure sequence on the simulated ZQ1 and a manual clock:
// every read-out gives its frame with stars, and an abort or a pulled cable
// at any step ends the exposure cleanly with the camera found again after.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>

#include "app/clock.h"
#include "app/state.h"
#include "camera/camera_transport.h"
#include "indi_harness.h"
#include "sim/sim_camera.h"
#include "test_env.h"
#include "zq1_exposure.h"

namespace {

using zq1::ExposureResult;
using zq1::Readout;

indi_test::FitsImage as_image(const zq1::Frame& f)
{
    indi_test::FitsImage image;
    image.width = f.width;
    image.height = f.height;
    image.pixels.assign(f.pixels.begin(), f.pixels.end());
    return image;
}

double mean_of_rows(const zq1::Frame& f, int first)
{
    double sum = 0;
    long n = 0;
    for (int y = first; y < f.height; y += 2)
        for (int x = 0; x < f.width; ++x, ++n)
            sum += f.pixels[std::size_t(y) * f.width + x];
    return sum / static_cast<double>(n);
}

class Zq1ExposureTest : public testing::Test {
protected:
    void SetUp() override
    {
        sky.configure(sim::SkySettings {});
        sky.point_at(5.5, 20);
        set_camera_transport(&cable);
    }
    void TearDown() override { set_camera_transport(nullptr); }

    sim::SkyModel sky;
    sim::SimCamera camera { sky };
    zq1::CableTransport cable { camera };
    zq1::Abort no_abort;
};

TEST_F(Zq1ExposureTest, EveryReadoutGivesItsFrameWithStars)
{
    struct Case {
        Readout readout;
        int ms;
        int width, height;
    };
    const Case cases[] = {
        { Readout::binned, 2000, 376, 290 },
        { Readout::fast, 2000, 752, 580 },
        { Readout::progressive, 4000, 752, 580 },
        { Readout::two_exposure, 2000, 752, 580 },
        { Readout::two_exposure, 300, 752, 580 }, // the camera times it
        { Readout::binned, 1, 376, 290 },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(
            testing::Message() << "read-out " << static_cast<int>(c.readout) << ", " << c.ms << " ms");
        const std::int64_t start = test_env().clock.now_ms();
        const ExposureResult r = zq1::take_exposure(c.ms, c.readout, no_abort);
        ASSERT_EQ(r.outcome, ExposureResult::Outcome::frame) << r.message;
        EXPECT_EQ(r.frame.width, c.width);
        EXPECT_EQ(r.frame.height, c.height);
        EXPECT_GE(test_env().clock.now_ms() - start, c.ms);
        if (c.ms >= 300) {
            EXPECT_GE(indi_test::bright_peaks(as_image(r.frame), 8).size(), 3u);
        }
        if (c.width == 752) {
            // Both fields carry light of their own, or the fast read-out's
            // fill between them.
            const double even = mean_of_rows(r.frame, 0), odd = mean_of_rows(r.frame, 1);
            EXPECT_NEAR(odd / even, 1.0, 0.2);
            if (c.readout == Readout::fast) {
                EXPECT_EQ(
                    r.frame.pixels[752 + 100], (r.frame.pixels[100] + r.frame.pixels[2 * 752 + 100]) / 2);
            }
        }
    }
}

// A clock that asks for an abort once it reaches a moment.
class AbortingClock : public ManualClock {
public:
    AbortingClock(zq1::Abort& abort, std::int64_t at)
        : abort_(abort)
        , at_(at)
    {
    }
    void sleep_ms(int d) override
    {
        ManualClock::sleep_ms(d);
        if (ms >= at_)
            abort_.request();
    }

private:
    zq1::Abort& abort_;
    std::int64_t at_;
};

TEST_F(Zq1ExposureTest, AnAbortEndsTheExposureAtAnyStepAndTheNextOneWorks)
{
    enum class When { waiting, downloading, second_exposure };
    for (const When when : { When::waiting, When::downloading, When::second_exposure }) {
        SCOPED_TRACE(static_cast<int>(when));
        zq1::Abort abort;
        AbortingClock clock(abort, when == When::waiting ? 3000 : 1'000'000'000);
        const Readout readout = when == When::second_exposure ? Readout::two_exposure : Readout::binned;
        int reads = 0;
        cable.on_block_read = [&] {
            ++reads;
            if (when == When::downloading || (when == When::second_exposure && reads == 1))
                abort.request();
        };
        set_clock(&clock);
        const ExposureResult r = zq1::take_exposure(60'000, readout, abort);
        set_clock(&test_env().clock);
        cable.on_block_read = nullptr;
        EXPECT_EQ(r.outcome, ExposureResult::Outcome::aborted);
        EXPECT_TRUE(r.frame.pixels.empty());
        if (when == When::waiting) {
            EXPECT_LT(clock.ms, 3000 + 20); // within one wait slice
            EXPECT_EQ(reads, 0);
        }
        if (when == When::second_exposure) {
            EXPECT_EQ(reads, 1); // the second exposure was never read
        }

        const ExposureResult next = zq1::take_exposure(500, Readout::binned, no_abort);
        EXPECT_EQ(next.outcome, ExposureResult::Outcome::frame) << next.message;
    }
}

TEST_F(Zq1ExposureTest, APulledCableFailsTheExposureAndTheCameraIsFoundAgain)
{
    // No camera at all.
    cable.set_plugged(false);
    ExposureResult r = zq1::take_exposure(500, Readout::binned, no_abort);
    EXPECT_EQ(r.outcome, ExposureResult::Outcome::no_camera);
    EXPECT_EQ(r.message.rfind("no camera", 0), 0u) << r.message;

    // Plugged in: found by the next exposure.
    cable.set_plugged(true);
    r = zq1::take_exposure(500, Readout::binned, no_abort);
    ASSERT_EQ(r.outcome, ExposureResult::Outcome::frame) << r.message;

    // Pulled out while the frame downloads.
    cable.on_block_read = [&] { cable.set_plugged(false); };
    r = zq1::take_exposure(1000, Readout::fast, no_abort);
    cable.on_block_read = nullptr;
    EXPECT_EQ(r.outcome, ExposureResult::Outcome::failed);
    EXPECT_NE(r.message.find("went away"), std::string::npos) << r.message;
    EXPECT_NE(r.message.find("BlockIO"), std::string::npos) << r.message;
    EXPECT_TRUE(r.camera_gone);
    EXPECT_EQ(got_vn, 0);
    std::string why;
    EXPECT_FALSE(zq1::find_camera(why));

    cable.set_plugged(true);
    EXPECT_TRUE(zq1::find_camera(why)) << why;
    r = zq1::take_exposure(1000, Readout::fast, no_abort);
    EXPECT_EQ(r.outcome, ExposureResult::Outcome::frame) << r.message;

    // A short download with the camera still there fails that frame alone.
    camera.faults().short_block_read = static_cast<int>(camera.reads().size()) + 1;
    r = zq1::take_exposure(1000, Readout::binned, no_abort);
    EXPECT_EQ(r.outcome, ExposureResult::Outcome::failed);
    EXPECT_EQ(r.message.rfind("The exposure failed: Error 5 ", 0), 0u) << r.message;
    EXPECT_FALSE(r.camera_gone);
    r = zq1::take_exposure(1000, Readout::binned, no_abort);
    EXPECT_EQ(r.outcome, ExposureResult::Outcome::frame) << r.message;
}

} // namespace

// A self-guided exposure through the whole camera command: the exposure
// loop calls the self-guiding steps, which read guide frames from the same
// simulated camera and correct the simulated mount through the control box.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "app/state.h"
#include "camera/exposure_loop.h"
#include "camera/usb.h"
#include "sim/in_process_port.h"
#include "sim/sim.h"
#include "sim/simulated_mount.h"
#include "store/buffers.h"
#include "telescope/guiding.h"
#include "test_env.h"

namespace {

class SharedSky : public sim::MountSky {
public:
    explicit SharedSky(sim::SkyModel& sky)
        : sky_(sky)
    {
    }
    void move_pointing(double dx, double dy) override { sky_.move_pointing(dx, dy); }
    void point_at(double ra, double dec) override { sky_.point_at(ra, dec); }
    double ra_hours() const override { return sky_.ra_hours(); }
    double dec_degrees() const override { return sky_.dec_degrees(); }

private:
    sim::SkyModel& sky_;
};

// RMS radius of the star's core around its centroid: the light above a
// tenth of the peak (over the median of a 41 x 41 box), so the noise of the
// background does not weigh in at large radii.
double star_width(const unsigned short* frame, int cx, int cy)
{
    std::vector<double> box;
    for (int y = cy - 20; y <= cy + 20; ++y)
        for (int x = cx - 20; x <= cx + 20; ++x)
            box.push_back(frame[y * 752 + x]);
    std::vector<double> sorted = box;
    std::nth_element(sorted.begin(), sorted.begin() + sorted.size() / 2, sorted.end());
    const double floor = sorted[sorted.size() / 2];
    const double peak = *std::max_element(box.begin(), box.end());
    const double cut = floor + 0.1 * (peak - floor);
    double s = 0, sx = 0, sy = 0, sxx = 0, syy = 0;
    for (int j = 0; j < 41; ++j)
        for (int k = 0; k < 41; ++k) {
            const double v = box[j * 41 + k] - cut;
            if (v > 0)
                s += v, sx += v * k, sy += v * j, sxx += v * k * k, syy += v * j * j;
        }
    const double mx = sx / s, my = sy / s;
    return std::sqrt(sxx / s - mx * mx + syy / s - my * my);
}

struct Exposure {
    double width = 0;
    int guide_frames = 0;
    bool completed = false;
};

// A 20-second two-exposure high-resolution frame, guided on half-second
// frames with the switch at mid-exposure when `guided`.
Exposure expose(double drift_x, double drift_y, bool guided)
{
    reset_program_state();
    sim::SkySettings s;
    s.stars_per_megapixel = 0;
    s.brightest_flux = 2.0e5;
    sim::SensorSettings c;
    c.hot_pixels = 0;
    sim::SkyModel sky(s);
    sim::SimCamera camera(sky, c);
    SharedSky mount_sky(sky);
    sim::SimulatedMount mount(mount_sky);
    sim::InProcessSerialPort port(mount);
    set_camera_transport(&camera);
    set_serial_port(&port);
    mount.set_guide_rate(5.0, 7.0);
    sky.place_star(376.0, 288.0, 4000);
    sky.set_drift(drift_x, drift_y);

    telescope = 'b'; // self-guiding drives the control box
    slewx = 5;
    slewy = 3;
    max_stretch = 1;
    picked_star = 1;
    pick_xcent = 376;
    pick_ycent = 288;
    binned = 0;
    highres_nonintl = 1;
    ZQ_binned();
    Exposure result;
    CameraDialogScope dialog([&] {
        if (guided) {
            exp_range = 't';
            exp_value = 5;
            selfguiding = 1;
            selfguiding_exp_range = 't';
            selfguiding_exp_value = 5;
            switch_frame = selfguidinghigh = 1;
            selfguiding21 = 0;
        }
        exp_range = 's';
        exp_value = 20;
        return 1;
    });
    run_camera_command();
    result.guide_frames = selfguidingframes;
    result.completed = !end_loop;
    result.width = star_width(image_int, 376, 288);
    set_serial_port(nullptr);
    set_camera_transport(nullptr);
    return result;
}

} // namespace

TEST(SelfGuiding, SwitchedExposureKeepsTheStarRound)
{
    // The guider takes a new reference on the second field's frames at the
    // switch, so what the mount drifted in the few uncorrected seconds of the
    // switch stays between the two halves: a slow drift here.
    const double dx = 0.2, dy = 0.1;
    const Exposure still = expose(0, 0, false);
    const Exposure guided = expose(dx, dy, true);
    const Exposure smeared = expose(dx, dy, false);
    std::printf("20 s high-resolution exposure, star core RMS radius: %.2f px still, %.2f px drifting and "
                "self-guided (%d guide frames), %.2f px drifting unguided\n",
        still.width, guided.width, guided.guide_frames, smeared.width);
    EXPECT_TRUE(guided.completed);
    EXPECT_GT(guided.guide_frames, 20);
    EXPECT_NEAR(guided.width, still.width, 0.1 * still.width);
    EXPECT_GT(smeared.width, 1.5 * still.width);
    for (const RecordedBox& b : test_env().host.boxes)
        ADD_FAILURE() << b.text;
}

// Half-flux diameter and FWHM against stars drawn from their formulas: each
// pixel holds the profile integrated over its square, on a noisy background,
// so the known HFD is the star's own, not the sampled one's.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "display/star_readout.h"
#include "processing/star_measure.h"
#include "store/text_settings.h"

namespace {

constexpr double pi = 3.14159265358979323846;

struct Profile {
    const char* name;
    // Light per unit area at radius r, for a star of half-flux diameter `hfd`
    // and total light 1; and its FWHM.
    std::function<double(double r, double hfd)> density;
    std::function<double(double hfd)> fwhm;
};

double gauss_sigma(double hfd)
{
    return hfd / (2.0 * std::sqrt(2.0 * std::log(2.0)));
}

// Moffat (1 + r^2/a^2)^-beta holds half its light within a sqrt(2^(1/(beta-1)) - 1).
double moffat_alpha(double hfd, double beta)
{
    return hfd / (2.0 * std::sqrt(std::pow(2.0, 1.0 / (beta - 1.0)) - 1.0));
}

Profile gaussian()
{
    return { "Gaussian",
        [](double r, double hfd) {
            const double s = gauss_sigma(hfd);
            return std::exp(-r * r / (2 * s * s)) / (2 * pi * s * s);
        },
        [](double hfd) { return 2.0 * std::sqrt(2.0 * std::log(2.0)) * gauss_sigma(hfd); } };
}

Profile moffat(double beta)
{
    return { "Moffat",
        [beta](double r, double hfd) {
            const double a = moffat_alpha(hfd, beta);
            return (beta - 1) / (pi * a * a) * std::pow(1 + r * r / (a * a), -beta);
        },
        [beta](double hfd) {
            return 2.0 * moffat_alpha(hfd, beta) * std::sqrt(std::pow(2.0, 1.0 / beta) - 1.0);
        } };
}

struct Scene {
    int width = 0, height = 0;
    std::vector<unsigned short> pixels;
    StarFrame frame() const { return { pixels.data(), width, height, 1.0, 65535 }; }
};

// A star of `flux` at (cx, cy) on a background of 1000 with noise `noise`.
// Rows are `pitch` columns apart (2 for a field-line window).
Scene draw(const Profile& p, double hfd, double cx, double cy, double flux, double noise, int size,
    double pitch = 1.0, unsigned seed = 7)
{
    Scene s;
    s.width = size;
    s.height = static_cast<int>(size / pitch);
    s.pixels.resize(static_cast<std::size_t>(s.width) * s.height);
    std::mt19937 rng(seed);
    std::normal_distribution<double> n(0.0, noise);
    const int sub = hfd < 6 ? 8 : 3;
    for (int y = 0; y < s.height; ++y)
        for (int x = 0; x < s.width; ++x) {
            double light = 0;
            for (int j = 0; j < sub; ++j)
                for (int i = 0; i < sub; ++i) {
                    const double dx = x - 0.5 + (i + 0.5) / sub - cx;
                    const double dy = y * pitch - 0.5 + (j + 0.5) / sub - cy * pitch;
                    light += p.density(std::sqrt(dx * dx + dy * dy), hfd);
                }
            const double v = 1000.0 + flux * light / (sub * sub) + (noise > 0 ? n(rng) : 0.0);
            s.pixels[static_cast<std::size_t>(y) * s.width + x]
                = static_cast<unsigned short>(std::clamp(std::lround(v), 0L, 65535L));
        }
    return s;
}

// Enough light for a clear star whose peak stays under the clip at every size.
double flux_for(double hfd)
{
    return 1.2e5 * std::max(1.0, hfd * hfd / 4.0);
}

TEST(StarMeasure, HfdOfAnalyticStarsWithinThreePercent)
{
    const std::vector<Profile> profiles = { gaussian(), moffat(3.0), moffat(4.765) };
    const double hfds[] = { 2, 3, 5, 8, 12, 20 };
    const double offsets[] = { 0.0, 0.25, 0.5 };
    for (const Profile& p : profiles)
        for (double hfd : hfds)
            for (double off : offsets) {
                const int size = static_cast<int>(12 * hfd) + 60;
                const double c = size / 2 + off;
                const Scene s = draw(p, hfd, c, c + off, flux_for(hfd), 8.0, size);
                const StarMeasure m = measure_star(s.frame(), size / 2, size / 2, 40);
                SCOPED_TRACE(std::string(p.name) + " HFD " + std::to_string(hfd) + " offset "
                    + std::to_string(off));
                ASSERT_TRUE(m.ok());
                EXPECT_NEAR(m.hfd, hfd, 0.03 * hfd);
                EXPECT_NEAR(m.x, c, 0.05 + 0.01 * hfd);
                EXPECT_NEAR(m.y, c + off, 0.05 + 0.01 * hfd);
                // The far wings of the widest Moffat stars still lift the ring a little.
                EXPECT_NEAR(m.background, 1000.0, 2.0);
                // A star two pixels across leaves its FWHM to a couple of samples.
                EXPECT_NEAR(m.fwhm, p.fwhm(hfd), (hfd < 3 ? 0.3 : 0.1) * p.fwhm(hfd));
            }
}

TEST(StarMeasure, FieldLineWindowsMeasureInColumnWidths)
{
    // Every other sensor row: rows two columns apart, sizes still in columns.
    for (double hfd : { 4.0, 10.0 }) {
        const Scene s = draw(moffat(3.0), hfd, 64.25, 32.5, flux_for(hfd), 6.0, 128, 2.0);
        StarFrame f = s.frame();
        f.row_pitch = 2.0;
        const StarMeasure m = measure_star(f, 64, 32, 30);
        ASSERT_TRUE(m.ok());
        EXPECT_NEAR(m.hfd, hfd, 0.04 * hfd);
        EXPECT_NEAR(m.y, 32.5, 0.1);
    }
}

TEST(StarMeasure, SaturatedAndMissingStarsAreRefused)
{
    struct Case {
        const char* what;
        double flux;
        double noise;
        StarResult expected;
    };
    const Case cases[] = {
        { "clipped core", 3e6, 8.0, StarResult::saturated },
        { "just under the clip", 1.3e5 * 1.6, 0.0, StarResult::measured },
        { "only noise", 0.0, 8.0, StarResult::no_star },
        { "flat frame", 0.0, 0.0, StarResult::no_star },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Scene s = draw(gaussian(), 2.5, 50.3, 49.8, c.flux, c.noise, 100);
        EXPECT_EQ(measure_star(s.frame(), 50, 50, 12).result, c.expected);
        EXPECT_EQ(measure_brightest_star(s.frame()).result, c.expected);
    }
}

TEST(StarMeasure, BrightestUnsaturatedStarOfAFrame)
{
    // A clipped star, the brightest good one, a fainter one and hot pixels.
    Scene s = draw(moffat(3.0), 4.0, 100.4, 80.6, 1.5e5, 7.0, 300);
    const Scene faint = draw(moffat(3.0), 4.0, 220.0, 200.0, 4e4, 0.0, 300);
    const Scene clipped = draw(moffat(3.0), 4.0, 60.0, 220.0, 5e6, 0.0, 300);
    for (std::size_t i = 0; i < s.pixels.size(); ++i) {
        const int v = s.pixels[i] + (faint.pixels[i] - 1000) + (clipped.pixels[i] - 1000);
        s.pixels[i] = static_cast<unsigned short>(std::min(v, 65535));
    }
    s.pixels[150 * 300 + 30] = 60000;
    s.pixels[20 * 300 + 250] = 65535;
    const StarMeasure m = measure_brightest_star(s.frame());
    ASSERT_TRUE(m.ok());
    EXPECT_NEAR(m.x, 100.4, 0.1);
    EXPECT_NEAR(m.y, 80.6, 0.1);
    EXPECT_NEAR(m.hfd, 4.0, 0.12);
}

TEST(StarMeasure, SizeTextsInPixelsAndArcseconds)
{
    EXPECT_EQ(star_size_text("HFD", 4.214, 0), "HFD 4.21 px");
    EXPECT_EQ(star_size_text("FWHM", 3.0, 1.5), "FWHM 3.00 px (4.50\")");
    StarMeasure m;
    m.result = StarResult::measured;
    m.hfd = 4.0;
    m.fwhm = 3.2;
    EXPECT_EQ(star_readout(m, false), "HFD 4.00 px  FWHM 3.20 px");
    // 1000 mm: 1.774"/px at full resolution, twice that binned.
    set_text_setting("focal_length", "1000");
    EXPECT_EQ(star_readout(m, false), "HFD 4.00 px (7.10\")  FWHM 3.20 px (5.68\")");
    EXPECT_EQ(star_readout(m, true), "HFD 4.00 px (14.19\")  FWHM 3.20 px (11.35\")");
    m.result = StarResult::saturated;
    EXPECT_EQ(star_readout(m, false), "Star saturated");
    m.result = StarResult::no_star;
    EXPECT_EQ(star_readout(m, false), "No star");
}

} // namespace

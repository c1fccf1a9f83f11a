#include <gtest/gtest.h>

#include <cstdlib>

#include "app/state.h"
#include "telescope/guide_steps.h"
#include "test_env.h"

namespace {
struct CorrectionCase {
    const char* what;
    int x3, y3; // the measured error, thousandths of a pixel
    int ignore, switching_frame, backlash, hysteresis;
    char last_ra;
    bool skipped;
    char ra_dir;
    int ra_ms;
    char dec_dir;
    int dec_ms;
};
} // namespace

TEST(GuideCorrection, ThresholdsJumpsBacklashAndHysteresis)
{
    // slewx = slewy = 2 pixels a second: a thousandth of a pixel is half a ms.
    const CorrectionCase cases[] = {
        { "x3 = 100 corrects east", 100, 0, 0, 0, 0, 0, 'e', false, 'e', 50, 0, 0 },
        { "100 is under the coarse threshold", 100, 0, 1, 0, 0, 0, 'e', false, 0, 0, 0, 0 },
        { "301 is over it", 301, -301, 1, 0, 0, 0, 'e', false, 'e', 150, 's', 150 },
        { "25 moves RA but not Dec", 25, 25, 0, 0, 0, 0, 'e', false, 'e', 12, 0, 0 },
        { "31 moves Dec", 20, 31, 0, 0, 0, 0, 'e', false, 0, 0, 'n', 15 },
        { "3000 is no jump", 3000, -3000, 0, 0, 0, 0, 'e', false, 'e', 1500, 's', 1500 },
        { "3001 skips the frame", 3001, 0, 0, 0, 0, 0, 'e', true, 0, 0, 0, 0 },
        { "so does a Dec jump", 100, -3001, 0, 0, 0, 0, 'e', true, 0, 0, 0, 0 },
        { "3001 while switching frames is corrected", 3001, 0, 0, 1, 0, 0, 'e', false, 'e', 1500, 0, 0 },
        { "reversal east to west adds the backlash", -1000, 0, 0, 0, 200, 0, 'e', false, 'w', 400, 0, 0 },
        { "no reversal, no backlash", -1000, 0, 0, 0, 200, 0, 'w', false, 'w', 500, 0, 0 },
        { "hysteresis eats a short pulse", 100, 0, 0, 0, 0, 60, 'e', false, 'e', -10, 0, 0 },
    };
    for (const CorrectionCase& c : cases) {
        SCOPED_TRACE(c.what);
        const GuideAxis ra { 2, c.backlash, c.hysteresis, c.last_ra, 'e', 'w' };
        const GuideAxis dec { 2, c.backlash, c.hysteresis, c.y3 < 0 ? 's' : 'n', 'n', 's' };
        const GuideCorrection got
            = guide_pulses(c.x3, c.y3, ra, dec, { c.ignore != 0, c.switching_frame != 0 });
        EXPECT_EQ(got.skipped, c.skipped);
        EXPECT_EQ(got.ra.direction, c.ra_dir);
        EXPECT_EQ(got.ra.ms, c.ra_ms);
        EXPECT_EQ(got.ra.moves(), c.ra_ms > 0);
        EXPECT_EQ(got.dec.direction, c.dec_dir);
        EXPECT_EQ(got.dec.ms, c.dec_ms);
        if (c.ra_dir != 0) {
            EXPECT_EQ(got.ra_axis.last, c.ra_dir);
        }
        if (c.backlash != 0 && c.last_ra != c.ra_dir) {
            EXPECT_EQ(got.x3, c.x3 + c.backlash);
        }
    }
}

TEST(GuideCorrection, ATraceReplaysFromTheAxesAlone)
{
    // Errors recorded over five frames with swapped east/west letters: each
    // frame hands its axes to the next, and reversals pay the backlash once.
    struct Frame {
        int x3, y3;
        char ra_dir;
        int ra_ms;
        char dec_dir;
        int dec_ms;
    };
    const Frame trace[] = {
        { 800, -400, 'w', 600, 's', 75 }, // both reverse: the backlash is added to the signed error
        { 600, 0, 'w', 300, 0, 0 },
        { -600, 500, 'e', 100, 'n', 150 },
        { -200, 40, 'e', 100, 'n', 10 },
        { 25, -31, 'w', 212, 's', 17 },
    };
    GuideAxis ra { 2, 400, 0, 'e', 'w', 'e' }; // swapped e/w: a positive error drives 'w'
    GuideAxis dec { 4, 100, 0, 'n', 'n', 's' };
    int frame = 0;
    for (const Frame& f : trace) {
        SCOPED_TRACE(frame++);
        const GuideCorrection got = guide_pulses(f.x3, f.y3, ra, dec, {});
        EXPECT_EQ(got.ra.direction, f.ra_dir);
        EXPECT_EQ(got.ra.ms, f.ra_ms);
        EXPECT_EQ(got.dec.direction, f.dec_dir);
        EXPECT_EQ(got.dec.ms, f.dec_ms);
        ra = got.ra_axis;
        dec = got.dec_axis;
    }
    // Nothing global was read or written.
    EXPECT_EQ(lastslewx, 'e');
    EXPECT_EQ(lastslewy, 'n');
}

TEST(GuideCorrection, OffsetsShowNoNegativeZero)
{
    const std::pair<double, const char*> cases[] = {
        { -0.04, "0.0" }, { -0.0, "0.0" }, { 0.04, "0.0" }, { -0.05001, "-0.1" }, { -1.26, "-1.3" }, { 63.9, "63.9" },
    };
    for (const auto& [value, text] : cases)
        EXPECT_EQ(offset_text(value), text) << value;
}

TEST(GuideCorrection, ErrorsFromTheCentroidAgainstTheReference)
{
    guide_x1 = guide_y1 = 64;
    // 63.9 against 64.0: x3 = 1000 - 900.
    GuideCorrection got = guide_correction(63, 9, 65, 0);
    EXPECT_EQ(got.x3, 100);
    EXPECT_EQ(got.y3, -1000);
    EXPECT_EQ(x3, 0); // the step leaves the shown errors to its driver
    EXPECT_EQ(got.dec.direction, 's');
    EXPECT_EQ(got.dec.ms, 500);
    // A star forty pixels away wraps in 16 bits, like the shown errors,
    // and is then far over the jump limit.
    got = guide_correction(64 - 40, 0, 64, 0);
    EXPECT_EQ(got.x3, static_cast<short>(40000));
    EXPECT_TRUE(got.skipped);
}

TEST(GuiderTraining, ReplaysATraceToRatesAndBacklash)
{
    // Two-second training: north twice by 8 and 8 lines, south by 6 (2 lost
    // to backlash) and 8; east by 10 and 12 pixels, west by 9 and 11.
    GuiderTraining t(64, 64, 2, 0, 3);
    const char expected_dirs[] = { 'n', 'n', 's', 's', 'e', 'e', 'w', 'w' };
    const int positions[8][2]
        = { { 64, 72 }, { 64, 80 }, { 64, 74 }, { 64, 66 }, { 74, 66 }, { 86, 66 }, { 77, 66 }, { 66, 66 } };
    for (int i = 0; i < 8; ++i) {
        ASSERT_FALSE(t.done());
        const GuidePulse move = t.next_move();
        EXPECT_EQ(move.direction, expected_dirs[i]);
        // Training subtracts a hundred times the hysteresis from its moves.
        EXPECT_EQ(move.ms, i < 4 ? 2000 - 300 : 2000);
        t.measured(positions[i][0], positions[i][1]);
        EXPECT_EQ(t.search_x(), positions[i][0]);
        EXPECT_EQ(t.search_y(), positions[i][1]);
    }
    EXPECT_TRUE(t.done());
    const TrainingResult r = t.result();
    EXPECT_EQ(r.slewx, (12 + 11) / 4);
    EXPECT_EQ(r.backlashx, (std::abs(64 - 66) + std::abs(74 - 77)) / 4);
    EXPECT_EQ(r.slewy, 8 / 2); // the larger unopposed move, not the mean
    EXPECT_EQ(r.backlashy, 2 / 2);
    EXPECT_EQ(t.ys[0], 64);
    EXPECT_EQ(t.xs[0], 64);
}

// What guiding shows and keeps, end to end on the simulated camera and
// telescope on the manual clock: the guide frames' records and the graph's
// figures, the guide log read back, the wait for a star behind a cloud, and
// dithering between self-guided frames.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "app/state.h"
#include "camera/exposure_loop.h"
#include "camera/usb.h"
#include "sim/in_process_port.h"
#include "sim/sim.h"
#include "sim/simulated_mount.h"
#include "sim/sky_model_sky.h"
#include "store/autosave.h"
#include "store/buffers.h"
#include "store/text_settings.h"
#include "telescope/cloud_wait.h"
#include "telescope/dither.h"
#include "telescope/guide_log.h"
#include "telescope/guide_stats.h"
#include "telescope/guide_telescope.h"
#include "telescope/guiding.h"
#include "telescope/telescope_control.h"
#include "sim_scenes.h"
#include "test_env.h"

namespace {

// A guide star where the guide frame's origin is aligned for the camera's
// window, and a mount guiding at 5 columns and 7 rows a second.
constexpr double star_x = 376.0, star_y = 288.0;

struct Rig {
    sim::SkyModel sky { empty_sky() };
    sim::SimCamera camera { sky, sensor_without_hot_pixels() };
    sim::SkyModelSky mount_sky { sky }; // the mount moves the sky the camera renders
    sim::SimulatedMount mount { mount_sky };
    sim::InProcessSerialPort port { mount };
    TestHost host { test_env().clock };

    explicit Rig(double star_flux = 60000)
    {
        set_host(&host);
        set_camera_transport(&camera);
        set_serial_port(&port);
        USBHid::CollectingUSBHidInfo(nullptr);
        mount.set_guide_rate(5.0, 7.0);
        sky.place_star(star_x, star_y, star_flux);
        telescope = 'l';
        exp_range = 't';
        exp_value = 5;
        max_stretch = 1;
        slewx = 5;
        slewy = 3;
        picked_star = 1;
        pick_xcent = static_cast<int>(star_x);
        pick_ycent = static_cast<int>(star_y);
        xcent = pick_xcent / 2;
        ycent = pick_ycent / 2;
    }
    ~Rig()
    {
        set_serial_port(nullptr);
        set_camera_transport(nullptr);
        set_host(&test_env().host);
    }
    std::vector<std::string> box_texts() const
    {
        std::vector<std::string> texts;
        for (const RecordedBox& b : host.boxes)
            texts.push_back(b.text);
        return texts;
    }
};

// Everything guiding publishes, with the graph's model fed as the window
// feeds it.
class Recorder : public GuideObserver {
public:
    std::vector<GuideRunInfo> runs;
    std::vector<GuideRecord> frames;
    std::vector<GuideEvent> events;
    int ended = 0;
    GuideGraphModel model;
    std::function<void(const GuideEvent&)> on_event;

    void guide_run_started(const GuideRunInfo& info) override
    {
        runs.push_back(info);
        model.clear();
    }
    void guide_frame(const GuideRecord& r) override
    {
        frames.push_back(r);
        model.add(r);
    }
    void guide_event(const GuideEvent& e) override
    {
        events.push_back(e);
        if (on_event)
            on_event(e);
    }
    void guide_run_ended() override { ++ended; }

    int count(GuideEventKind kind) const
    {
        return static_cast<int>(
            std::count_if(events.begin(), events.end(), [kind](const GuideEvent& e) { return e.kind == kind; }));
    }
};

ManualClock& manual_clock()
{
    return test_env().clock;
}

std::vector<std::string> split(const std::string& line)
{
    std::vector<std::string> fields;
    std::stringstream in(line);
    std::string field;
    while (std::getline(in, field, ','))
        fields.push_back(field);
    if (!line.empty() && line.back() == ',')
        fields.emplace_back();
    return fields;
}

// The guide log as a script reads it: header lines by key, rows by column.
struct ParsedLog {
    std::vector<std::vector<std::string>> header;
    std::vector<std::string> columns;
    std::vector<std::vector<std::string>> rows;
    std::string value(const std::vector<std::string>& row, const std::string& column) const
    {
        const auto at = std::find(columns.begin(), columns.end(), column) - columns.begin();
        return static_cast<std::size_t>(at) < row.size() ? row[at] : std::string();
    }
    const std::vector<std::string>* header_line(const std::string& key) const
    {
        for (const auto& h : header)
            if (!h.empty() && h[0] == "# " + key)
                return &h;
        return nullptr;
    }
};

std::vector<std::string> log_files()
{
    std::vector<std::string> files;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(test_env().home + "/logs", ec))
        files.push_back(entry.path().string());
    std::sort(files.begin(), files.end());
    return files;
}

ParsedLog parse_log(const std::string& path)
{
    ParsedLog log;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("#", 0) == 0)
            log.header.push_back(split(line));
        else if (log.columns.empty())
            log.columns = split(line);
        else
            log.rows.push_back(split(line));
    }
    return log;
}

// RMS figures of the log's guide rows in [first, last).
GuideFigures rms_of_rows(const ParsedLog& log, std::size_t first, std::size_t last)
{
    GuideSums sums;
    for (std::size_t i = first; i < last; ++i)
        if (log.rows[i][1] == "guide")
            sums.add(std::stod(log.value(log.rows[i], "dx_px")), std::stod(log.value(log.rows[i], "dy_px")));
    return sums.figures();
}

} // namespace

TEST(GuideWatch, FiguresAndPatternsHoldTheirBounds)
{
    // A 3-4-5 triangle: RMS 5 in all, 3 and 4 per axis.
    GuideSums sums;
    sums.add(3, 4);
    sums.add(-3, -4);
    EXPECT_DOUBLE_EQ(sums.figures().rms, 5.0);
    EXPECT_DOUBLE_EQ(sums.figures().rms_x, 3.0);
    EXPECT_DOUBLE_EQ(sums.figures().peak, 5.0);

    // The ring keeps the last 400 frames; the window's figures are theirs
    // alone, while skipped and paused frames count for neither.
    GuideGraphModel model;
    for (int i = 0; i < 450; ++i) {
        GuideRecord r;
        r.frame = i + 1;
        r.dx = i < 400 ? 1.0 : 0.5;
        r.skipped = i == 420;
        r.paused = i == 430;
        model.add(r);
    }
    EXPECT_EQ(model.size(), 400);
    EXPECT_EQ(model.total_frames(), 450);
    EXPECT_EQ(model.record(0).frame, 51);
    EXPECT_EQ(model.since_start().frames, 448);
    EXPECT_EQ(model.over_last(50).frames, 48);
    EXPECT_DOUBLE_EQ(model.over_last(50).rms, 0.5);
    EXPECT_NEAR(model.since_start().rms, std::sqrt((400 + 48 * 0.25) / 448), 1e-12);

    // Fifty dithers of each size stay within the bound, each moving the
    // reference visibly from the last.
    for (double size : { 0.5, 1.5, 4.0 })
        for (std::uint64_t seed : { 1u, 7u, 12345u }) {
            DitherPattern pattern(size, seed);
            double px = 0, py = 0, smallest_move = 1e9;
            for (int i = 0; i < 50; ++i) {
                double x = 0, y = 0;
                pattern.next(x, y);
                EXPECT_LE(std::hypot(x, y), pattern.bound()) << size << " " << seed;
                smallest_move = std::min(smallest_move, std::hypot(x - px, y - py));
                px = x;
                py = y;
            }
            EXPECT_GT(smallest_move, 0.0);
        }

    // Settling needs its frames in a row under the threshold.
    SettleTracker settle(0.3, 3);
    for (auto [dx, expected] : std::vector<std::pair<double, bool>> {
             { 0.1, false }, { 0.2, false }, { 0.5, false }, { 0.1, false }, { 0.29, false }, { 0.0, true } })
        EXPECT_EQ(settle.add(dx, 0), expected) << dx;

    // The cloud wait: paused, waiting, back; and given up past the wait.
    using V = CloudWait::Verdict;
    CloudWait cloud;
    const std::vector<std::tuple<bool, std::int64_t, V>> steps = { { false, 0, V::clear }, { true, 1000, V::paused },
        { true, 30000, V::waiting }, { false, 31000, V::resumed }, { true, 40000, V::paused },
        { true, 100000, V::waiting }, { true, 100001, V::gave_up } };
    for (const auto& [gone, at, verdict] : steps)
        EXPECT_EQ(cloud.check(gone, at, 60), verdict) << at;
    EXPECT_EQ(cloud.check(true, 0, 0), V::gave_up);
}

TEST(GuideWatch, TheGuideLogReadsBackAsTheGraphShowsIt)
{
    Rig rig;
    set_text_setting("focal_length", 1000.0);
    rig.sky.set_drift(0.5, 0.3);
    rig.sky.set_seeing_jitter(0.2);
    Recorder recorder;
    ScopedGuideObserver watching(recorder);
    int updates = 0;
    rig.host.on_info_update = [&] {
        if (++updates == 120)
            rig.host.press_key_at(manual_clock().now_ms());
    };
    start_guiding();
    ASSERT_EQ(recorder.runs.size(), 1u);
    EXPECT_EQ(recorder.ended, 1);
    ASSERT_GE(recorder.model.total_frames(), 120);

    const auto files = log_files();
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(std::filesystem::path(files[0]).filename().string(), guide_log_name(manual_clock().local));
    const ParsedLog log = parse_log(files[0]);
    // The header: the guide frame's scale (a column across, a field line of
    // two rows down) and the training results in force.
    const auto* scale = log.header_line("image_scale_arcsec_per_px");
    ASSERT_NE(scale, nullptr);
    ASSERT_EQ(scale->size(), 3u);
    EXPECT_NEAR(std::stod((*scale)[1]), 206.264806 * 8.6 / 1000, 1e-4);
    EXPECT_NEAR(std::stod((*scale)[2]), 206.264806 * 16.6 / 1000, 1e-4);
    const auto* training = log.header_line("training");
    ASSERT_NE(training, nullptr);
    EXPECT_EQ((*training)[1], "slewx=5");
    EXPECT_EQ((*training)[2], "slewy=3");

    ASSERT_EQ(log.columns.size(), 12u);
    std::size_t guide_rows = 0;
    for (const auto& row : log.rows) {
        EXPECT_EQ(row.size(), log.columns.size());
        guide_rows += row[1] == "guide";
    }
    EXPECT_EQ(guide_rows, static_cast<std::size_t>(recorder.model.since_start().frames));
    const GuideFigures from_log = rms_of_rows(log, 0, log.rows.size());
    const GuideFigures shown = recorder.model.since_start();
    EXPECT_GT(shown.rms, 0.05);
    EXPECT_NEAR(from_log.rms, shown.rms, 1e-9);
    EXPECT_NEAR(from_log.rms_x, shown.rms_x, 1e-9);
    EXPECT_NEAR(from_log.rms_y, shown.rms_y, 1e-9);
    EXPECT_NEAR(from_log.peak, shown.peak, 1e-9);
    // The window's figures: its last 50 frames.
    EXPECT_NEAR(rms_of_rows(log, log.rows.size() - 50, log.rows.size()).rms, recorder.model.over_last(50).rms, 1e-9);
    // Corrections go the way that takes the error back: RA east for a star
    // west of its place.
    int agree = 0, pulses = 0;
    for (const GuideRecord& r : recorder.frames)
        if (r.ra_ms != 0) {
            ++pulses;
            agree += (r.ra_ms > 0) == (r.dx < 0);
        }
    EXPECT_GT(pulses, 20);
    EXPECT_EQ(agree, pulses);
}

TEST(GuideWatch, GuidingWaitsForAStarBehindAPassingCloud)
{
    struct Case {
        const char* what;
        int cloud_s;
        bool ends;
    };
    for (const Case c : { Case { "a 30 s cloud", 30, false }, Case { "a 90 s cloud", 90, true } }) {
        SCOPED_TRACE(c.what);
        reset_program_state();
        Rig rig;
        rig.sky.set_drift(0.03, 0.02);
        Recorder recorder;
        ScopedGuideObserver watching(recorder);
        int updates = 0, after_clear = 0;
        std::int64_t fade_at = -1, clear_at = -1;
        std::size_t sent_at_fade = 0, sent_at_clear = 0;
        rig.host.on_info_update = [&] {
            const std::int64_t now = manual_clock().now_ms();
            if (++updates == 20) {
                fade_at = now;
                sent_at_fade = rig.port.sent().size();
                rig.sky.set_transparency(0.1);
            } else if (fade_at >= 0 && clear_at < 0 && now - fade_at >= c.cloud_s * 1000) {
                clear_at = now;
                sent_at_clear = rig.port.sent().size();
                rig.sky.set_transparency(1);
            } else if (clear_at >= 0 && ++after_clear == 40) {
                rig.host.press_key_at(now);
            }
            if (updates == 1000)
                rig.host.press_key_at(now);
        };
        start_guiding();
        ASSERT_GE(fade_at, 0);
        EXPECT_EQ(recorder.count(GuideEventKind::cloud_pause), 1);
        // How long the paused frames lasted.
        std::int64_t first_paused = -1, last_paused = -1;
        for (const GuideRecord& r : recorder.frames)
            if (r.paused) {
                if (first_paused < 0)
                    first_paused = r.time_ms;
                last_paused = r.time_ms;
            }
        const auto texts = rig.box_texts();
        ASSERT_FALSE(texts.empty());
        EXPECT_EQ(texts.back(), "Guiding Terminated");
        if (c.ends) {
            // The wait ran out: today's end, a minute after the star faded.
            EXPECT_LT(clear_at, 0);
            EXPECT_EQ(recorder.count(GuideEventKind::cloud_gave_up), 1);
            ASSERT_EQ(texts.size(), 2u);
            EXPECT_EQ(texts[0], "Sorry, Nothing found to centre on - exposure continuing");
            EXPECT_GE(manual_clock().now_ms() - fade_at, 60000);
            EXPECT_LE(manual_clock().now_ms() - fade_at, 62000);
            EXPECT_EQ(rig.port.sent().size(), sent_at_fade);
        } else {
            // Paused without a correction, then guiding on: the star held.
            EXPECT_EQ(recorder.count(GuideEventKind::cloud_resume), 1);
            EXPECT_EQ(texts.size(), 1u);
            EXPECT_EQ(sent_at_clear, sent_at_fade);
            EXPECT_GE(last_paused - first_paused, (c.cloud_s - 2) * 1000);
            EXPECT_LE(last_paused - first_paused, c.cloud_s * 1000);
            EXPECT_EQ(after_clear, 40);
            const GuideRecord& last = recorder.frames.back();
            EXPECT_FALSE(last.paused);
            EXPECT_LT(std::hypot(last.dx, last.dy), 0.5);
            EXPECT_LT(recorder.model.over_last(20).rms, 0.5);
        }
        for (const GuideRecord& r : recorder.frames)
            if (r.paused) {
                EXPECT_EQ(r.ra_ms, 0);
                EXPECT_EQ(r.dec_ms, 0);
            }
    }
}

namespace {
// The brightest pixel near (x, y) of the full frame.
void brightest_near(const unsigned short* frame, int x, int y, int r, int& bx, int& by)
{
    bx = x;
    by = y;
    for (int j = y - r; j <= y + r; ++j)
        for (int k = x - r; k <= x + r; ++k)
            if (frame[j * 752 + k] > frame[by * 752 + bx])
                bx = k, by = j;
}

// RMS radius of the star's core: the light above a tenth of the peak over
// the median of a 41 x 41 box.
double star_width(const unsigned short* frame, int cx, int cy)
{
    std::vector<double> box;
    for (int y = cy - 20; y <= cy + 20; ++y)
        for (int x = cx - 20; x <= cx + 20; ++x)
            box.push_back(frame[y * 752 + x]);
    std::vector<double> sorted = box;
    std::nth_element(sorted.begin(), sorted.begin() + sorted.size() / 2, sorted.end());
    const double cut = sorted[sorted.size() / 2] * 0.9 + *std::max_element(box.begin(), box.end()) * 0.1;
    double w = 0, sx = 0, sy = 0, sxx = 0, syy = 0;
    for (int j = 0; j < 41; ++j)
        for (int k = 0; k < 41; ++k)
            if (const double v = box[j * 41 + k] - cut; v > 0)
                w += v, sx += v * k, sy += v * j, sxx += v * k * k, syy += v * j * j;
    return std::sqrt(sxx / w - (sx / w) * (sx / w) + syy / w - (sy / w) * (sy / w));
}

struct SelfGuidedRun {
    Recorder recorder;
    std::vector<std::pair<double, double>> offsets_at_start; // the sky's offset as each exposure starts
    double width = 0; // of the star in the last frame
    std::vector<std::string> boxes;
};

// A run of `frames` self-guided exposures of `seconds` each, on half-second
// guide frames through the control box, auto-saved one by one.
void self_guided_run(SelfGuidedRun& out, int frames, int seconds, bool dither, bool high)
{
    reset_program_state();
    Rig rig(high ? 4000 : 60000);
    rig.sky.set_drift(0.2, 0.1);
    rig.sky.set_seeing_jitter(0.05);
    telescope = 'b';
    set_text_setting_bool("dither", dither);
    set_text_setting("dither_px", 1.5);
    set_text_setting("dither_settle_px", 0.4);
    binned = high ? 0 : 1;
    highres_nonintl = high ? 1 : 0;
    ScopedGuideObserver watching(out.recorder);
    out.recorder.on_event = [&](const GuideEvent& e) {
        if (e.kind == GuideEventKind::exposure_start)
            out.offsets_at_start.emplace_back(rig.sky.offset_x(), rig.sky.offset_y());
    };
    // The window's showing of a frame auto-saves it.
    rig.host.on_show_frame = [] { auto_save(image); };
    auto_save_fits = 1;
    CameraDialogScope dialog([frames, seconds, high] {
        selfguiding = 1;
        selfguiding_exp_range = 't';
        selfguiding_exp_value = 5;
        selfguidinghigh = high ? 1 : 0;
        switch_frame = 0;
        no_images = frames;
        exp_range = 's';
        exp_value = seconds;
        return 1;
    });
    run_camera_command();
    out.boxes = rig.box_texts();
    int bx = 0, by = 0;
    brightest_near(image_int, static_cast<int>(star_x + rig.sky.offset_x()),
        static_cast<int>(star_y + rig.sky.offset_y()), 8, bx, by);
    out.width = star_width(image_int, bx, by);
}
} // namespace

TEST(GuideWatch, DitheredSelfGuidedFramesStartOnlyOnceSettled)
{
    SelfGuidedRun run;
    const int frames = 12;
    self_guided_run(run, frames, 2, true, false);
    for (const std::string& box : run.boxes)
        ADD_FAILURE() << box;
    const Recorder& r = run.recorder;
    ASSERT_EQ(r.runs.size(), 1u);
    EXPECT_TRUE(r.runs[0].dither);
    EXPECT_EQ(r.ended, 1);
    ASSERT_EQ(r.count(GuideEventKind::exposure_start), frames);
    EXPECT_EQ(r.count(GuideEventKind::dither), frames - 1);
    EXPECT_EQ(r.count(GuideEventKind::settled), frames - 1);
    EXPECT_EQ(r.count(GuideEventKind::settle_timeout), 0);
    EXPECT_EQ(r.count(GuideEventKind::exposure_end), frames);

    // Each exposure after the first: a dither, then settling, then the
    // exposure, with the star's last guide frames under the threshold and
    // the sky moved by the dither from where the first exposure began.
    const double bound = DitherPattern(1.5).bound();
    std::size_t next_frame = 0;
    int exposures = 0;
    double dither_x = 0, dither_y = 0;
    bool dithered = false, settled = false;
    for (const GuideEvent& e : r.events) {
        while (next_frame < r.frames.size() && r.frames[next_frame].time_ms <= e.time_ms)
            ++next_frame;
        if (e.kind == GuideEventKind::dither) {
            EXPECT_LE(std::hypot(e.x, e.y), bound);
            dither_x = e.x;
            dither_y = e.y;
            dithered = true;
            settled = false;
        } else if (e.kind == GuideEventKind::settled) {
            EXPECT_TRUE(dithered);
            ASSERT_GE(next_frame, 3u);
            for (std::size_t i = next_frame - 3; i < next_frame; ++i)
                EXPECT_LT(std::hypot(r.frames[i].dx, r.frames[i].dy), 0.4) << i;
            settled = true;
        } else if (e.kind == GuideEventKind::exposure_start) {
            if (exposures > 0) {
                EXPECT_TRUE(dithered && settled) << exposures;
                // Guide-frame pixels: a column across, a field line of two
                // sensor rows down.
                const auto& first = run.offsets_at_start[0];
                const auto& now = run.offsets_at_start[exposures];
                EXPECT_NEAR(now.first - first.first, std::round(dither_x * 10) / 10, 0.45) << exposures;
                EXPECT_NEAR((now.second - first.second) / 2, std::round(dither_y * 10) / 10, 0.45) << exposures;
            }
            ++exposures;
            dithered = settled = false;
        }
    }

    // The log: a dither, settling and each exposure with its file and its
    // RMS, which is the RMS of the guide frames between its two lines.
    const auto files = log_files();
    ASSERT_EQ(files.size(), 1u);
    const ParsedLog log = parse_log(files[0]);
    int saved = 0;
    std::size_t start_row = 0;
    for (std::size_t i = 0; i < log.rows.size(); ++i) {
        const std::string event = log.rows[i][1];
        if (event == "exposure_start") {
            start_row = i;
            EXPECT_EQ(log.value(log.rows[i], "file"), "IMG" + std::to_string(saved + 1) + ".FIT");
        } else if (event == "exposure_end") {
            ++saved;
            EXPECT_EQ(log.value(log.rows[i], "file"), "IMG" + std::to_string(saved) + ".FIT");
            EXPECT_NEAR(std::stod(log.value(log.rows[i], "rms_px")), rms_of_rows(log, start_row, i).rms, 0.0006);
        }
    }
    EXPECT_EQ(saved, frames);
    EXPECT_EQ(std::count_if(log.rows.begin(), log.rows.end(), [](const auto& row) { return row[1] == "settled"; }),
        frames - 1);
}

TEST(GuideWatch, DitheredSelfGuidedStarsAreAsRoundAsUndithered)
{
    SelfGuidedRun still, dithered;
    self_guided_run(still, 2, 20, false, true);
    self_guided_run(dithered, 2, 20, true, true);
    for (const std::string& box : still.boxes)
        ADD_FAILURE() << box;
    for (const std::string& box : dithered.boxes)
        ADD_FAILURE() << box;
    EXPECT_EQ(dithered.recorder.count(GuideEventKind::dither), 1);
    std::printf("20 s self-guided high-resolution frame, star core RMS radius: %.2f px undithered, %.2f px "
                "dithered\n",
        still.width, dithered.width);
    EXPECT_NEAR(dithered.width, still.width, 0.1 * still.width);
}

TEST(GuideWatch, AKeyWhileSettlingStopsTheRun)
{
    reset_program_state();
    Rig rig;
    telescope = 'b';
    set_text_setting_bool("dither", true);
    Recorder recorder;
    ScopedGuideObserver watching(recorder);
    recorder.on_event = [&](const GuideEvent& e) {
        if (e.kind == GuideEventKind::dither)
            rig.host.press_key_at(manual_clock().now_ms());
    };
    CameraDialogScope dialog([] {
        selfguiding = 1;
        selfguiding_exp_range = 't';
        selfguiding_exp_value = 5;
        no_images = 5;
        exp_range = 's';
        exp_value = 2;
        return 1;
    });
    run_camera_command();
    EXPECT_EQ(recorder.count(GuideEventKind::dither), 1);
    EXPECT_EQ(recorder.count(GuideEventKind::exposure_start), 1);
    EXPECT_EQ(recorder.count(GuideEventKind::settled), 0);
    EXPECT_EQ(recorder.ended, 1);
    EXPECT_EQ(rig.box_texts(), std::vector<std::string> { "Self-guiding stopped - exposure abandoned" });
}

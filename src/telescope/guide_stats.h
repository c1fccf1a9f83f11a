// Figures of guiding quality: RMS of each axis and in all, the peak error
// and the frame count, kept as running sums so that adding a frame costs the
// same however long the run. The graph keeps the last frames in a ring
// for its window; the log keeps sums per exposure.
#pragma once

#include <cstddef>
#include <vector>

#include "telescope/guide_record.h"

struct GuideFigures {
    int frames = 0; // measured frames
    double rms_x = 0, rms_y = 0, rms = 0; // pixels, about the reference
    double peak = 0; // largest distance from the reference, pixels
};

// Running sums of measured frames.
class GuideSums {
public:
    void add(double dx, double dy);
    void clear() { *this = GuideSums(); }
    GuideFigures figures() const;

private:
    int n_ = 0;
    double sxx_ = 0, syy_ = 0, peak_ = 0;
};

// The graph's model: every frame since the run started in sums, the last
// `capacity` frames kept whole.
class GuideGraphModel {
public:
    static constexpr int capacity = 400;
    // The choices of the shown span.
    static constexpr int spans[] = { 50, 100, 200, 400 };

    void clear();
    // Arcseconds per pixel of the run's guide frames (unknown: figures in
    // arcseconds are those in pixels).
    void set_scale(const ImageScale& scale) { scale_ = scale; }
    const ImageScale& scale() const { return scale_; }
    void add(const GuideRecord& record);

    // Frames held (at most capacity); record(0) is the oldest held.
    int size() const { return static_cast<int>(count_); }
    const GuideRecord& record(int i) const;
    // Frames ever added since the run started.
    int total_frames() const { return added_; }

    GuideFigures since_start(bool arcsec = false) const { return (arcsec ? all_arcsec_ : all_).figures(); }
    // Over the last `span` frames held.
    GuideFigures over_last(int span, bool arcsec = false) const;

private:
    double sx() const { return scale_.known() ? scale_.x : 1; }
    double sy() const { return scale_.known() ? scale_.y : 1; }

    std::vector<GuideRecord> ring_ = std::vector<GuideRecord>(capacity);
    std::size_t head_ = 0, count_ = 0; // head_: where the next record goes
    int added_ = 0;
    GuideSums all_, all_arcsec_;
    ImageScale scale_;
};

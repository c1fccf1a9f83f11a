// The drawing maths of the histogram, 3-D relief and row profile windows,
// in the windows' own pixel coordinates (y grows downward).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct PlotLine {
    int x0, y0, x1, y1;
};

// ---------------------------------------------------------------- histogram
// One bar per display level: it stands on y = 210 at x = level + 8.
struct HistogramBar {
    int x;
    int top; // 210 - height, height at most 210 (one pixel per 5 counts)
    bool clipped; // taller than the window: drawn in red
};
constexpr int histogram_listed_max = 15;

std::vector<HistogramBar> histogram_bars(const std::uint32_t* levels);
// The text listed beside the histogram: "val   count" and the first 15
// clipped levels with their counts rounded down to a multiple of 5.
std::string histogram_listing(const std::uint32_t* levels);
// The blue axes and ticks.
std::vector<PlotLine> histogram_axes();

// ---------------------------------------------------------------- 3-D relief
constexpr int relief_width = 644;
constexpr int relief_height = 384;
constexpr int relief_first_row = 6;
constexpr int relief_last_row = 127;
// 8-bit grey levels of the relief bitmap.
constexpr unsigned char relief_white = 255;
constexpr unsigned char relief_light_grey = 192;
constexpr unsigned char relief_grey = 128;

// The relief bitmap: relief_width x relief_height bytes, row-major.
std::vector<unsigned char> relief_blank();
// Draws plot row r (relief_first_row .. relief_last_row) of `frame` (read
// with a row stride of 752 whatever the geometry) into `bitmap`.
// `previous` is the last level drawn, carried from row to row (0 at start).
void relief_draw_row(unsigned char* bitmap, const unsigned short* frame, int r, int& previous);
// Draws a line from (x0, y0) up to, not including, (x1, y1), clipped to the
// bitmap.
void relief_line(unsigned char* bitmap, int x0, int y0, int x1, int y1, unsigned char level);

// ---------------------------------------------------------------- row profile
struct PlotPoint {
    int x, y;
};
// The profile polyline of row `row` of a frame `width` samples wide: from
// (4, 198) through (c + 5, 198 - sample / 384) for every column c.
std::vector<PlotPoint> row_profile(const unsigned short* frame, int row, int width);

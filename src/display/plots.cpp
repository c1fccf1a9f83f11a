#include "display/plots.h"

#include <cstdio>
#include <cstdlib>

namespace {
constexpr int bar_base = 210;
constexpr int counts_per_pixel = 5;
constexpr int relief_stride = 752;
constexpr int relief_base = 186;
constexpr int relief_left = 130;
constexpr int sample_per_level = 384; // 65535 / 384 = 170 pixels at most
} // namespace

std::vector<HistogramBar> histogram_bars(const std::uint32_t* levels)
{
    std::vector<HistogramBar> bars;
    bars.reserve(256);
    for (int i = 0; i < 256; ++i) {
        std::uint32_t h = levels[i] / counts_per_pixel;
        const bool clipped = h > bar_base;
        if (clipped)
            h = bar_base;
        bars.push_back({ i + 8, bar_base - static_cast<int>(h), clipped });
    }
    return bars;
}

std::string histogram_listing(const std::uint32_t* levels)
{
    std::string text = "val   count\n";
    int listed = 0;
    for (int i = 0; i < 256 && listed < histogram_listed_max; ++i) {
        const std::uint32_t h = levels[i] / counts_per_pixel;
        if (h > bar_base) {
            char line[40];
            std::snprintf(line, sizeof line, "%03d  %6ld\n", i, static_cast<long>(h) * counts_per_pixel);
            text += line;
            ++listed;
        }
    }
    return text;
}

std::vector<PlotLine> histogram_axes()
{
    std::vector<PlotLine> lines = { { 5, 5, 5, 213 }, { 5, 213, 263, 213 }, { 136, 213, 136, 224 } };
    for (int x : { 72, 200 })
        lines.push_back({ x, 213, x, 220 });
    for (int x : { 40, 104, 168, 232, 264 })
        lines.push_back({ x, 213, x, 217 });
    return lines;
}

std::vector<unsigned char> relief_blank()
{
    return std::vector<unsigned char>(static_cast<std::size_t>(relief_width) * relief_height, relief_white);
}

void relief_line(unsigned char* bitmap, int x0, int y0, int x1, int y1, unsigned char level)
{
    // Bresenham; the end point is left for the next segment, as a pen that
    // moves from point to point draws it.
    const int dx = std::abs(x1 - x0), sx = x0 < x1 ? 1 : -1;
    const int dy = -std::abs(y1 - y0), sy = y0 < y1 ? 1 : -1;
    int err = dx + dy;
    int x = x0, y = y0;
    while (x != x1 || y != y1) {
        if (x >= 0 && x < relief_width && y >= 0 && y < relief_height)
            bitmap[y * relief_width + x] = level;
        const int e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y += sy;
        }
    }
}

void relief_draw_row(unsigned char* bitmap, const unsigned short* frame, int r, int& previous)
{
    const int xoff = relief_left - (r - relief_first_row);
    int px = xoff, py = relief_base + r;
    for (int c = 0; c < 376; ++c) {
        const int v = frame[r * relief_stride + c] / sample_per_level;
        const int x = xoff + c;
        const int y = relief_base - v + r;
        relief_line(bitmap, px, py, x, y, v > previous ? relief_light_grey : relief_grey);
        px = x;
        py = y;
        previous = v;
    }
}

std::vector<PlotPoint> row_profile(const unsigned short* frame, int row, int width)
{
    std::vector<PlotPoint> points;
    points.reserve(static_cast<std::size_t>(width) + 1);
    points.push_back({ 4, 198 });
    for (int c = 0; c < width; ++c)
        points.push_back({ c + 5, 198 - frame[row * width + c] / sample_per_level });
    return points;
}

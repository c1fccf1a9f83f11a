#include "processing/centroid.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>

#include "app/host.h"
#include "app/messages.h"
#include "app/state.h"
#include "store/buffers.h"

namespace {
constexpr int histogram_bins = 4096;
constexpr int largest_window = 1600; // room for 31 x 31 and then some

// Fixed work areas: the routine runs once per guide frame and never allocates.
std::uint32_t table1[histogram_bins];
std::uint32_t vals1[largest_window];

const char* const outside_caption = "Quillon  - Find Centre";
const char* const centre_caption = "QUILLON  - Find Centre";

void report_nothing_found()
{
    if (!selfguiding)
        host().message_box("Sorry, Nothing found to centre on - exposure continuing", centre_caption);
}
} // namespace

unsigned short background_for_mode_bin(int m)
{
    // 16.32 spreads the top of the scale; a window whose mode is the top bin
    // is saturated, so its background is the top of the scale.
    float level;
    if (m < 4015)
        level = static_cast<float>(m) * 16.32f;
    else if (m < histogram_bins - 1)
        level = static_cast<float>(m) * 16.0f;
    else
        level = 65535.0f;
    return static_cast<unsigned short>(static_cast<std::int32_t>(level));
}

namespace {
// True when the (sw x sw) window at (x0, y0) fits the frame and the work areas.
bool window_fits(int rad, int sw, int x0, int y0, int startx, int starty, int stride, int height)
{
    return rad >= 0 && sw * sw <= largest_window && x0 >= 0 && y0 >= 0 && startx + rad + 1 <= stride
        && starty + rad + 1 <= height;
}

// Copies the window into vals1 (row by row) and its histogram of 16-level
// bins into table1; returns the window's peak.
std::uint32_t copy_window(const unsigned short* frame, int stride, int x0, int y0, int sw)
{
    std::fill(std::begin(table1), std::end(table1), 0u);
    std::uint32_t peak = 0;
    int count = 0;
    for (int y = y0; y < y0 + sw; ++y) {
        for (int x = x0; x < x0 + sw; ++x) {
            const std::uint32_t v = frame[y * stride + x];
            ++table1[v / 16];
            vals1[count++] = v;
            if (v > peak)
                peak = v;
        }
    }
    return peak;
}

// The background: the level of table1's most common bin (the lowest of equals).
std::uint32_t window_background()
{
    int m = 0;
    for (int bin = 1; bin < histogram_bins; ++bin)
        if (table1[bin] > table1[m])
            m = bin;
    return background_for_mode_bin(m);
}

// Scales the window in vals1 so its peak stands 65535 above the background
// (which goes to 0); returns the scaled window's mean.
std::int64_t lift_above_background(int sw, std::uint32_t peak, std::uint32_t bg)
{
    const std::uint32_t mult = 65535u / (peak - bg);
    std::int64_t sum = 0;
    for (int i = 0; i < sw * sw; ++i) {
        const std::uint32_t v = vals1[i] > bg ? vals1[i] - bg : 0u;
        vals1[i] = v * mult;
        sum += vals1[i];
    }
    return sum / (sw * sw);
}

// Sums of what stands above the mean, and its first moments in x and y
// (window coordinates). They start at 1 so an empty window cannot divide by
// zero: wsum == 1 means nothing stood above the mean.
struct Moments {
    std::int64_t wsum = 1, wx = 1, wy = 1;
};

Moments moments_above(int sw, std::int64_t avg)
{
    Moments m;
    for (int j = 0; j < sw; ++j) {
        for (int k = 0; k < sw; ++k) {
            const std::int64_t d = static_cast<std::int64_t>(vals1[j * sw + k]) - avg;
            if (d > 0) {
                m.wsum += d;
                m.wx += d * k;
                m.wy += d * j;
            }
        }
    }
    return m;
}

// Sets xcent, ycent (frame pixels) from the moments; while guiding finely
// the tenths go to xcentdec, ycentdec, otherwise the centre is rounded.
void set_centre(const Moments& m, int x0, int y0)
{
    const double xf = static_cast<double>(m.wx) / static_cast<double>(m.wsum);
    const double yf = static_cast<double>(m.wy) / static_cast<double>(m.wsum);
    if (ignore_small == 0 && (selfguiding || guiding)) {
        xcent = static_cast<int>(xf);
        ycent = static_cast<int>(yf);
        xcentdec = static_cast<int>(xf * 10.0f) - xcent * 10;
        ycentdec = static_cast<int>(yf * 10.0f) - ycent * 10;
        xcent += x0;
        ycent += y0;
    } else {
        xcent = static_cast<int>(xf + 0.5) + x0;
        ycent = static_cast<int>(yf + 0.5) + y0;
        xcentdec = ycentdec = 0;
    }
}
} // namespace

int find_centre(int startx, int starty, const unsigned short* frame, int rad)
{
    const int sw = 2 * rad + 1;
    const bool guide_frame = guiding || tracking;
    const int stride = guide_frame ? 128 : width1;
    const int height = guide_frame ? 128 : height1;

    const int x0 = startx - rad;
    const int y0 = starty - rad;
    if (!window_fits(rad, sw, x0, y0, startx, starty, stride, height)) {
        host().message_box("Find centre failed - outside image area", outside_caption);
        return 1;
    }

    const std::uint32_t peak = copy_window(frame, stride, x0, y0, sw);
    const std::uint32_t bg = window_background();
    if (peak <= bg) {
        if (peak > 65000) {
            host().message_box(
                "Sorry, Guide Area Overexposed, unable to find accurate centre", centre_caption);
            return 1;
        }
        report_nothing_found();
        return 0;
    }

    const Moments m = moments_above(sw, lift_above_background(sw, peak, bg));
    if (m.wsum == 1) {
        // Nothing above the window's average: no star, not the window corner.
        report_nothing_found();
        return 0;
    }
    set_centre(m, x0, y0);
    return 0;
}

namespace {
// One axis of the guide frame: the origin and the star's place in the frame.
void place_axis(int pos, int half, int extent, int& origin, int& within)
{
    if (half < pos && pos < extent - half) {
        origin = pos - half;
        within = half;
    } else if (pos <= half) {
        origin = 0;
        within = pos;
    } else {
        origin = extent - 2 * half;
        within = pos - origin;
    }
}
} // namespace

void calc_guideframe()
{
    old_xcent = xcent;
    old_ycent = ycent;
    const int x = pick_xcent;
    const int y = pick_ycent / 2; // half-resolution lines

    int column = 0, line = 0;
    place_axis(x, focus_width1, full_width, focus_x, column);
    place_axis(y, focus_height1, binned_height, focus_y, line);

    // The camera reads the frame from an even column and a line a multiple of
    // ten; the star moves by what the read-out rounds off.
    const int xoffset = focus_x % 2;
    const int yoffset = focus_y % 10;
    xcent = column + xoffset;
    ycent = line - yoffset;
    drawx = xcent;
    drawy = ycent;

    if (Debug_Mode) {
        char text[200];
        std::snprintf(text, sizeof text,
            "xcent=%5d, ycent = %5d, focus_x = %5d, focus_y = %5d,  xoffset = %5d, yoffset = %5d", xcent,
            ycent, focus_x, focus_y, xoffset, yoffset);
        messages(50, text);
    }
    tracking = 1;
}

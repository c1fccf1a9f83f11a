// Unsharp mask, vertical smoothing, gradient removal and the commands' work
// on the global buffers. The convolution engine is in convolution.cpp, the
// median in median.cpp.
#include "processing/filters.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "app/host.h"
#include "app/state.h"
#include "processing/contrast.h"
#include "processing/filter_simd.h"
#include "store/buffers.h"

namespace {
void advance_progress_window()
{
    host().progress_update();
    ++progress;
}

void advance_progress()
{
    ++progress;
}

int first_row_of(const unsigned short* frame)
{
    return frame_labelled(frame) ? 10 : 0;
}

// One row of the unsharp mask: `cols` holds the vertical sums of the box's
// rows for every column; the box sum at x is the sum of 2·rad + 1 of them,
// built in `box` one column offset at a time so the loops vectorise.
QUILLON_CLONES void unsharp_row(const std::int32_t* __restrict cols, const unsigned short* __restrict s,
    unsigned short* __restrict out, std::int32_t* __restrict box, std::int32_t* __restrict scratch, int from,
    int to, int rad, int pwr, double divisor)
{
    const int n = to - from + 1;
    const std::int32_t* first = cols + from - rad;
    // The sum of k = 2·rad + 1 neighbouring columns from sums of 1, 2, 4 and
    // 8 columns, one pass each: a handful of vector passes for any radius.
    const int k = 2 * rad + 1;
    const int span = n + k; // columns any partial sum below may reach
    const std::int32_t* parts[32] = { first };
    int top = 0;
    for (int level = 1, width = 2; width <= k; ++level, width *= 2) {
        top = level;
        std::int32_t* next = scratch + static_cast<std::ptrdiff_t>(level - 1) * span;
        const std::int32_t* prev = parts[level - 1];
        const int half = width / 2;
        const int count = span - width;
        for (int x = 0; x < count; ++x)
            next[x] = prev[x] + prev[x + half];
        parts[level] = next;
    }
    for (int x = 0; x < n; ++x)
        box[x] = 0;
    int offset = 0;
    for (int level = top; level >= 0; --level) {
        if (!(k & (1 << level)))
            continue;
        const std::int32_t* part = parts[level] + offset;
        for (int x = 0; x < n; ++x)
            box[x] += part[x];
        offset += 1 << level;
    }
    const unsigned short* own = s + from;
    unsigned short* dst = out + from;
    // Single precision gives the same truncated mean as the double division
    // while the divisor is at most 225 (radius 7): the sums stay below 2^24
    // and a fraction of at least 1/225 cannot round up to the next integer.
    if (divisor <= 225.0) {
        const auto d = static_cast<float>(divisor);
        for (int x = 0; x < n; ++x) {
            const auto mean = static_cast<std::int32_t>(static_cast<float>(box[x]) / d);
            const std::int32_t p = own[x];
            const std::int32_t v = p + (p - mean) * pwr;
            dst[x] = v > 65280 ? 65535 : (v < 0 ? 0 : static_cast<unsigned short>(v));
        }
        return;
    }
    for (int x = 0; x < n; ++x) {
        const auto mean = static_cast<std::int32_t>(box[x] / divisor);
        const std::int32_t p = own[x];
        const std::int32_t v = p + (p - mean) * pwr;
        dst[x] = v > 65280 ? 65535 : (v < 0 ? 0 : static_cast<unsigned short>(v));
    }
}

QUILLON_CLONES void add_row(std::int32_t* cols, const unsigned short* add, const unsigned short* sub, int n)
{
    for (int x = 0; x < n; ++x)
        cols[x] += static_cast<std::int32_t>(add[x]) - static_cast<std::int32_t>(sub[x]);
}
} // namespace

void unsharp_frame(const unsigned short* src, unsigned short* dst, int width, int height, int first_row,
    int rad, int pwr, RowHook row_hook)
{
    const int y0 = first_row + rad;
    const int y1 = height - rad - 1;
    // The sliding box as defined stops one column short of the convolution's.
    const int x0 = rad;
    const int x1 = width - 2 - rad;
    if (rad < 1 || y0 > y1)
        return;
    // The mean divides by (2·rad + 1)² held as a double.
    const double divisor = std::pow(2.0 * rad + 1.0, 2.0);
    // Running vertical sums: one row added and one removed per output row.
    std::vector<std::int32_t> cols(static_cast<std::size_t>(width), 0);
    std::vector<std::int32_t> box(static_cast<std::size_t>(width), 0);
    int levels = 0;
    while ((2 << levels) <= 2 * rad + 1)
        ++levels;
    std::vector<std::int32_t> scratch(static_cast<std::size_t>(levels) * (width + 2 * rad + 1), 0);
    for (int i = -rad; i <= rad; ++i) {
        const unsigned short* row = src + static_cast<std::ptrdiff_t>(y0 + i) * width;
        for (int x = 0; x < width; ++x)
            cols[x] += row[x];
    }
    for (int y = y0; y <= y1; ++y) {
        if (row_hook)
            row_hook();
        if (y > y0)
            add_row(cols.data(), src + static_cast<std::ptrdiff_t>(y + rad) * width,
                src + static_cast<std::ptrdiff_t>(y - rad - 1) * width, width);
        if (x0 <= x1)
            unsharp_row(cols.data(), src + static_cast<std::ptrdiff_t>(y) * width,
                dst + static_cast<std::ptrdiff_t>(y) * width, box.data(), scratch.data(), x0, x1, rad, pwr,
                divisor);
    }
}

void run_enhance(int rad, int masknum, int divisor)
{
    point_buffers();
    std::snprintf(progress_caption, sizeof progress_caption, "%s", "FILTER PROGRESS");
    host().progress_open();
    backup_image(image, trial);
    const int st = first_row_of(image);
    progress = st + rad;
    if (masknum >= 0 && masknum < 6)
        convolve_frame(
            image, trial, width1, height1, st, rad, mask[masknum], divisor, advance_progress_window);
    copy_image(image, trial);
    host().progress_close();
}

void unsharp_mask(int rad, int pwr)
{
    point_buffers();
    std::snprintf(progress_caption, sizeof progress_caption, "%s", "UNSHARP MASK PROGRESS");
    host().progress_open();
    backup_image(image, trial);
    const int st = first_row_of(image);
    progress = 0;
    unsharp_frame(image, trial, width1, height1, st, rad, pwr, advance_progress_window);
    copy_image(image, trial);
    host().progress_close();
}

void run_median_enhance(unsigned short* fredptr, unsigned short* trialptr, unsigned short* undoptr)
{
    const int st = first_row_of(fredptr);
    undo_image(fredptr, undoptr);
    backup_image(fredptr, trialptr);
    const int rad = std::clamp(static_cast<int>(white), 1, 3);
    // The power is held in single precision: 0.7 is 0.699999988.
    const auto power = static_cast<float>(black * 0.1);
    progress = st + rad;
    median_frame(fredptr, trialptr, width1, height1, st, rad, power, advance_progress);
    copy_image(fredptr, trialptr);
    char text[history_text];
    std::snprintf(
        text, sizeof text, "Median Filter : rad %u ,power %1.1f", static_cast<unsigned>(white), black * 0.1);
    append_history(text);
}

void venetian_blind(unsigned short* fredptr, unsigned short* undoptr)
{
    undo_image(fredptr, undoptr);
    venetian_flipflop = venetian_flipflop ? 0 : 1;
    const int st = first_row_of(fredptr);
    const int w = width1;
    auto pair = [&](int y, int other) {
        unsigned short* out = fredptr + static_cast<std::ptrdiff_t>(y) * w;
        const unsigned short* a = undoptr + static_cast<std::ptrdiff_t>(y) * w;
        const unsigned short* b = undoptr + static_cast<std::ptrdiff_t>(other) * w;
        for (int x = 0; x < w - 1; ++x)
            out[x] = static_cast<unsigned short>((a[x] + b[x]) / 2);
    };
    if (venetian_flipflop == 1) {
        for (int y = st; y <= height1 - 2; ++y)
            pair(y, y + 1);
    } else {
        for (int y = height1 - 1; y >= st + 1; --y)
            pair(y, y - 1);
    }
    append_history("Vertical Smoothing Filter");
}

namespace {
// Mode of sample / 16 over a 40 x 40 box: the first bin with the strictly
// largest count among bins first..4095, `first` when none is occupied.
int box_mode(const unsigned short* frame, int row, int col, int first)
{
    std::vector<int> bins(4096, 0);
    for (int y = row; y < row + 40; ++y)
        for (int x = col; x < col + 40; ++x)
            ++bins[frame[static_cast<std::ptrdiff_t>(y) * width1 + x] >> 4];
    int best = first;
    int best_count = 0;
    for (int k = first; k < 4096; ++k) {
        if (bins[k] > best_count) {
            best_count = bins[k];
            best = k;
        }
    }
    return best;
}
} // namespace

void gradient_filter(unsigned short* fredptr)
{
    const int right = binned ? 320 : 700;
    const int down = binned ? 240 : 520;
    const double n = binned ? 109044.0 : 436160.0;
    const int a = box_mode(fredptr, 10, 20, 0);
    const int b = box_mode(fredptr, 10, right, 0);
    const int c = box_mode(fredptr, down, 20, 1);
    const int d = box_mode(fredptr, down, right, 1);
    const int m = std::min({ a, b, c, d });
    const double a1 = (a - m) * 16.0, b1 = (b - m) * 16.0, c1 = (c - m) * 16.0, d1 = (d - m) * 16.0;
    const double hf = static_cast<double>(height1f);
    const double wf = static_cast<double>(width1f);
    const int st = first_row_of(fredptr);
    for (int y = st; y < height1; ++y) {
        unsigned short* row = fredptr + static_cast<std::ptrdiff_t>(y) * width1;
        for (int x = 0; x < width1; ++x) {
            const double g = (hf - y) * (wf - x) * a1 / n + (hf - y) * x * b1 / n + (wf - x) * y * c1 / n
                + static_cast<double>(y) * x * d1 / n;
            row[x] = row[x] > g ? static_cast<unsigned short>(row[x] - static_cast<int>(g)) : 0;
        }
    }
}

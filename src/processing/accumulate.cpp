#include "processing/accumulate.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "app/state.h"
#include "processing/centroid.h"
#include "store/buffers.h"

int slew_sum_alt;
int slew_sum_average;
int orig_max;
int orig_avg;
std::int32_t rowsum_1[100], colsum_1[100], rowsum_2[100], colsum_2[100];

void reset_state_accumulate()
{
    slew_sum_alt = 0;
    slew_sum_average = 0;
    orig_max = 0;
    orig_avg = 0;
    std::fill(std::begin(rowsum_1), std::end(rowsum_1), 0);
    std::fill(std::begin(colsum_1), std::end(colsum_1), 0);
    std::fill(std::begin(rowsum_2), std::end(rowsum_2), 0);
    std::fill(std::begin(colsum_2), std::end(colsum_2), 0);
}

namespace {
// The profile window: 100 x 100 samples from column 200, row s + 100.
constexpr int window_size = 100;
constexpr int window_column = 200;
constexpr int window_row = 100;
// Shifts tried per axis: -10 .. +9.
constexpr int shifts = 20;
constexpr int compared = 80;

int contribution(unsigned short v)
{
    return slew_sum_average && total_images > 0 ? v / total_images : v;
}

unsigned short clamped(int v)
{
    return static_cast<unsigned short>(std::min(v, 65535));
}

bool inside(int x, int y)
{
    return x >= 1 && x <= width1 - 1 && y >= 1 && y <= height1 - 1;
}

unsigned short& at(unsigned short* frame, int x, int y)
{
    return frame[static_cast<std::size_t>(y) * width1 + x];
}

void show_sum(unsigned short* frame, const unsigned short* sum)
{
    std::memcpy(frame, sum, static_cast<std::size_t>(intlength) * sizeof(unsigned short));
}

// The frame sample under a centroid, or 0 off the frame.
int sample_at(unsigned short* frame, int x, int y)
{
    if (x < 0 || y < 0 || x >= width1 || y >= height1)
        return 0;
    return at(frame, x, y);
}

// The level histogram of the frame (256 bins of v / 256) into `table`;
// most_pop is the first fullest bin.
void level_histogram(const unsigned short* frame)
{
    std::fill(std::begin(table), std::end(table), 0u);
    for (std::int32_t i = 0; i < intlength; ++i)
        ++table[frame[i] >> 8];
    most_pop = 0;
    for (int b = 1; b < 256; ++b)
        if (table[b] > table[most_pop])
            most_pop = b;
}

void profiles(const unsigned short* frame, int s, std::int32_t* rows, std::int32_t* columns)
{
    const int base = (most_pop + 2) * 256;
    std::fill(rows, rows + window_size, 0);
    std::fill(columns, columns + window_size, 0);
    for (int i = 0; i < window_size; ++i) {
        const unsigned short* row
            = frame + static_cast<std::size_t>(s + window_row + i) * width1 + window_column;
        for (int j = 0; j < window_size; ++j)
            if (row[j] > base) {
                const int c = (row[j] - base) * 16;
                rows[i] += c;
                columns[j] += c;
            }
    }
}

// The shift (-10 .. +9) that best lays profile `now` over `ref`; the
// mismatch at each shift goes to `mismatch`. The search starts above any
// possible mismatch, so some shift is always chosen.
int best_shift(const std::int32_t* ref, const std::int32_t* now, std::int64_t* mismatch)
{
    std::int64_t best = std::numeric_limits<std::int64_t>::max();
    int shift = 0;
    for (int k = 0; k < shifts; ++k) {
        std::int64_t d = 0;
        for (int l = 0; l < compared; ++l)
            d += std::llabs(static_cast<std::int64_t>(ref[10 + l]) - now[k + l]);
        mismatch[k] = d;
        if (d < best) {
            best = d;
            shift = k - 10;
        }
    }
    return shift;
}
} // namespace

int track_accumulate(unsigned short* frame, unsigned short* sum, int& orig_x, int& orig_y, int& merge_x,
    int& merge_y, int& orig_max, int& orig_avg)
{
    (void)orig_avg;
    if (orig_x == 0) {
        for (std::int32_t i = 0; i < intlength; ++i)
            sum[i] = static_cast<unsigned short>(contribution(frame[i]));
        if (binned) {
            xcent /= 2;
            ycent /= 2;
        }
        // Three passes: each window is centred better on the star.
        for (int pass = 0; pass < 3; ++pass)
            find_centre(xcent, ycent, frame, star_mask);
        orig_x = xcent;
        orig_y = ycent;
        orig_max = sample_at(frame, xcent, ycent);
        return accumulate_added;
    }

    find_centre(orig_x, orig_y, frame, star_mask);
    const int peak = sample_at(frame, xcent, ycent);
    if (peak > 3 * orig_max || peak < 0.3 * orig_max) {
        show_sum(frame, sum);
        return accumulate_lost;
    }
    merge_x = xcent;
    merge_y = ycent;
    const int dx = merge_x - orig_x;
    const int dy = merge_y - orig_y;
    orig_x = merge_x;
    orig_y = merge_y;
    // The sum is moved onto the newest frame.
    for (int y = 0; y < height1; ++y)
        for (int x = 0; x < width1; ++x)
            if (inside(x - dx, y - dy)) {
                unsigned short& v = at(frame, x, y);
                v = clamped(at(sum, x - dx, y - dy) + contribution(v));
            }
    std::memcpy(sum, frame, static_cast<std::size_t>(intlength) * sizeof(unsigned short));
    return accumulate_added;
}

int slew_accumulate(unsigned short* frame, unsigned short* sum, int& orig_x, int& orig_y, int& merge_x,
    int& merge_y, int& orig_max, int& orig_avg)
{
    (void)orig_max;
    (void)merge_x;
    level_histogram(frame);
    if (orig_avg == 0) {
        std::int64_t total = 0;
        for (std::int32_t i = 0; i < intlength; ++i) {
            sum[i] = static_cast<unsigned short>(contribution(frame[i]));
            if (i < 10000)
                total += frame[i];
        }
        // Held at 1 or more: 0 would take the next frame for a first one.
        orig_avg = std::max(1, static_cast<int>(static_cast<double>(total) * 0.0001));

        int brightest = 0;
        int s = 0;
        for (s = 0; s <= 30; s += 10) {
            for (int i = 0; i < window_size; ++i)
                for (int j = 0; j < window_size; ++j)
                    brightest = std::max<int>(brightest, at(frame, window_column + j, s + window_row + i));
            if (brightest >= most_pop * 375)
                break;
        }
        s = std::min(s, 30);
        merge_y = s;
        if (s == 30)
            return accumulate_no_window;
        profiles(frame, s, rowsum_1, colsum_1);
        orig_x = orig_y = 0;
        return accumulate_added;
    }

    profiles(frame, merge_y, rowsum_2, colsum_2);
    std::int64_t row_mismatch[shifts], column_mismatch[shifts];
    const int dy = best_shift(rowsum_1, rowsum_2, row_mismatch);
    const int dx = best_shift(colsum_1, colsum_2, column_mismatch);
    // No structure in the window: nothing to align on.
    if (column_mismatch[9] + column_mismatch[10] + column_mismatch[11] < 5000) {
        show_sum(frame, sum);
        return accumulate_lost;
    }
    std::copy(std::begin(rowsum_2), std::end(rowsum_2), std::begin(rowsum_1));
    std::copy(std::begin(colsum_2), std::end(colsum_2), std::begin(colsum_1));
    for (int y = 0; y < height1; ++y)
        for (int x = 0; x < width1; ++x) {
            const int fx = x + dx + orig_x;
            const int fy = y + dy + orig_y;
            if (inside(fx, fy)) {
                unsigned short& v = at(sum, x, y);
                v = clamped(v + contribution(at(frame, fx, fy)));
            }
        }
    orig_x += dx;
    orig_y += dy;
    show_sum(frame, sum);
    return accumulate_added;
}

#include "processing/histogram.h"

#include <algorithm>

#include "app/state.h"
#include "store/buffers.h"

namespace {
// First bin in [0, last] with the largest count, skipping the excluded bins.
// With every candidate at 0 it is the first candidate, so a frame with fewer
// than three occupied bins still gets a defined level.
int most_populated(int last, int skip1, int skip2)
{
    int best = -1;
    for (int k = 0; k <= last; ++k) {
        if (k == skip1 || k == skip2)
            continue;
        if (best < 0 || table[k] > table[best])
            best = k;
    }
    return best;
}
} // namespace

void build_histogram(const unsigned short* frame)
{
    std::fill(std::begin(table), std::end(table), 0u);
    const int start = width1 / 2;
    const int count = intlength - width1_10;
    for (int i = 0; i < count; ++i)
        ++table[frame[start + i] >> 8];
    const int m1 = most_populated(255, -1, -1);
    const int m2 = most_populated(255, m1, -1);
    const int m3 = most_populated(255, m1, m2);
    most_pop = (m1 + m2 + m3) / 3;
}

void find_most_pop(const unsigned short* frame)
{
    std::fill(std::begin(table), std::end(table), 0u);
    for (int i = 10240; i < 25600; ++i)
        ++table[frame[i] >> 8];
    most_pop = most_populated(256, -1, -1);
}

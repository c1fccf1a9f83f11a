// Block data as the camera sends it, with every sample a known function of
// its place, so a test can tell where each received sample landed.
#pragma once

#include <cstddef>
#include <vector>

inline unsigned short sample_at(int row, int column)
{
    return static_cast<unsigned short>(row * 211 + column * 7 + 1);
}

// `rows` rows of `samples` samples, two bytes each, low byte first.
inline std::vector<unsigned char> block_of(int rows, int samples)
{
    std::vector<unsigned char> block(static_cast<std::size_t>(rows) * samples * 2);
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < samples; ++c) {
            const std::size_t at = (static_cast<std::size_t>(r) * samples + c) * 2;
            block[at] = sample_at(r, c) & 0xff;
            block[at + 1] = sample_at(r, c) >> 8;
        }
    return block;
}

// Shared by the loader harnesses: the input becomes the bytes of a file, fed
// to the loader's in-memory entry (no file is written, so the harnesses run
// at full speed and leave nothing behind). The first input byte chooses how:
// bit 0 the binned or full geometry, bit 1 whether the rest is padded (or
// cut) to the length the loader recognises, so both refused and accepted
// lengths are reached.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "app/state.h"
#include "store/buffers.h"

inline bool fuzz_binned(const std::uint8_t* data, std::size_t size)
{
    return size == 0 || (data[0] & 1) != 0;
}

// The input after its first byte, padded to `padded_length` when bit 1 is
// set. The buffer is kept between runs: no allocation per run.
inline std::span<const unsigned char> fuzz_file_bytes(
    const std::uint8_t* data, std::size_t size, std::size_t padded_length)
{
    static std::vector<unsigned char> bytes;
    if (size > 1)
        bytes.assign(data + 1, data + size);
    else
        bytes.clear();
    if (size > 0 && (data[0] & 2) != 0)
        bytes.resize(padded_length, 0);
    return bytes;
}

inline void fuzz_geometry(bool small)
{
    point_buffers();
    binned = small ? 1 : 0;
    binned21 = small ? 0 : 1;
    ZQ_binned();
}

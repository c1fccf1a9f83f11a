// Shared by the loader harnesses: the input becomes the bytes of a file, fed
// to the loader's in-memory entry (no file is written, so the harnesses run
// at full speed and leave nothing behind). The first input byte chooses how:
// bit 0 the binned or full geometry, bit 1 whether the rest is padded (or
// cut) to the length the loader recognises, so both refused and accepted
// lengths are reached.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "app/state.h"
#include "store/buffers.h"
#include "store/image_io.h"

inline bool fuzz_binned(const std::uint8_t* data, std::size_t size)
{
    return size == 0 || (data[0] & 1) != 0;
}

// The input after its first byte, padded with zeros to `padded_length` when
// bit 1 is set. One buffer serves every run: only the bytes the previous run
// wrote are cleared, not the whole padding of up to 878,880 bytes.
inline std::span<const unsigned char> fuzz_file_bytes(
    const std::uint8_t* data, std::size_t size, std::size_t padded_length)
{
    static std::vector<unsigned char> buffer;
    static std::size_t written = 0;
    const std::size_t length = size > 1 ? size - 1 : 0;
    const bool padded = size > 0 && (data[0] & 2) != 0;
    const std::size_t total = padded ? padded_length : length;
    if (buffer.size() < std::max(total, length))
        buffer.resize(std::max(total, length), 0);
    if (written > length)
        std::fill(buffer.begin() + static_cast<std::ptrdiff_t>(length),
            buffer.begin() + static_cast<std::ptrdiff_t>(written), 0);
    std::copy(data + std::min<std::size_t>(size, 1), data + size, buffer.begin());
    written = length;
    return std::span<const unsigned char>(buffer.data(), total);
}

// The sample conversions are not instrumented (sanitize_ignore.txt): an
// accepted load must have had the header and every sample it converted.
inline void fuzz_check_accepted(std::span<const unsigned char> file, bool fits)
{
    const std::size_t needed
        = (fits ? fits_header_length : 0) + static_cast<std::size_t>(width1) * height1 * 2;
    if (file.size() < needed || static_cast<std::size_t>(width1) * height1 > frame_samples)
        __builtin_trap();
}

inline void fuzz_geometry(bool small)
{
    point_buffers();
    binned = small ? 1 : 0;
    binned21 = small ? 0 : 1;
    ZQ_binned();
}

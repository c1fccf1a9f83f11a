// Shared by the loader harnesses: the input becomes the bytes of a file, fed
// to the loader's in-memory entry (no file is written, so the harnesses run
// at full speed and leave nothing behind). The first input byte chooses how:
// bit 0 the binned or full geometry, bit 1 whether the rest is padded (or
// cut) to the length the loader recognises (or one byte short of it, see
// fuzz_whole_frame), so both refused and accepted lengths are reached.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

#include "app/state.h"
#include "store/buffers.h"
#include "store/image_io.h"

inline bool fuzz_binned(const std::uint8_t* data, std::size_t size)
{
    return size == 0 || (data[0] & 1) != 0;
}

// A hash of the whole input: any mutation changes it.
inline std::uint64_t fuzz_checksum(const std::uint8_t* data, std::size_t size)
{
    std::uint64_t sum = size;
    std::size_t i = 0;
    for (; i + 8 <= size; i += 8) {
        std::uint64_t word;
        std::memcpy(&word, data + i, 8);
        sum = (sum ^ word) * 0x100000001b3ull;
    }
    for (; i < size; ++i)
        sum = (sum ^ data[i]) * 0x100000001b3ull;
    return sum;
}

// Whether this input may take the accepted length of a whole frame. Each
// accepted load converts every sample the same way whatever they hold (up to
// 439,000 of them), which tells nothing the first such run did not, and costs
// more than the parsing. So the input's own checksum picks 1 in 8 binned and
// 1 in 32 full frames to load whole; the others stop one byte short, at the
// length check (or, for a header read before the length, after the header).
// Being a function of the bytes, a run repeats exactly from its input.
inline bool fuzz_whole_frame(const std::uint8_t* data, std::size_t size, bool small)
{
    return (fuzz_checksum(data, size) >> 40) % (small ? 8 : 32) == 0;
}

// `bytes` padded with zeros to `total` (or cut to it). One buffer serves every
// run: only the bytes the previous run wrote are cleared, not the whole
// padding of up to 878,880 bytes.
inline std::span<const unsigned char> fuzz_padded(
    const std::uint8_t* bytes, std::size_t length, std::size_t total)
{
    static std::vector<unsigned char> buffer;
    static std::size_t written = 0;
    if (buffer.size() < std::max(total, length))
        buffer.resize(std::max(total, length), 0);
    if (written > length)
        std::fill(buffer.begin() + static_cast<std::ptrdiff_t>(length),
            buffer.begin() + static_cast<std::ptrdiff_t>(written), 0);
    std::copy(bytes, bytes + length, buffer.begin());
    written = length;
    return std::span<const unsigned char>(buffer.data(), total);
}

// The input after its first byte, padded with zeros to `padded_length` when
// bit 1 is set (to one byte less unless fuzz_whole_frame picks it).
inline std::span<const unsigned char> fuzz_file_bytes(
    const std::uint8_t* data, std::size_t size, std::size_t padded_length)
{
    const std::size_t length = size > 1 ? size - 1 : 0;
    const bool padded = size > 0 && (data[0] & 2) != 0;
    if (padded && !fuzz_whole_frame(data, size, padded_length < native_full_length))
        --padded_length;
    return fuzz_padded(data + std::min<std::size_t>(size, 1), length, padded ? padded_length : length);
}

// An accepted load must have had the header and every sample it converted.
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

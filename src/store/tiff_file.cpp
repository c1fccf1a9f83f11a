#include "store/tiff_file.h"

#include <cstdint>
#include <vector>

#include "store/atomic_file.h"
#include "store/buffers.h"

namespace {
constexpr std::size_t pixels_at = 246;
constexpr int strips = 10;

class LittleEndian {
public:
    explicit LittleEndian(std::vector<unsigned char>& out)
        : out_(out)
    {
    }
    void u16(unsigned v)
    {
        out_.push_back(static_cast<unsigned char>(v));
        out_.push_back(static_cast<unsigned char>(v >> 8));
    }
    void u32(std::uint32_t v)
    {
        u16(v & 0xFFFFu);
        u16(v >> 16);
    }
    // A directory entry; 16-bit values stand in the first two bytes.
    void entry(unsigned tag, unsigned type, std::uint32_t count, std::uint32_t value)
    {
        u16(tag);
        u16(type);
        u32(count);
        if (type == 3 && count == 1) {
            u16(value);
            u16(0);
        } else {
            u32(value);
        }
    }

private:
    std::vector<unsigned char>& out_;
};
} // namespace

std::size_t tif_file_length()
{
    return pixels_at + static_cast<std::size_t>(width1) * height1;
}

int SaveTifFile(const char* fileTitle, const unsigned short* fredptr)
{
    const std::uint32_t rows_per_strip = static_cast<std::uint32_t>(height1 / strips);
    const std::uint32_t strip_bytes = rows_per_strip * static_cast<std::uint32_t>(width1);
    std::vector<unsigned char> file;
    file.reserve(tif_file_length());
    LittleEndian put(file);
    file.push_back('I');
    file.push_back('I');
    put.u16(42);
    put.u32(8);
    put.u16(13);
    put.entry(254, 4, 1, 0);
    put.entry(256, 3, 1, static_cast<std::uint32_t>(width1));
    put.entry(257, 3, 1, static_cast<std::uint32_t>(height1));
    put.entry(258, 3, 1, 8);
    put.entry(259, 3, 1, 1);
    put.entry(262, 3, 1, 1);
    put.entry(273, 4, strips, 186);
    put.entry(277, 3, 1, 1);
    put.entry(278, 4, 1, rows_per_strip);
    put.entry(279, 3, strips, 226);
    put.entry(282, 5, 1, 170);
    put.entry(283, 5, 1, 178);
    put.entry(296, 3, 1, 3);
    put.u32(0);
    put.u32(510);
    put.u32(6);
    put.u32(256);
    put.u32(6);
    for (int k = 0; k < strips; ++k)
        put.u32(static_cast<std::uint32_t>(pixels_at + k * strip_bytes));
    for (int k = 0; k < strips; ++k)
        put.u16(strip_bytes);
    const std::size_t samples = static_cast<std::size_t>(width1) * height1;
    for (std::size_t i = 0; i < samples; ++i)
        file.push_back(static_cast<unsigned char>(fredptr[i] >> 8));
    return write_file_atomically(fileTitle, file.data(), file.size()) ? 0 : 1;
}

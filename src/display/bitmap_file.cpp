#include "display/bitmap_file.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <vector>

#include "app/data_root.h"
#include "app/state.h"
#include "display/pipeline.h"
#include "store/atomic_file.h"
#include "store/buffers.h"
#include "store/image_io.h"

namespace {
void put16(unsigned char* at, unsigned value)
{
    at[0] = static_cast<unsigned char>(value);
    at[1] = static_cast<unsigned char>(value >> 8);
}

void put32(unsigned char* at, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        at[i] = static_cast<unsigned char>(value >> (8 * i));
}

std::uint32_t get32(const unsigned char* at)
{
    return static_cast<std::uint32_t>(at[0]) | static_cast<std::uint32_t>(at[1]) << 8
        | static_cast<std::uint32_t>(at[2]) << 16 | static_cast<std::uint32_t>(at[3]) << 24;
}

unsigned get16(const unsigned char* at)
{
    return static_cast<unsigned>(at[0]) | static_cast<unsigned>(at[1]) << 8;
}

// Bitmap order, bottom row first. The 50 % enlargement of a binned frame
// turns each pair of source rows into rows 0, 1, 1 and each pair of columns
// from 1 on into columns 1, 2, 2; its last column would step one sample past
// the row, so it repeats the row's last sample instead.
void reorder_rows(const unsigned char* source, unsigned char* rows, int width, int height, bool enlarged)
{
    if (!enlarged) {
        for (int r = 0; r < height; ++r)
            std::memcpy(rows + static_cast<std::size_t>(height - 1 - r) * width,
                source + static_cast<std::size_t>(r) * width, static_cast<std::size_t>(width));
        return;
    }
    int column_of[564];
    for (int c = 0; c < width; ++c) {
        const int source_column = c == 0 ? 0 : 2 * ((c - 1) / 3) + 1 + ((c - 1) % 3 == 0 ? 0 : 1);
        column_of[c] = std::min(source_column, binned_width - 1);
    }
    for (int d = 0; d < height; ++d) {
        const int source_row = 2 * (d / 3) + (d % 3 == 0 ? 0 : 1);
        const unsigned char* in = source + static_cast<std::size_t>(source_row) * binned_width;
        unsigned char* out = rows + static_cast<std::size_t>(height - 1 - d) * width;
        for (int c = 0; c < width; ++c)
            out[c] = in[column_of[c]];
    }
}
} // namespace

void build_bitmap_header(
    unsigned char header[bitmap_header_bytes], int width, int height, const PaletteEntry palette[256])
{
    std::memset(header, 0, bitmap_header_bytes);
    const auto pixel_bytes = static_cast<std::uint32_t>(width) * static_cast<std::uint32_t>(height);
    header[0] = 'B';
    header[1] = 'M';
    put32(header + 2, bitmap_header_bytes + pixel_bytes);
    put32(header + 10, bitmap_header_bytes);
    put32(header + 14, 40);
    put32(header + 18, static_cast<std::uint32_t>(width));
    put32(header + 22, static_cast<std::uint32_t>(height));
    put16(header + 26, 1);
    put16(header + 28, 8);
    for (int i = 0; i < 256; ++i) {
        unsigned char* entry = header + 54 + 4 * i;
        entry[0] = palette[i].blue;
        entry[1] = palette[i].green;
        entry[2] = palette[i].red;
        entry[3] = 0;
    }
}

int write_bmp(const unsigned char* source, unsigned char* rows, int focus, int geo, DisplayBitmap* unwritten)
{
    const bool focus_file = focus || tracking || training;
    if (focus_file)
        focussed = 1;
    // The picture is made before the file, so it can be shown when the file
    // cannot be written.
    const DisplaySize size = display_size(focus, geo);
    PaletteEntry palette[256];
    build_display_palette(palette);
    unsigned char header[bitmap_header_bytes];
    build_bitmap_header(header, size.width, size.height, palette);
    const bool enlarged = binned && !focus && !tracking && !geo && Big;
    reorder_rows(source, rows, size.width, size.height, enlarged);
    const std::size_t row_bytes = static_cast<std::size_t>(size.width);

    ensure_folder(data_root());
    AtomicFile file(display_bitmap_path(focus_file));
    int result = 0;
    if (!file.open())
        result = 1;
    else if (!file.write(header, sizeof header))
        result = 2;
    else if (!file.write(rows, row_bytes * size.height) || !file.commit())
        result = 3;

    if (result != 0 && unwritten != nullptr) {
        DisplayBitmap picture;
        picture.width = size.width;
        picture.height = size.height;
        picture.colours = 256;
        std::copy_n(palette, 256, picture.palette.begin());
        picture.pixels.resize(row_bytes * size.height);
        // The file's rows run bottom to top; the picture's top to bottom.
        for (int r = 0; r < size.height; ++r)
            std::memcpy(&picture.pixels[row_bytes * r], rows + row_bytes * (size.height - 1 - r), row_bytes);
        *unwritten = std::move(picture);
    }
    return result;
}

bool read_display_bitmap(const std::string& path, DisplayBitmap& out)
{
    std::vector<unsigned char> bytes;
    std::uintmax_t length = 0;
    // Far beyond any display bitmap: refused unread.
    constexpr std::size_t most = 64u << 20;
    if (read_file_start(path, bytes, most, &length) != FileRead::ok || length != bytes.size())
        return false;
    return parse_display_bitmap(bytes.data(), bytes.size(), out);
}

bool parse_display_bitmap(const unsigned char* bytes, std::size_t size, DisplayBitmap& out)
{
    if (size < 54 || bytes[0] != 'B' || bytes[1] != 'M')
        return false;

    const std::uint32_t data_offset = get32(&bytes[10]);
    const std::uint32_t info_size = get32(&bytes[14]);
    const auto width = static_cast<std::int32_t>(get32(&bytes[18]));
    const auto signed_height = static_cast<std::int32_t>(get32(&bytes[22]));
    if (info_size < 40 || get16(&bytes[26]) != 1 || get16(&bytes[28]) != 8 || get32(&bytes[30]) != 0)
        return false;
    if (width <= 0 || width > 16384 || signed_height == 0 || signed_height < -16384 || signed_height > 16384)
        return false;
    const int height = signed_height < 0 ? -signed_height : signed_height;
    std::uint32_t colours = get32(&bytes[46]);
    if (colours == 0)
        colours = 256;
    if (colours > 256)
        return false;
    const std::uint64_t palette_at = 14ull + info_size;
    const std::uint64_t stride = (static_cast<std::uint64_t>(width) + 3) & ~std::uint64_t { 3 };
    if (palette_at + 4ull * colours > size || data_offset < palette_at
        || static_cast<std::uint64_t>(data_offset) + stride * height > size)
        return false;

    DisplayBitmap result;
    result.width = width;
    result.height = height;
    result.colours = static_cast<int>(colours);
    for (std::uint32_t i = 0; i < colours; ++i) {
        const unsigned char* entry = &bytes[palette_at + 4 * i];
        result.palette[i] = { entry[2], entry[1], entry[0], 0 };
    }
    result.pixels.resize(static_cast<std::size_t>(width) * height);
    for (int r = 0; r < height; ++r) {
        const int stored = signed_height > 0 ? height - 1 - r : r;
        std::memcpy(&result.pixels[static_cast<std::size_t>(r) * width],
            &bytes[data_offset + stride * static_cast<std::uint64_t>(stored)],
            static_cast<std::size_t>(width));
    }
    out = std::move(result);
    return true;
}

#include "store/image_io.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

#include "app/state.h"
#include "store/buffers.h"
#include "store/fits_file.h"
#include "store/fits_keywords.h"

ImageFileKind kind_for_length(std::uintmax_t length)
{
    switch (length) {
    case native_binned_length:
        return ImageFileKind::native_binned;
    case native_full_length:
        return ImageFileKind::native_full;
    case fits_binned_length:
        return ImageFileKind::fits_binned;
    case fits_full_length:
    case fits_full_standard_length:
        return ImageFileKind::fits_full;
    default:
        return ImageFileKind::unknown;
    }
}

bool kind_is_binned(ImageFileKind kind)
{
    return kind == ImageFileKind::native_binned || kind == ImageFileKind::fits_binned;
}

bool kind_is_fits(ImageFileKind kind)
{
    return kind == ImageFileKind::fits_binned || kind == ImageFileKind::fits_full;
}

FileRead read_file_start(
    const std::string& path, std::vector<unsigned char>& bytes, std::size_t most, std::uintmax_t* length)
{
    // Without O_NONBLOCK, opening a pipe waits for a writer that may never come.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return FileRead::cannot_open;
    struct stat info { };
    bool whole = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    if (whole) {
        const auto size = static_cast<std::uintmax_t>(info.st_size);
        if (length != nullptr)
            *length = size;
        // resize() keeps a reused buffer's pages: loads of the same size cost
        // no fresh allocation.
        bytes.resize(static_cast<std::size_t>(std::min<std::uintmax_t>(size, most)));
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t got = ::read(fd, bytes.data() + done, bytes.size() - done);
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0)
                break;
            done += static_cast<std::size_t>(got);
        }
        whole = done == bytes.size();
    }
    ::close(fd);
    return whole ? FileRead::ok : FileRead::failed;
}

bool read_whole_file(const std::string& path, std::vector<unsigned char>& bytes)
{
    return read_file_start(path, bytes, SIZE_MAX, nullptr) == FileRead::ok;
}

void native_to_samples(
    const unsigned char* __restrict bytes, int width, int height, unsigned short* __restrict dest)
{
    const std::size_t count = static_cast<std::size_t>(width) * height;
    for (std::size_t i = 0; i < count; ++i)
        dest[i] = static_cast<unsigned short>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
}

namespace {
// Columns are counted from 1 as in the card layout.
bool card_has(const unsigned char* header, int card, int first_column, const char* text)
{
    const unsigned char* at = header + (card - 1) * 80 + (first_column - 1);
    return std::memcmp(at, text, std::strlen(text)) == 0;
}
} // namespace

bool fits_layout_is_ours(const unsigned char* header)
{
    // The one card of ours other programs would not put there by chance.
    return card_has(header, 36, 1, "BZERO   =");
}

bool read_foreign_fits_header(const unsigned char* header, bool* binned, FitsData* data)
{
    const auto number = [header](const char* keyword) { return fits_keyword_number(header, fits_cards, keyword); };
    // The data follow the header's last block: 5,760 bytes only when END is
    // in the second one.
    const int end = fits_end_card(header, fits_cards);
    if (end <= fits_cards / 2 || fits_keyword_logical(header, fits_cards, "SIMPLE") != true)
        return false;
    if (number("BITPIX") != 16.0 || number("NAXIS") != 2.0)
        return false;
    const auto width = number("NAXIS1");
    const auto height = number("NAXIS2");
    if (width == double(binned_width) && height == double(binned_height))
        *binned = true;
    else if (width == double(full_width) && height == double(full_height))
        *binned = false;
    else
        return false;
    if (fits_find_card(header, fits_cards, "BSCALE") != nullptr && number("BSCALE") != 1.0)
        return false;
    double zero = 0.0;
    if (fits_find_card(header, fits_cards, "BZERO") != nullptr) {
        const auto value = number("BZERO");
        if (!value || *value != static_cast<double>(static_cast<long>(*value)) || *value < -65535.0
            || *value > 98303.0)
            return false;
        zero = *value;
    }
    data->zero = static_cast<long>(zero);
    data->signed_values = true;
    return true;
}

bool check_fits_header(
    const unsigned char* header, std::size_t length, bool binned_geometry, FitsData* data)
{
    if (length < fits_header_length)
        return false;
    if (!fits_layout_is_ours(header)) {
        bool binned_axes = false;
        return read_foreign_fits_header(header, &binned_axes, data) && binned_axes == binned_geometry;
    }
    if (!card_has(header, 2, 29, "16") || !card_has(header, 3, 30, "2"))
        return false;
    if (!card_has(header, 4, 28, binned_geometry ? "376" : "752"))
        return false;
    if (!card_has(header, 5, 28, binned_geometry ? "290" : "580"))
        return false;
    data->zero = card_has(header, 36, 1, "BZERO   =   +0.0000000000E+00") ? 0 : 32768;
    data->signed_values = false;
    return true;
}

void fits_to_samples(const unsigned char* __restrict data, int width, int height, const FitsData& how,
    unsigned short* __restrict dest)
{
    const std::size_t count = static_cast<std::size_t>(width) * height;
    // Signed values plus 32,768 are the unsigned values with the top bit
    // flipped: the same as this program's offset files.
    const bool modular = !how.signed_values || how.zero == 32768;
    if (!modular) {
        for (std::size_t i = 0; i < count; ++i) {
            const long stored = static_cast<std::int16_t>(static_cast<std::uint16_t>(data[2 * i] << 8 | data[2 * i + 1]));
            dest[i] = static_cast<unsigned short>(std::clamp(stored + how.zero, 0L, 65535L));
        }
        return;
    }
    const unsigned offset = static_cast<unsigned>(how.zero) & 0xFFFFu;
    std::size_t i = 0;
    if (std::endian::native == std::endian::little && (offset == 0 || offset == 32768)) {
        // Four samples at a time: swap the bytes of each 16-bit lane; adding
        // 32,768 modulo 65,536 is flipping the top bit of each lane.
        const std::uint64_t flip = offset != 0 ? 0x8000800080008000ull : 0;
        for (; i + 4 <= count; i += 4) {
            std::uint64_t four;
            std::memcpy(&four, data + 2 * i, 8);
            four = ((four >> 8) & 0x00FF00FF00FF00FFull) | ((four & 0x00FF00FF00FF00FFull) << 8);
            four ^= flip;
            std::memcpy(dest + i, &four, 8);
        }
    }
    for (; i < count; ++i)
        dest[i] = static_cast<unsigned short>((data[2 * i] * 256u + data[2 * i + 1] + offset) & 0xFFFFu);
}

SecondLoad load_second_image(const std::string& path, unsigned short* dest)
{
    static std::vector<unsigned char> bytes; // one thread; kept for the next load
    std::uintmax_t length = 0;
    const FileRead read = read_file_start(path, bytes, fits_full_length, &length);
    if (read == FileRead::cannot_open)
        return SecondLoad::cannot_open;
    if (read != FileRead::ok || length != bytes.size())
        return SecondLoad::wrong_file;
    return second_image_from_bytes(bytes, dest);
}

SecondLoad second_image_from_bytes(std::span<const unsigned char> file, unsigned short* dest)
{
    const ImageFileKind kind = kind_for_length(file.size());
    if (kind == ImageFileKind::unknown || kind_is_binned(kind) != (binned != 0))
        return SecondLoad::wrong_file;
    if (!kind_is_fits(kind)) {
        native_to_samples(file.data(), width1, height1, dest);
        return SecondLoad::ok;
    }
    FitsData how;
    if (!check_fits_header(file.data(), file.size(), binned != 0, &how))
        return SecondLoad::header_mismatch;
    fits_to_samples(file.data() + fits_header_length, width1, height1, how, dest);
    return SecondLoad::ok;
}

int trial_load(unsigned short* trialptr, unsigned short* /*trialintptr*/, const char* fileName)
{
    switch (load_second_image(fileName, trialptr)) {
    case SecondLoad::ok:
        return 0;
    case SecondLoad::cannot_open:
        return 1;
    case SecondLoad::wrong_file:
        return 2;
    case SecondLoad::header_mismatch:
        return 12;
    }
    return 2;
}

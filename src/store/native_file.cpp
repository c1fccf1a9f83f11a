#include "store/native_file.h"

#include <cstddef>
#include <cstdint>
#include <vector>

#include "app/state.h"
#include "store/atomic_file.h"
#include "store/buffers.h"
#include "store/fits_file.h"
#include "store/image_io.h"

NativeSave save_native_file(const char* path, const unsigned short* fredptr)
{
    const std::size_t samples = static_cast<std::size_t>(width1) * height1;
    std::vector<unsigned char> bytes(samples * 2);
    for (std::size_t i = 0; i < samples; ++i) {
        bytes[2 * i] = static_cast<unsigned char>(fredptr[i]);
        bytes[2 * i + 1] = static_cast<unsigned char>(fredptr[i] >> 8);
    }
    AtomicFile file(path);
    if (!file.open())
        return NativeSave::cannot_create;
    if (!file.write(bytes.data(), bytes.size()) || !file.commit())
        return NativeSave::short_write;
    return NativeSave::ok;
}

namespace {
// The geometry a file length stands for, applied only once the load is sure.
void switch_geometry(bool to_binned)
{
    binned21 = highres_intl = highres_nonintl = 0;
    if (to_binned) {
        binned = 1;
    } else {
        binned = 0;
        binned21 = 1;
    }
    ZQ_binned();
}
} // namespace

ImageLoad load_image_file(const char* path, unsigned short* dest)
{
    static std::vector<unsigned char> bytes; // one thread; kept for the next load
    std::uintmax_t length = 0;
    if (read_file_start(path, bytes, fits_full_length, &length) != FileRead::ok || length != bytes.size())
        return ImageLoad::not_image_file;
    return image_file_from_bytes(bytes, dest);
}

ImageLoad image_file_from_bytes(std::span<const unsigned char> bytes, unsigned short* dest)
{
    const ImageFileKind kind = kind_for_length(bytes.size());
    if (kind == ImageFileKind::unknown)
        return ImageLoad::not_image_file;
    const bool small = kind_is_binned(kind);
    const int width = small ? binned_width : full_width;
    const int height = small ? binned_height : full_height;

    if (!kind_is_fits(kind)) {
        ClearFITSInfo();
        switch_geometry(small);
        native_to_samples(bytes.data(), width, height, dest);
        return ImageLoad::ok;
    }

    FitsHeaderValues values;
    if (decode_fits_header(bytes.data(), values) != 0)
        return ImageLoad::fits_foreign;
    // A header whose axes contradict the file's length is not one of ours.
    if (values.binned != small)
        return ImageLoad::fits_foreign;
    ClearFITSInfo();
    switch_geometry(small);
    apply_fits_header(values);
    fits_to_samples(bytes.data() + fits_header_length, width, height, values.data, dest);
    return ImageLoad::ok;
}

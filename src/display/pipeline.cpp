#include "display/pipeline.h"

#include <algorithm>
#include <cstring>

#include "app/data_root.h"
#include "app/messages.h"
#include "app/state.h"
#include "display/bitmap_file.h"
#include "processing/histogram.h"
#include "store/buffers.h"

unsigned char pixels_c[display_bytes];
unsigned char pixels_bmp[display_bytes];

namespace {
constexpr int focus_side = 128;
constexpr int geo_width = 564;
constexpr int geo_height = 452;

void copy_high_bytes(const unsigned short* source, unsigned char* dest, std::size_t count)
{
    for (std::size_t i = 0; i < count; ++i)
        dest[i] = static_cast<unsigned char>(source[i] >> 8);
}

// Bilinear resampling of the binned frame to the camera's 564 x 452 geometry,
// in single precision. The last output row uses its upper source row for both
// rows and the last output column its upper sample only; the right neighbour
// of the last source column is that column itself, so nothing outside the
// row is read.
void resample_to_camera_geometry(const unsigned short* source, unsigned char* dest)
{
    const float ky = static_cast<float>(geo_height) / height1f;
    const float kx = static_cast<float>(geo_width) / width1f;
    const auto s = [source](int index) { return static_cast<float>(source[index] >> 8); };

    int right_of[geo_width];
    float dx_of[geo_width];
    int ix_of[geo_width];
    for (int c = 0; c < geo_width; ++c) {
        const float fx = static_cast<float>(c) / kx;
        const int ix = std::min(static_cast<int>(fx), width1 - 1);
        ix_of[c] = ix;
        dx_of[c] = fx - static_cast<float>(ix);
        right_of[c] = ix + 1 < width1 ? 1 : 0;
    }

    for (int r = 0; r < geo_height; ++r) {
        const float fy = static_cast<float>(r) / ky;
        const int iy = std::min(static_cast<int>(fy), height1 - 1);
        const float dy = fy - static_cast<float>(iy);
        const int u = iy * width1;
        const int l = (r == geo_height - 1 || iy + 1 >= height1) ? u : u + width1;
        unsigned char* out = dest + static_cast<std::size_t>(r) * geo_width;
        for (int c = 0; c < geo_width; ++c) {
            const int p = u + ix_of[c];
            const int q = c == geo_width - 1 ? p : l + ix_of[c];
            const float dx = dx_of[c];
            const int step = right_of[c];
            const float top = s(p) + (s(p + step) - s(p)) * dx;
            const float bottom = s(q) + (s(q + step) - s(q)) * dx;
            const float v = top + (bottom - top) * dy;
            out[c] = v >= 256.0f ? 255 : static_cast<unsigned char>(v);
        }
    }
}
} // namespace

DisplaySize display_size(int focus, int geo)
{
    if (focus || tracking)
        return { focus_side, focus_side };
    if (!binned)
        return { full_width, full_height };
    if (geo)
        return { geo_width, geo_height };
    if (Big)
        return { 564, 435 };
    return { binned_width, binned_height };
}

void setup_image(const unsigned short* source, unsigned char* dest, int focus, int geo)
{
    if (focus || tracking) {
        copy_high_bytes(source, dest, focus_side * focus_side);
        return;
    }
    if (binned && geo) {
        resample_to_camera_geometry(source, dest);
        return;
    }
    // A full frame is shown whole whatever `geo` says: the bitmap is
    // 752 x 580 then, and leaving the buffer as it was would show a stale
    // picture.
    const std::size_t count
        = binned ? static_cast<std::size_t>(binned_width) * binned_height + 4 : frame_samples;
    copy_high_bytes(source, dest, count);
}

void DisplayImage()
{
    setup_image(image, pixels_c, focus_mode, Geo);
}

std::string display_bitmap_path(bool focus_file)
{
    return data_path(focus_file ? "quillonf.bmp" : "quillon.bmp");
}

int write_bitmap(DisplayBitmap* unwritten)
{
    const unsigned short* frame = image;
    image = image_int;
    if (stretch_palette)
        find_most_pop(frame);
    const int result = write_bmp(pixels_c, pixels_bmp, focus_mode, Geo, unwritten);
    if (result >= 1 && result <= 3)
        messages(7 + result); // 8, 9, 10: create, header, pixel data
    return result;
}

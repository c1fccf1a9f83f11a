// The display bitmap reader: every rebuild reads the bitmap file back, and
// the file may have been changed or cut by anything else on the disk.
#include <cstddef>
#include <cstdint>

#include "display/bitmap_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    DisplayBitmap bitmap;
    if (parse_display_bitmap(data, size, bitmap)) {
        // Touch every pixel so a wrong size shows under the sanitizer.
        unsigned sum = 0;
        for (unsigned char level : bitmap.pixels)
            sum += level;
        if (bitmap.pixels.size() != static_cast<std::size_t>(bitmap.width) * bitmap.height)
            __builtin_trap();
        (void)sum;
    }
    return 0;
}

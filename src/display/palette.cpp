#include "display/palette.h"

PaletteEntry pallet_c[256];
PaletteEntry greyPal[256];

void build_grey_palette()
{
    for (int i = 0; i < 256; ++i) {
        const auto level = static_cast<unsigned char>(i);
        pallet_c[i] = {level, level, level, palette_reserved};
        greyPal[i] = pallet_c[i];
    }
}

// The display palettes. pallet_c and greyPal are built once at start-up.
#pragma once

struct PaletteEntry {
    unsigned char red, green, blue, flags;
};

// Palette entry flag: the entry may be animated ("reserved").
constexpr unsigned char palette_reserved = 0x01;

extern PaletteEntry pallet_c[256];
extern PaletteEntry greyPal[256];

// Entry i = grey level i with the reserved flag, copied into greyPal.
void build_grey_palette();

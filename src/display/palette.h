// The display palettes. pallet_c and greyPal are built once at start-up; the
// palette of each display bitmap is built from the display options just
// before the bitmap is written.
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

// The level table of the palette stretches: with `max_stretch` a gain set by
// `focus_stretch` (10..16 -> x48 .. x1, capped at 254); else with
// `stretch_palette` a 0.3 power curve above `most_pop`; else the identity.
void build_display_levels(unsigned char levels[256]);

// The 256 colours of the display bitmap from `colour_palette`,
// `stretch_palette`, `max_stretch`, `focus_stretch` and `most_pop`.
void build_display_palette(PaletteEntry palette[256]);

#include "display/palette.h"

#include <algorithm>
#include <cmath>

#include "app/state.h"

PaletteEntry pallet_c[256];
PaletteEntry greyPal[256];

void build_grey_palette()
{
    for (int i = 0; i < 256; ++i) {
        const auto level = static_cast<unsigned char>(i);
        pallet_c[i] = { level, level, level, palette_reserved };
        greyPal[i] = pallet_c[i];
    }
}

void build_display_levels(unsigned char levels[256])
{
    if (max_stretch) {
        static constexpr int gains[] = { 48, 32, 16, 8, 4, 2, 1 };
        // The settings dialog keeps focus_stretch in 10..16; a value read
        // from elsewhere must not index past the gains.
        const int gain = gains[std::clamp(focus_stretch, 10, 16) - 10];
        for (int i = 0; i < 256; ++i)
            levels[i] = static_cast<unsigned char>(std::min(i * gain, 254));
        return;
    }
    if (stretch_palette) {
        // Exponents as single-precision constants, arithmetic in double: the
        // curve's values (48 at one step above the background) depend on it.
        const double low = static_cast<double>(0.3f);
        const double scale = std::pow(255.0, static_cast<double>(0.7f));
        const int background = std::clamp(static_cast<int>(most_pop), 0, 255);
        for (int i = 0; i < 256; ++i) {
            if (i <= background) {
                levels[i] = 0;
                continue;
            }
            const double v = std::pow(static_cast<double>(i - background), low) * scale;
            levels[i] = static_cast<unsigned char>(std::min(255, static_cast<int>(v)));
        }
        return;
    }
    for (int i = 0; i < 256; ++i)
        levels[i] = static_cast<unsigned char>(i);
}

void build_display_palette(PaletteEntry palette[256])
{
    unsigned char levels[256];
    build_display_levels(levels);
    for (int i = 0; i < 256; ++i) {
        if (colour_palette) {
            // The maximum stretch is a grey gain only: false colour follows
            // the automatic stretch or the plain level.
            const int v = stretch_palette ? levels[i] : i;
            if (v > 240) {
                const auto grey = static_cast<unsigned char>(v);
                palette[i] = { grey, grey, grey, 0 };
                continue;
            }
            const int inverse = 255 - v;
            palette[i] = { static_cast<unsigned char>(v), static_cast<unsigned char>((v * v) / 256),
                static_cast<unsigned char>(inverse - (inverse * inverse) / 256), 0 };
            continue;
        }
        const auto grey = static_cast<unsigned char>((stretch_palette || max_stretch) ? levels[i] : i);
        palette[i] = { grey, grey, grey, 0 };
    }
}

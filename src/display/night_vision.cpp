#include "display/night_vision.h"

#include "store/text_settings.h"

bool night_vision_on()
{
    return text_setting_bool("night_vision", false);
}

void set_night_vision_setting(bool on)
{
    set_text_setting_bool("night_vision", on);
    save_text_settings();
}

NightRgb night_vision_rgb(int red, int green, int blue)
{
    // The eye's brightness of the colour, carried on red alone and held to
    // two thirds of full red: enough to read, too little to dazzle.
    const int luma = (red * 299 + green * 587 + blue * 114) / 1000;
    return { luma * 2 / 3, 0, 0 };
}

#include "telescope/guide_options.h"

#include <algorithm>

#include "store/text_settings.h"

DitherSettings DitherSettings::load()
{
    DitherSettings d;
    d.on = text_setting_bool("dither", d.on);
    d.size_px = std::clamp(text_setting_double("dither_px", d.size_px), 0.1, 5.0);
    d.settle_px = std::clamp(text_setting_double("dither_settle_px", d.settle_px), 0.05, 5.0);
    d.settle_s = std::clamp(text_setting_int("dither_settle_s", d.settle_s), 1, 600);
    d.settle_frames = std::clamp(text_setting_int("dither_settle_frames", d.settle_frames), 1, 20);
    return d;
}

void DitherSettings::store() const
{
    set_text_setting_bool("dither", on);
    set_text_setting("dither_px", size_px);
    set_text_setting("dither_settle_px", settle_px);
    set_text_setting("dither_settle_s", static_cast<double>(settle_s));
    set_text_setting("dither_settle_frames", static_cast<double>(settle_frames));
}

int cloud_wait_seconds()
{
    return std::clamp(text_setting_int("cloud_wait_s", 60), 0, 3600);
}

void set_cloud_wait_seconds(int seconds)
{
    set_text_setting("cloud_wait_s", static_cast<double>(std::clamp(seconds, 0, 3600)));
}

bool guide_graph_opens_itself()
{
    return text_setting_bool("guide_graph_auto_open", true);
}

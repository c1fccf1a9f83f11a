#include "display/image_scale.h"

#include "app/state.h"
#include "store/text_settings.h"

namespace {
// Arcseconds in a radian, over the micrometres in a millimetre.
constexpr double kArcsecPerRadianPerThousand = 206.264806;
} // namespace

double pixel_width_um(bool binned_frame)
{
    return binned_frame ? 17.2 : 8.6;
}

double pixel_height_um(bool binned_frame)
{
    return binned_frame ? 16.6 : 8.3;
}

ImageScale image_scale_for(double focal_length_mm, bool binned_frame)
{
    if (!(focal_length_mm > 0))
        return {};
    return { kArcsecPerRadianPerThousand * pixel_width_um(binned_frame) / focal_length_mm,
        kArcsecPerRadianPerThousand * pixel_height_um(binned_frame) / focal_length_mm };
}

ImageScale current_image_scale()
{
    return image_scale_for(focal_length_mm(), binned != 0);
}

double focal_length_mm()
{
    const double f = text_setting_double("focal_length", 0);
    return f > 0 ? f : 0;
}

std::string site_name()
{
    return text_setting("site");
}

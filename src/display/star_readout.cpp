#include "display/star_readout.h"

#include "display/image_scale.h"
#include "store/buffers.h"

StarMeasure picked_star_size;

StarMeasure measure_frame_star(const unsigned short* frame, int x, int y, int radius)
{
    return measure_star({ frame, width1, height1, 1.0, 65535 }, x, y, radius);
}

std::string star_readout(const StarMeasure& m, bool binned_frame)
{
    switch (m.result) {
    case StarResult::saturated:
        return "Star saturated";
    case StarResult::no_star:
        return "No star";
    case StarResult::measured:
        break;
    }
    const double scale = image_scale_for(focal_length_mm(), binned_frame).x;
    return star_size_text("HFD", m.hfd, scale) + "  " + star_size_text("FWHM", m.fwhm, scale);
}

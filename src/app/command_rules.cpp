#include "app/command_rules.h"

#include "app/state.h"
#include "display/night_vision.h"

namespace {
CommandEnabler checked_by(int flag, bool enabled = true)
{
    return { enabled, flag != 0 ? 1 : 0 };
}
} // namespace

CommandEnabler CeCopy(const WindowFacts& window)
{
    return { window.image_displayed, -1 };
}

CommandEnabler CeTelescope()
{
    return { telescope != 'n', -1 };
}

CommandEnabler CeFit(const WindowFacts& window)
{
    return checked_by(window.fit);
}

CommandEnabler CePickStar()
{
    return checked_by(pick_star);
}

// Resampling and enlarging exist only for the binned frame; the marks still
// follow the flags so the user sees what will apply again when binned.
CommandEnabler CeGeo()
{
    return checked_by(Geo, binned != 0);
}

CommandEnabler CeBig()
{
    return checked_by(Big, binned != 0);
}

CommandEnabler CeColPal()
{
    return checked_by(colour_palette);
}

CommandEnabler CeStretchPal()
{
    return checked_by(stretch_palette);
}

CommandEnabler command_enabler(int number, const WindowFacts& window)
{
    switch (number) {
    case 24359:
        return CeCopy(window);
    case 22:
    case 23:
    case 24:
        return CeTelescope();
    case 301:
        return CeFit(window);
    case 21:
        return CePickStar();
    case 303:
        return CeGeo();
    case 123:
        return CeBig();
    case 118:
        return CeColPal();
    case 119:
        return CeStretchPal();
    case 3103: // night vision
        return { true, night_vision_on() ? 1 : 0 };
    default:
        return {};
    }
}

bool command_is_checkable(int number)
{
    switch (number) {
    case 301:
    case 21:
    case 303:
    case 123:
    case 118:
    case 119:
    case 3103:
        return true;
    default:
        return false;
    }
}

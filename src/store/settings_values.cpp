#include "store/settings_values.h"

#include <algorithm>
#include <cstring>

#include "app/clock.h"
#include "app/data_root.h"
#include "app/state.h"
#include "app/text_field.h"

void set_default_back(char letter)
{
    default_back = letter;
    if (letter == 'l')
        back_r = back_g = back_b = 192;
    else if (letter == 'g')
        back_r = back_g = back_b = 90;
    else {
        back_r = 120;
        back_g = 40;
        back_b = 40;
    }
}

void swap_north_south()
{
    if (n == 'n') {
        n = 's';
        s = 'n';
    } else {
        n = 'n';
        s = 's';
    }
}

void swap_east_west()
{
    if (e == 'e') {
        e = 'w';
        w = 'e';
    } else {
        e = 'e';
        w = 'w';
    }
}

namespace {
std::string folder_for(const std::string& subdir)
{
    const std::string base = data_path("AUTOSAVE");
    return subdir.empty() ? base : base + "/" + subdir;
}
} // namespace

bool valid_auto_save_subdir(const std::string& name)
{
    if (name.size() > 79)
        return false;
    if (name.find_first_of(":\\/'\"") != std::string::npos || name.find("..") != std::string::npos)
        return false;
    if (name.find('\0') != std::string::npos)
        return false;
    return true;
}

bool set_auto_save_subdir(const std::string& name)
{
    if (!valid_auto_save_subdir(name))
        return false;
    set_text(auto_save_subdir, name);
    derive_auto_save_dir();
    return true;
}

void derive_auto_save_dir()
{
    auto_save_dir = folder_for(auto_save_subdir);
}

std::string apply_manual_values(const ManualValues& values)
{
    struct Field {
        const std::optional<int>& typed;
        int& global;
        const char* label;
        int low, high;
    };
    // Rates of at least 1 (guiding divides by them) up to what the file's
    // signed 16-bit record holds; backlash and hysteresis as the file checks.
    const Field fields[] = {
        { values.slewx, slewx, "Pixels per sec in RA", 1, 32767 },
        { values.slewy, slewy, "Pixels per sec in Dec", 1, 32767 },
        { values.backlashx, backlashx, "RA Backlash", 0, 20 },
        { values.backlashy, backlashy, "Dec Backlash", 0, 20 },
        { values.hystx, hystx, "Hysteresis in RA (0-20)", 0, 20 },
        { values.hysty, hysty, "Hysteresis in Dec (0-20)", 0, 20 },
    };
    for (const Field& f : fields)
        if (f.typed && (*f.typed < f.low || *f.typed > f.high))
            return std::string("\"") + f.label + "\" takes a whole number from " + std::to_string(f.low)
                + " to " + std::to_string(f.high) + ". None of the numbers was changed.";
    for (const Field& f : fields)
        if (f.typed)
            f.global = *f.typed;
    return {};
}

std::int64_t ut_seconds(const std::tm& local)
{
    std::tm wall = local;
    wall.tm_isdst = 0;
    // The wall-clock fields read as if they were UT, then shifted.
    return static_cast<std::int64_t>(timegm(&wall)) + static_cast<std::int64_t>(FITS_Diff) * 3600;
}

std::int64_t ut_now()
{
    return ut_seconds(program_clock().local_time());
}

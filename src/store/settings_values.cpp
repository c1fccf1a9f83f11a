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

void apply_manual_values(const ManualValues& values)
{
    auto rate = [](int v) { return std::max(v, 1); };
    auto small = [](int v) { return std::clamp(v, 0, 20); };
    if (values.slewx)
        slewx = rate(*values.slewx);
    if (values.slewy)
        slewy = rate(*values.slewy);
    if (values.backlashx)
        backlashx = small(*values.backlashx);
    if (values.backlashy)
        backlashy = small(*values.backlashy);
    if (values.hystx)
        hystx = small(*values.hystx);
    if (values.hysty)
        hysty = small(*values.hysty);
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

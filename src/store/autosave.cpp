#include "store/autosave.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <sys/stat.h>
#include <utility>

#include "app/clock.h"
#include "app/data_root.h"
#include "app/state.h"
#include "app/text_field.h"
#include "store/fits_file.h"
#include "store/settings_file.h"
#include "store/settings_values.h"
#include "telescope/guide_record.h"

namespace {
SettingsHooks installed_hooks;

int call_or_file(const std::function<int()>& hook, int (*file_operation)(const char*))
{
    return hook ? hook() : file_operation(ini_file.c_str());
}
} // namespace

int save_settings_after_autosave()
{
    return call_or_file(installed_hooks.save_after_autosave, SaveINIFile);
}

int load_settings_for_fits_text()
{
    return call_or_file(installed_hooks.load_for_fits_text, LoadINIFile);
}

int save_settings_for_fits_text()
{
    return call_or_file(installed_hooks.save_for_fits_text, SaveINIFile);
}

ScopedSettingsHooks::ScopedSettingsHooks(SettingsHooks hooks)
    : previous_(std::exchange(installed_hooks, std::move(hooks)))
{
}

ScopedSettingsHooks::~ScopedSettingsHooks()
{
    installed_hooks = std::move(previous_);
}

namespace {
constexpr int last_auto_save_number = 65530;

bool older(const timespec& a, const timespec& b)
{
    return a.tv_sec != b.tv_sec ? a.tv_sec < b.tv_sec : a.tv_nsec < b.tv_nsec;
}

bool name_is_safe(const char* name)
{
    return std::strpbrk(name, "/\\:") == nullptr && std::strstr(name, "..") == nullptr;
}

} // namespace

bool auto_save_subdir_is_safe(const char* subdir)
{
    return valid_auto_save_subdir(subdir);
}

void update_auto_save_dir()
{
    // A sub-folder that could escape the auto-save folder is never used.
    if (auto_save_subdir_is_safe(auto_save_subdir))
        derive_auto_save_dir();
    else
        auto_save_dir = data_path("AUTOSAVE");
}

std::string auto_save_path(int number)
{
    const char* stem = (auto_save_name[0] != '\0' && name_is_safe(auto_save_name)) ? auto_save_name : "IMG";
    return auto_save_dir + "/" + stem + std::to_string(number) + ".FIT";
}

int next_auto_save_number(int number)
{
    return (number >= 0 && number < last_auto_save_number) ? number + 1 : 1;
}

int next_free_auto_save_number(int number)
{
    struct stat last { };
    const bool have_last = number >= 1 && number <= last_auto_save_number
        && ::stat(auto_save_path(number).c_str(), &last) == 0;
    int candidate = next_auto_save_number(number);
    // One pass over the numbers at most: with every file present and none
    // older, the plain next number is replaced as before.
    for (int tried = 0; tried < last_auto_save_number; ++tried) {
        struct stat info { };
        if (::stat(auto_save_path(candidate).c_str(), &info) != 0)
            return candidate;
        if (have_last && older(info.st_mtim, last.st_mtim))
            return candidate;
        candidate = next_auto_save_number(candidate);
    }
    return next_auto_save_number(number);
}

void stamp_ut(std::int64_t clock_seconds)
{
    // The local zone's offset is what the clock's local wall time is ahead of
    // its seconds; local time plus FITS_Diff hours is UT.
    std::tm local = program_clock().local_time();
    const std::int64_t local_as_utc = static_cast<std::int64_t>(timegm(&local));
    const std::int64_t zone = local_as_utc - program_clock().now_seconds();
    const std::time_t ut = static_cast<std::time_t>(clock_seconds + zone + FITS_Diff * 3600LL);
    std::tm parts {};
    gmtime_r(&ut, &parts);
    char text[40];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", parts.tm_hour, parts.tm_min, parts.tm_sec);
    set_text(FITS_Time, text);
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday);
    set_text(FITS_Date, text);
}

bool frame_was_exposed()
{
    return start_exp > 0 && end_exp > 0;
}

void forget_exposure_times()
{
    start_exp = end_exp = 0;
}

bool shown_frame_is_auto_saved()
{
    return auto_save_fits && !(guiding || training || tracking || focus_mode);
}

namespace {
bool settings_failure_reported = false;
} // namespace

bool settings_failure_to_report(int auto_save_result)
{
    if (auto_save_result == 0)
        settings_failure_reported = false;
    if (auto_save_result != 3 || settings_failure_reported)
        return false;
    settings_failure_reported = true;
    return true;
}

void forget_settings_failure_report()
{
    settings_failure_reported = false;
}

int auto_save(const unsigned short* fredptr)
{
    update_auto_save_dir();
    // The number advances before the write: a failed write leaves a gap.
    // It passes over images of this cycle that the stored number does not
    // know of, so no frame already written is replaced.
    auto_save_num = next_free_auto_save_number(auto_save_num);
    const std::string path = auto_save_path(auto_save_num);
    if (frame_was_exposed()) {
        start_exp = static_cast<long>(start_exp + (end_exp - start_exp) * 0.5);
        stamp_ut(start_exp);
    } else {
        // A frame from disk (or the start-up ramp) has no exposure time of
        // this run: it is stamped with the time it was saved.
        stamp_ut(program_clock().now_seconds());
    }
    const int written = SaveFITSFile(
        path.c_str(), fredptr, FITS_Obj, FITS_Obs, FITS_Date, FITS_Tel, FITS_Ins, FITS_Com, FITS_His, 0);
    if (written != 0) {
        auto_save_failed = 1;
        return written;
    }
    note_frame_saved(path);
    if (save_settings_after_autosave() != 0)
        return 3;
    return 0;
}

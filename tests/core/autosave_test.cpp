#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "app/state.h"
#include "store/autosave.h"
#include "store/settings_file.h"
#include "store/buffers.h"
#include "store/image_io.h"
#include "test_env.h"

namespace {
std::string autosave_folder()
{
    return test_env().home + "/AUTOSAVE";
}

std::string card(const std::string& path, int number)
{
    std::vector<unsigned char> bytes;
    read_whole_file(path, bytes);
    return std::string(bytes.begin() + (number - 1) * 80, bytes.begin() + number * 80);
}

// Local clock at 2026-12-31 `hour`:`minute`:`second`, now = the clock's seconds.
void set_local_now(int hour, int minute, int second)
{
    std::tm local {};
    local.tm_year = 2026 - 1900;
    local.tm_mon = 11;
    local.tm_mday = 31;
    local.tm_hour = hour;
    local.tm_min = minute;
    local.tm_sec = second;
    test_env().clock.local = local;
}

int settings_writes = 0;
int settings_result = 0;
int counting_settings_writer()
{
    ++settings_writes;
    return settings_result;
}

struct HookGuard {
    HookGuard()
    {
        settings_writes = 0;
        settings_result = 0;
    }
    ScopedSettingsHooks hooks { { counting_settings_writer, {}, {} } };
};
} // namespace

TEST(AutoSave, NumbersAdvanceAndWrapAfterTheLast)
{
    EXPECT_EQ(next_auto_save_number(0), 1);
    EXPECT_EQ(next_auto_save_number(27), 28);
    EXPECT_EQ(next_auto_save_number(65529), 65530);
    EXPECT_EQ(next_auto_save_number(65530), 1);
    EXPECT_EQ(next_auto_save_number(-4), 1);

    HookGuard hook;
    auto_save_num = 65530;
    ASSERT_EQ(auto_save(image), 0);
    EXPECT_EQ(auto_save_num, 1);
    EXPECT_TRUE(std::filesystem::exists(autosave_folder() + "/IMG1.FIT"));
    EXPECT_EQ(std::filesystem::file_size(autosave_folder() + "/IMG1.FIT"), fits_binned_length);
    EXPECT_EQ(settings_writes, 1);
}

TEST(AutoSave, MidExposureIsStampedInUtAcrossMidnight)
{
    HookGuard hook;
    // Exposure 21:59:50 to 22:00:10 local, UT = local + 2 h.
    set_local_now(22, 0, 10);
    end_exp = static_cast<long>(test_env().clock.now_seconds());
    start_exp = end_exp - 20;
    FITS_Diff = 2;
    eightbit = 1; // the dialog's 8-bit choice does not reach auto-save
    ASSERT_EQ(auto_save(image), 0);
    EXPECT_EQ(start_exp, end_exp - 10);
    EXPECT_STREQ(FITS_Time, "00:00:00");
    EXPECT_STREQ(FITS_Date, "2027-01-01");
    const std::string path = autosave_folder() + "/IMG1.FIT";
    EXPECT_EQ(card(path, 2).substr(0, 32), "BITPIX  =                   16 /");
    EXPECT_EQ(card(path, 11).substr(0, 22), "DATE-OBS= '2027-01-01'");
    EXPECT_EQ(card(path, 12).substr(0, 20), "TIME-OBS= '00:00:00'");
}

TEST(AutoSave, NegativeDifferenceAndFourDigitYears)
{
    set_local_now(0, 30, 0);
    FITS_Diff = -1;
    stamp_ut(test_env().clock.now_seconds());
    EXPECT_STREQ(FITS_Time, "23:30:00");
    EXPECT_STREQ(FITS_Date, "2026-12-30");
    // A frame never exposed is stamped at the clock's zero: still a full year.
    FITS_Diff = 0;
    set_local_now(0, 0, 0);
    test_env().clock.local.tm_year = 70;
    test_env().clock.local.tm_mon = 0;
    test_env().clock.local.tm_mday = 1;
    test_env().clock.epoch_seconds = 0;
    test_env().clock.ms = 0;
    stamp_ut(0);
    EXPECT_STREQ(FITS_Date, "1970-01-01");
}

TEST(AutoSave, SubFolderIsCreatedAndMayNotLeaveTheFolder)
{
    HookGuard hook;
    std::strcpy(auto_save_subdir, "M31");
    ASSERT_EQ(auto_save(image), 0);
    EXPECT_TRUE(std::filesystem::exists(autosave_folder() + "/M31/IMG1.FIT"));

    for (const char* bad : { "../escape", "a/b", "c:", "x\\y", ".." }) {
        EXPECT_FALSE(auto_save_subdir_is_safe(bad)) << bad;
        std::strcpy(auto_save_subdir, bad);
        update_auto_save_dir();
        EXPECT_EQ(std::string(auto_save_dir), autosave_folder()) << bad;
    }
    EXPECT_TRUE(auto_save_subdir_is_safe("M31 night 2"));
    ASSERT_EQ(auto_save(image), 0);
    EXPECT_TRUE(std::filesystem::exists(autosave_folder() + "/IMG2.FIT"));
    EXPECT_FALSE(std::filesystem::exists(test_env().home + "/escape"));
}

TEST(AutoSave, SettingsAreWrittenOnlyAfterAGoodSave)
{
    HookGuard hook;
    // The auto-save folder is a plain file: the image cannot be written.
    std::filesystem::create_directories(test_env().home);
    {
        std::FILE* f = std::fopen(autosave_folder().c_str(), "w");
        std::fclose(f);
    }
    auto_save_num = 6;
    EXPECT_EQ(auto_save(image), 1);
    EXPECT_EQ(auto_save_num, 7); // a gap in the numbering
    EXPECT_EQ(settings_writes, 0);

    std::filesystem::remove(autosave_folder());
    settings_result = 1;
    EXPECT_EQ(auto_save(image), 3);
    EXPECT_EQ(settings_writes, 1);
    EXPECT_TRUE(std::filesystem::exists(autosave_folder() + "/IMG8.FIT"));
}

TEST(AutoSave, AGoodSaveRewritesTheSettingsSoTheNumberSurvives)
{
    auto_save_num = 41;
    ASSERT_EQ(auto_save(image), 0);
    auto_save_num = 0;
    ASSERT_EQ(LoadINIFile(ini_file.c_str()), 0);
    EXPECT_EQ(auto_save_num, 42);
}

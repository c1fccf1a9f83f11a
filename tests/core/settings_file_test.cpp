#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "app/data_root.h"
#include "app/state.h"
#include "app/text_field.h"
#include "store/settings_file.h"
#include "store/settings_startup.h"
#include "store/settings_values.h"
#include "test_env.h"

namespace {
void write_file(const std::string& path, const std::vector<unsigned char>& bytes)
{
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::string text_at(const std::vector<unsigned char>& bytes, std::size_t offset, std::size_t length)
{
    return std::string(bytes.begin() + offset, bytes.begin() + offset + length);
}

// Every stored global set away from its start value.
void set_every_field()
{
    auto_save_num = 65535;
    FITS_Diff = -7;
    fast_par = 1;
    default_port = 3;
    star_mask = 13;
    default_speed = 2;
    slewcom = '4';
    slewdefault = 4;
    set_default_back('g');
    focus_delay = 0;
    slewx = 17;
    slewy = 300;
    backlashx = 20;
    backlashy = 7;
    ignore_small = 1;
    telescope = 'b';
    disable_interrupts = 0;
    hystx = 5;
    hysty = 19;
    n = 's';
    s = 'n';
    e = 'w';
    w = 'e';
    set_text(FITS_Obj, "M42 Orion Nebula");
    set_text(FITS_Tel, "8in SCT");
    set_text(FITS_Ins, "ZQ1 + IR block");
    set_text(FITS_Obs, "A. Observer");
    set_text(FITS_Src, "Back garden");
    std::string history;
    for (int i = 0; i < 255; ++i)
        history += static_cast<char>('a' + i % 26);
    set_text(FITS_His, history);
    set_text(FITS_Com, "Thin cloud after  midnight");
    set_text(FITS_Filter, "Ha 7nm");
    FITS_Aperture = 50.27;
    FITS_Focallen = -80.5;
    FITS_SBIG = 1;
    Mk2_fast_par = 1;
    apply_correction = 0;
    Losmandy_pause = 1;
    gotcontrolbox = 1;
    Debug_Mode = 1;
    pause_secs = 20;
    ASSERT_TRUE(set_auto_save_subdir("orion-2026"));
}
} // namespace

TEST(SettingsFile, DefaultsGiveTheFixedLayout)
{
    ASSERT_EQ(SaveINIFile(ini_file.c_str()), 0);
    const auto bytes = bytes_of(ini_file);
    ASSERT_EQ(bytes.size(), 1260u);
    const std::vector<unsigned char> start = { 0, 0, 0, 0, 'n', 0, 0, 8, 0, 1, 0, 1, 0, 1, 0, 'l', '1' };
    EXPECT_EQ(std::vector<unsigned char>(bytes.begin(), bytes.begin() + 17), start);
    // slewx, slewy, backlash, flags, hysteresis, directions.
    const std::vector<unsigned char> guiding
        = { 2, 0, 2, 0, 0, 0, 0, 0, '0', 'n', '1', 0, 0, 0, 0, 'n', 's', 'e', 'w' };
    EXPECT_EQ(std::vector<unsigned char>(bytes.begin() + 17, bytes.begin() + 36), guiding);

    EXPECT_EQ(text_at(bytes, 36, 80), "OBJECT  = ''" + std::string(68, ' '));
    EXPECT_EQ(text_at(bytes, 196, 23), "INSTRUME= 'Vantrel CCD'");
    for (int part = 0; part < 4; ++part) {
        EXPECT_EQ(text_at(bytes, 436 + part * 80, 80), "HISTORY = '" + std::string(68, ' ') + "'");
        EXPECT_EQ(text_at(bytes, 756 + part * 80, 80), "COMMENT = '" + std::string(68, ' ') + "'");
    }
    EXPECT_EQ(text_at(bytes, 1076, 16), "FILTER  = 'None'");
    EXPECT_EQ(text_at(bytes, 1156, 16), std::string(16, '\0')); // aperture and focal length 0.0
    EXPECT_EQ(text_at(bytes, 1172, 6), "nnynnn");
    EXPECT_EQ(bytes[1178], 10);
    EXPECT_EQ(bytes[1179], 0);
    EXPECT_EQ(text_at(bytes, 1180, 80), std::string(1, '\0') + std::string(79, ' '));
}

TEST(SettingsFile, EveryFieldSurvivesARoundTrip)
{
    set_every_field();
    const auto saved = settings_bytes();
    ASSERT_EQ(saved.size(), settings_file_length);
    ASSERT_EQ(SaveINIFile(ini_file.c_str()), 0);
    const std::string history = FITS_His;

    reset_program_state();
    ASSERT_EQ(LoadINIFile(ini_file.c_str()), 0);

    EXPECT_EQ(auto_save_num, 65535);
    EXPECT_EQ(FITS_Diff, -7);
    EXPECT_EQ(fast_par, 1);
    EXPECT_EQ(default_port, 3);
    EXPECT_EQ(star_mask, 13);
    EXPECT_EQ(default_speed, 2);
    EXPECT_EQ(slewcom, '4');
    EXPECT_EQ(slewdefault, 4);
    EXPECT_EQ(default_back, 'g');
    EXPECT_EQ(back_r, 90);
    EXPECT_EQ(back_b, 90);
    EXPECT_EQ(focus_delay, 0);
    EXPECT_EQ(slewx, 17);
    EXPECT_EQ(slewy, 300);
    EXPECT_EQ(backlashx, 20);
    EXPECT_EQ(backlashy, 7);
    EXPECT_EQ(ignore_small, 1);
    EXPECT_EQ(telescope, 'b');
    EXPECT_EQ(disable_interrupts, 0);
    EXPECT_EQ(hystx, 5);
    EXPECT_EQ(hysty, 19);
    EXPECT_EQ(std::string({ n, s, e, w }), "snwe");
    EXPECT_STREQ(FITS_Obj, "M42 Orion Nebula");
    EXPECT_STREQ(FITS_Tel, "8in SCT");
    EXPECT_STREQ(FITS_Ins, "ZQ1 + IR block");
    EXPECT_STREQ(FITS_Obs, "A. Observer");
    EXPECT_STREQ(FITS_Src, "Back garden");
    EXPECT_EQ(std::string(FITS_His), history);
    EXPECT_STREQ(FITS_Com, "Thin cloud after  midnight");
    EXPECT_STREQ(FITS_Filter, "Ha 7nm");
    EXPECT_DOUBLE_EQ(FITS_Aperture, 50.27);
    EXPECT_DOUBLE_EQ(FITS_Focallen, -80.5);
    EXPECT_EQ(FITS_SBIG, 1);
    EXPECT_EQ(Mk2_fast_par, 1);
    EXPECT_EQ(apply_correction, 0);
    EXPECT_EQ(Losmandy_pause, 1);
    EXPECT_EQ(gotcontrolbox, 1);
    EXPECT_EQ(Debug_Mode, 1);
    EXPECT_EQ(pause_secs, 20);
    EXPECT_STREQ(auto_save_subdir, "orion-2026");
    EXPECT_EQ(std::string(auto_save_dir), data_path("AUTOSAVE") + "/orion-2026");
    // Loading and saving again gives the same bytes.
    EXPECT_EQ(settings_bytes(), saved);
}

TEST(SettingsFile, LongTextsAreSplitAndCutToTheirCards)
{
    set_text(FITS_Obj, std::string(69, 'o'));
    std::string history(100, 'h');
    history[67] = 'X';
    history[68] = 'Y';
    set_text(FITS_His, history);
    const auto bytes = settings_bytes();
    // A card holds 68 characters of a value, the quote in column 80.
    EXPECT_EQ(text_at(bytes, 36, 80), "OBJECT  = '" + std::string(68, 'o') + "'");
    EXPECT_EQ(text_at(bytes, 436, 80), "HISTORY = '" + history.substr(0, 68) + "'");
    EXPECT_EQ(text_at(bytes, 516, 80), "HISTORY = '" + history.substr(68) + std::string(36, ' ') + "'");

    ASSERT_EQ(SaveINIFile(ini_file.c_str()), 0);
    reset_program_state();
    ASSERT_EQ(LoadINIFile(ini_file.c_str()), 0);
    EXPECT_EQ(std::string(FITS_Obj), std::string(68, 'o'));
    EXPECT_EQ(std::string(FITS_His), history);
}

TEST(SettingsFile, RecordsAreEncodedAsStored)
{
    auto bytes = settings_bytes();
    bytes[11] = 7; // serial port record out of 1..4
    bytes[15] = 'x'; // unknown background letter
    bytes[16] = '7'; // focus delay other than "1"
    bytes[1172] = 'Y';
    // A quote ends the sub-folder name.
    std::memcpy(&bytes[1180], "night\"two", 9);
    bytes[1189] = 0;
    write_file(ini_file, bytes);
    ASSERT_EQ(LoadINIFile(ini_file.c_str()), 0);
    EXPECT_EQ(slewcom, '5');
    EXPECT_EQ(default_back, 'x');
    EXPECT_EQ(back_r, 120);
    EXPECT_EQ(back_g, 40);
    EXPECT_EQ(back_b, 40);
    EXPECT_EQ(focus_delay, 0);
    EXPECT_EQ(FITS_SBIG, 0);
    EXPECT_STREQ(auto_save_subdir, "night");

    // Written back: any port other than 1..4 is 5, a focus delay other than 1 is "0".
    slewcom = 'z';
    focus_delay = 2;
    const auto again = settings_bytes();
    EXPECT_EQ(again[11], 5);
    EXPECT_EQ(again[16], '0');
}

TEST(SettingsFile, ValuesThatGuidingDividesByOrReadsAroundAreKeptInRange)
{
    auto bytes = settings_bytes();
    bytes[7] = 40; // star mask
    bytes[13] = 0; // training time
    bytes[17] = 0; // RA rate
    bytes[19] = 0xFF;
    bytes[20] = 0xFF; // Dec rate -1
    write_file(ini_file, bytes);
    ASSERT_EQ(LoadINIFile(ini_file.c_str()), 0);
    EXPECT_EQ(star_mask, 15);
    EXPECT_EQ(slewdefault, 1);
    EXPECT_EQ(slewx, 1);
    EXPECT_EQ(slewy, 1);
}

TEST(SettingsFile, OutOfRangeRaBacklashTakesTheRecordsBeforeItAndRewritesTheFile)
{
    set_every_field();
    auto bytes = settings_bytes();
    bytes[21] = 25;
    bytes[22] = 0;
    write_file(ini_file, bytes);
    reset_program_state();

    ASSERT_EQ(LoadINIFile(ini_file.c_str()), 0);
    // Up to and including slewy: the file's values.
    EXPECT_EQ(auto_save_num, 65535);
    EXPECT_EQ(FITS_Diff, -7);
    EXPECT_EQ(slewcom, '4');
    EXPECT_EQ(default_back, 'g');
    EXPECT_EQ(slewx, 17);
    EXPECT_EQ(slewy, 300);
    // From the RA backlash on: the values held before.
    EXPECT_EQ(backlashx, 0);
    EXPECT_EQ(backlashy, 0);
    EXPECT_EQ(telescope, 'n');
    EXPECT_STREQ(FITS_Obj, "");
    EXPECT_EQ(pause_secs, 10);
    EXPECT_STREQ(auto_save_subdir, "");
    // The file now holds these globals.
    const auto rewritten = bytes_of(ini_file);
    EXPECT_EQ(rewritten, settings_bytes());
    EXPECT_EQ(rewritten[21], 0);
}

TEST(SettingsFile, EveryCheckedRecordIsRepaired)
{
    const struct {
        const char* what;
        std::size_t offset;
        std::string bad;
    } cases[] = {
        { "Dec backlash -1", 23, std::string("\xFF\xFF", 2) },
        { "ignore drift flag", 25, "y" },
        { "telescope interface", 26, "x" },
        { "interrupt flag", 27, "2" },
        { "directions without east and west", 32, "nsnn" },
        { "north twice", 32, "nnew" },
        { "sub-folder leading out", 1180, std::string("../etc\0", 7) },
        { "sub-folder with a path", 1180, std::string("a/b\0", 4) },
        { "sub-folder with a colon", 1180, std::string("c:x\0", 4) },
    };
    for (const auto& c : cases) {
        reset_program_state();
        telescope = 'l';
        auto bytes = settings_bytes();
        std::copy(c.bad.begin(), c.bad.end(), bytes.begin() + static_cast<long>(c.offset));
        write_file(ini_file, bytes);
        reset_program_state();
        EXPECT_EQ(LoadINIFile(ini_file.c_str()), 0) << c.what;
        EXPECT_EQ(bytes_of(ini_file), settings_bytes()) << c.what;
        EXPECT_EQ(std::string(auto_save_dir), data_path("AUTOSAVE")) << c.what;
        EXPECT_EQ(std::string({ n, s, e, w }), "nsew") << c.what;
        // Records before the bad one come from the file.
        EXPECT_EQ(telescope, c.offset > 26 ? 'l' : 'n') << c.what;
    }
    EXPECT_TRUE(test_env().host.boxes.empty());
}

TEST(SettingsFile, UnreadableFilesChangeNothing)
{
    set_every_field();
    const auto good = settings_bytes();
    reset_program_state();
    std::filesystem::create_directories(data_path("AUTOSAVE"));

    // Missing file in an existing folder.
    EXPECT_EQ(LoadINIFile(ini_file.c_str()), 2);
    EXPECT_FALSE(std::filesystem::exists(ini_file));

    // One byte short: nothing of it is taken.
    write_file(ini_file, std::vector<unsigned char>(good.begin(), good.end() - 1));
    EXPECT_EQ(LoadINIFile(ini_file.c_str()), 2);
    EXPECT_EQ(auto_save_num, 0);
    EXPECT_EQ(star_mask, 8);
    EXPECT_STREQ(FITS_Obj, "");
    EXPECT_EQ(pause_secs, 10);

    // A few bytes only.
    write_file(ini_file, { 1, 0, 0 });
    EXPECT_EQ(LoadINIFile(ini_file.c_str()), 2);
    EXPECT_EQ(auto_save_num, 0);
    EXPECT_TRUE(test_env().host.boxes.empty());

    // A speed flag other than y/n.
    auto bad_speed = good;
    bad_speed[4] = 'q';
    write_file(ini_file, bad_speed);
    EXPECT_EQ(LoadINIFile(ini_file.c_str()), 2);
    ASSERT_EQ(test_env().host.boxes.size(), 1u);
    EXPECT_EQ(test_env().host.boxes[0].text, "Failed to read fast_par value");
    EXPECT_EQ(test_env().host.boxes[0].caption, "Quillon");
    EXPECT_EQ(auto_save_num, 0);
    // Nothing rewritten.
    EXPECT_EQ(bytes_of(ini_file), bad_speed);

    // A folder where the file should be.
    std::filesystem::remove(ini_file);
    std::filesystem::create_directories(ini_file);
    EXPECT_EQ(LoadINIFile(ini_file.c_str()), 2);
    EXPECT_EQ(auto_save_num, 0);
}

TEST(SettingsFile, AMissingFolderIsMadeAndFilledWithTheCurrentValues)
{
    ASSERT_FALSE(std::filesystem::exists(data_path("AUTOSAVE")));
    auto_save_num = 12;
    EXPECT_EQ(LoadINIFile(ini_file.c_str()), 0);
    const auto bytes = bytes_of(ini_file);
    ASSERT_EQ(bytes.size(), 1260u);
    EXPECT_EQ(bytes[0], 12);
}

TEST(SettingsFile, AFolderPathThatIsAFileFailsBothWays)
{
    write_file(data_path("blocker"), { 'x' });
    ini_file = data_path("blocker/Quillon.INI");
    EXPECT_EQ(SaveINIFile(ini_file.c_str()), 3);
    EXPECT_EQ(LoadINIFile(ini_file.c_str()), 2);
    EXPECT_EQ(bytes_of(data_path("blocker")), std::vector<unsigned char> { 'x' });
}

TEST(SettingsFile, AFailedWriteLeavesTheOldFileIntact)
{
    ASSERT_EQ(SaveINIFile(ini_file.c_str()), 0);
    const auto old_bytes = bytes_of(ini_file);
    auto_save_num = 99;
    set_text(FITS_Obj, "should not arrive");

    // A full disk, as far as this process can tell: files may not grow past
    // 100 bytes. Run in a child so the limit goes with it.
    EXPECT_EQ(run_with_small_disk([] { return SaveINIFile(ini_file.c_str()); }, 100), 3);
    EXPECT_EQ(bytes_of(ini_file), old_bytes);
    // No temporary file is left beside it.
    EXPECT_EQ(files_in(data_path("AUTOSAVE")), 1);
}

TEST(SettingsFile, StartUpLoadTakesTheFileAndIgnoresFailure)
{
    load_settings_at_start(); // no folder yet: made, defaults written
    EXPECT_TRUE(std::filesystem::exists(ini_file));
    auto_save_num = 41;
    telescope = 'l';
    ASSERT_EQ(SaveINIFile(ini_file.c_str()), 0);
    reset_program_state();
    load_settings_at_start();
    EXPECT_EQ(auto_save_num, 41);
    EXPECT_EQ(telescope, 'l');
}

TEST(SettingsValues, SubFoldersStayInsideTheAutoSaveFolder)
{
    for (const char* bad : { "a\\b", "c:", "a/b", "/abs", "..", "up..", "it's", "say\"hi\"" })
        EXPECT_FALSE(valid_auto_save_subdir(bad)) << bad;
    EXPECT_FALSE(valid_auto_save_subdir(std::string(80, 'x')));
    EXPECT_FALSE(valid_auto_save_subdir(std::string("a\0b", 3)));
    for (const char* good : { "", "M42", "2026-12-07 run", "comet.c2026" })
        EXPECT_TRUE(valid_auto_save_subdir(good)) << good;

    ASSERT_TRUE(set_auto_save_subdir("M42"));
    EXPECT_EQ(std::string(auto_save_dir), data_path("AUTOSAVE") + "/M42");
    EXPECT_FALSE(set_auto_save_subdir("..\\x"));
    EXPECT_STREQ(auto_save_subdir, "M42");
    ASSERT_TRUE(set_auto_save_subdir(""));
    EXPECT_STREQ(auto_save_subdir, "");
    EXPECT_EQ(std::string(auto_save_dir), data_path("AUTOSAVE"));
}

TEST(SettingsValues, TypedGuidingNumbersOutsideWhatTheFileHoldsAreRefused)
{
    EXPECT_EQ(apply_manual_values({ 7, 300, 20, 0, 0, 20 }), "");
    EXPECT_EQ(slewx, 7);
    EXPECT_EQ(slewy, 300);
    EXPECT_EQ(backlashx, 20);
    EXPECT_EQ(hysty, 20);
    // Each value out of range is refused by name and range, and nothing of
    // the six is stored (99999 would be written as -31073 and read back as 1).
    const struct {
        ManualValues typed;
        const char* refusal;
    } cases[] = {
        { { 9, 99999, 1, 1, 1, 1 }, "\"Pixels per sec in Dec\" takes a whole number from 1 to 32767." },
        { { 0, 5, 1, 1, 1, 1 }, "\"Pixels per sec in RA\" takes a whole number from 1 to 32767." },
        { { 9, 5, 25, 1, 1, 1 }, "\"RA Backlash\" takes a whole number from 0 to 20." },
        { { 9, 5, 1, -1, 1, 1 }, "\"Dec Backlash\" takes a whole number from 0 to 20." },
        { { 9, 5, 1, 1, 35, 1 }, "\"Hysteresis in RA (0-20)\" takes a whole number from 0 to 20." },
        { { 9, 5, 1, 1, 1, 21 }, "\"Hysteresis in Dec (0-20)\" takes a whole number from 0 to 20." },
    };
    for (const auto& c : cases) {
        EXPECT_EQ(apply_manual_values(c.typed).rfind(c.refusal, 0), 0u) << c.refusal;
        EXPECT_EQ(slewx, 7);
        EXPECT_EQ(slewy, 300);
        EXPECT_EQ(backlashx, 20);
        EXPECT_EQ(backlashy, 0);
        EXPECT_EQ(hystx, 0);
        EXPECT_EQ(hysty, 20);
    }
    // A field that is not a number keeps its value.
    EXPECT_EQ(apply_manual_values({ 9, std::nullopt, std::nullopt, 3, std::nullopt, std::nullopt }), "");
    EXPECT_EQ(slewx, 9);
    EXPECT_EQ(slewy, 300);
    EXPECT_EQ(backlashy, 3);
    EXPECT_EQ(hysty, 20);
}

TEST(SettingsValues, DirectionSwapsAndBackgrounds)
{
    swap_north_south();
    EXPECT_EQ(std::string({ n, s }), "sn");
    swap_north_south();
    EXPECT_EQ(std::string({ n, s }), "ns");
    swap_east_west();
    EXPECT_EQ(std::string({ e, w }), "we");
    e = 'q';
    swap_east_west();
    EXPECT_EQ(std::string({ e, w }), "ew");

    set_default_back('r');
    EXPECT_EQ(std::vector<int>({ back_r, back_g, back_b }), std::vector<int>({ 120, 40, 40 }));
    set_default_back('l');
    EXPECT_EQ(std::vector<int>({ back_r, back_g, back_b }), std::vector<int>({ 192, 192, 192 }));
}

TEST(SettingsValues, UniversalTimeIsLocalTimePlusTheDifference)
{
    std::tm local {};
    local.tm_year = 2026 - 1900;
    local.tm_mon = 11;
    local.tm_mday = 7;
    local.tm_hour = 22;
    local.tm_min = 30;
    local.tm_isdst = 1;
    FITS_Diff = 3;
    std::time_t ut = static_cast<std::time_t>(ut_seconds(local));
    std::tm broken {};
    gmtime_r(&ut, &broken);
    // Past midnight: the date moves on.
    EXPECT_EQ(broken.tm_mday, 8);
    EXPECT_EQ(broken.tm_hour, 1);
    EXPECT_EQ(broken.tm_min, 30);

    FITS_Diff = -11;
    test_env().clock.local = local;
    ut = static_cast<std::time_t>(ut_now());
    gmtime_r(&ut, &broken);
    EXPECT_EQ(broken.tm_mday, 7);
    EXPECT_EQ(broken.tm_hour, 11);
}

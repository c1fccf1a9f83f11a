#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "display/image_scale.h"
#include "store/text_settings.h"
#include "test_env.h"

namespace {

std::string file_text()
{
    std::ifstream in(text_settings_path());
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void write_file(const std::string& text)
{
    std::ofstream(text_settings_path()) << text;
    reset_text_settings();
}

} // namespace

TEST(TextSettings, ReadsValuesCommentsAndRefusesWhatDoesNotParse)
{
    write_file("# observatory\n"
               "indi_host = scope.local  # the Pi on the pier\n"
               "indi_port=7625\n"
               "focal_length = 1000.5\n"
               "night_vision = on\n"
               "bad_int = 12abc\n"
               "just some text\n"
               "indi_port = 7626\n");
    EXPECT_EQ(text_setting("indi_host"), "scope.local");
    EXPECT_EQ(text_setting_int("indi_port", 7624), 7626) << "the last line of a key wins";
    EXPECT_DOUBLE_EQ(text_setting_double("focal_length", 0), 1000.5);
    EXPECT_TRUE(text_setting_bool("night_vision", false));
    EXPECT_EQ(text_setting_int("bad_int", 5), 5);
    EXPECT_EQ(text_setting("missing", "dflt"), "dflt");
}

TEST(TextSettings, SavingKeepsUnknownLinesAndChangesOnlyWhatWasSet)
{
    write_file("# keep me\nfuture_key = 3\nfocal_length = 800\n");
    set_text_setting("focal_length", 1200.0);
    set_text_setting("site", "back\ngarden");
    set_text_setting_bool("night_vision", true);
    ASSERT_TRUE(save_text_settings());
    EXPECT_EQ(file_text(), "# keep me\nfuture_key = 3\nfocal_length = 1200\nsite = back garden\nnight_vision = 1\n");
    reset_text_settings();
    EXPECT_EQ(text_setting("site"), "back garden") << "a newline cannot forge a second key";
}

TEST(TextSettings, AFolderInTheFilesPlaceFailsTheSaveAndKeepsTheValue)
{
    std::filesystem::create_directories(text_settings_path());
    set_text_setting("focal_length", 500.0);
    EXPECT_FALSE(save_text_settings());
    EXPECT_DOUBLE_EQ(text_setting_double("focal_length", 0), 500);
}

TEST(ImageScale, FocalLengthGivesArcsecondsPerPixelForEachGeometry)
{
    EXPECT_FALSE(current_image_scale().known()) << "no focal length set";
    set_text_setting("focal_length", 1000.0);
    const ImageScale full = image_scale_for(focal_length_mm(), false);
    EXPECT_NEAR(full.x, 1.774, 0.001);
    EXPECT_NEAR(full.y, 1.712, 0.001);
    const ImageScale bin = image_scale_for(1000, true);
    EXPECT_NEAR(bin.x, 2 * full.x, 1e-9);
    EXPECT_FALSE(image_scale_for(-5, true).known());
}

// The INDI choice and its settings: kept beside the binary settings file,
// whose readers know three interfaces.
#include <gtest/gtest.h>

#include <cstdio>

#include "app/state.h"
#include "indi/indi_link.h"
#include "indi/indi_telescope_link.h"
#include "store/settings_file.h"
#include "store/text_settings.h"
#include "test_env.h"

TEST(IndiSettings, ChoiceAndServerSurviveBothSettingsFiles)
{
    struct Case {
        char chosen;
        const char* link_setting; // what the text file holds after the save
        char binary_letter; // what the binary file's readers see
    };
    const Case cases[] = { { 'i', "indi", 'n' }, { 'l', "", 'l' }, { 'b', "", 'b' }, { 'n', "", 'n' } };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.chosen);
        telescope = c.chosen;
        set_indi_settings({ "scope.example", 7625, "EQMod Mount", "MoonLite" });
        ASSERT_EQ(SaveINIFile(ini_file.c_str()), settings_ok);
        ASSERT_TRUE(save_text_settings());
        reset_text_settings();
        EXPECT_EQ(text_setting("telescope_link"), c.link_setting);
        // The binary file alone (the text file gone) reads as its readers see it.
        const std::string conf = text_settings_path();
        std::remove(conf.c_str());
        reset_text_settings();
        telescope = 'x';
        ASSERT_EQ(LoadINIFile(ini_file.c_str()), settings_ok);
        EXPECT_EQ(telescope, c.binary_letter);
        // With the text file back, the choice returns whole.
        telescope = c.chosen;
        set_indi_settings({ "scope.example", 7625, "EQMod Mount", "MoonLite" });
        ASSERT_EQ(SaveINIFile(ini_file.c_str()), settings_ok);
        ASSERT_TRUE(save_text_settings());
        reset_text_settings();
        telescope = 'x';
        ASSERT_EQ(LoadINIFile(ini_file.c_str()), settings_ok);
        EXPECT_EQ(telescope, c.chosen);
        const IndiSettings s = indi_settings();
        EXPECT_EQ(s.host, "scope.example");
        EXPECT_EQ(s.port, 7625);
        EXPECT_EQ(s.mount, "EQMod Mount");
        EXPECT_EQ(s.focuser, "MoonLite");
    }
    // Nothing written: the defaults.
    std::remove(text_settings_path().c_str());
    reset_text_settings();
    const IndiSettings d = indi_settings();
    EXPECT_EQ(d.host, "localhost");
    EXPECT_EQ(d.port, 7624);
    EXPECT_EQ(d.mount, "");
    EXPECT_EQ(d.focuser, "");
}

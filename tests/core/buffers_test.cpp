#include <gtest/gtest.h>

#include <string>

#include "app/state.h"
#include "store/buffers.h"
#include "test_env.h"

TEST(Geometry, BinnedAndFullValues)
{
    binned = 0;
    Big = Geo = 1;
    ZQ_binned();
    EXPECT_EQ(width1, 752);
    EXPECT_EQ(height1, 580);
    EXPECT_EQ(width2, 751);
    EXPECT_EQ(height2, 579);
    EXPECT_EQ(width3, 1504);
    EXPECT_EQ(width1_10, 7520);
    EXPECT_EQ(intlength, 436164);
    EXPECT_EQ(writefile16, 27260);
    EXPECT_FLOAT_EQ(height2f, 579.0f);
    EXPECT_EQ(Big, 0);
    EXPECT_EQ(Geo, 0);

    binned = 1;
    Big = Geo = 1;
    ZQ_binned();
    EXPECT_EQ(width1, 376);
    EXPECT_EQ(height1, 290);
    EXPECT_EQ(intlength, 109044);
    EXPECT_EQ(writefile16, 6815);
    EXPECT_FLOAT_EQ(width1f, 376.0f);
    // The binned switch leaves the display flags alone.
    EXPECT_EQ(Big, 1);
    EXPECT_EQ(Geo, 1);
}

TEST(Buffers, StartupRampAndBinnedCopyStopsAtIntlength)
{
    point_buffers();
    comparison[0] = 7;
    fill_startup_ramp();
    EXPECT_EQ(image[0], 0);
    EXPECT_EQ(image[376 * 1 + 10], 225);
    EXPECT_EQ(image[376 * 289 + 375], 65025);
    EXPECT_EQ(trial[376 * 289], 65025);
    EXPECT_EQ(undo[376 * 1], 225);
    EXPECT_EQ(save[376 * 289], 0);
    EXPECT_EQ(comparison[0], 7);

    trial[intlength] = 4242;
    image[intlength - 1] = 99;
    image[intlength] = 1;
    backup_image(image, trial);
    EXPECT_EQ(trial[intlength - 1], 99);
    EXPECT_EQ(trial[intlength], 4242);
}

TEST(Undo, HistoryAppendRemoveAndLimits)
{
    EXPECT_EQ(history_count(), 0);
    remove_last_history();
    EXPECT_EQ(history_count(), 0);

    for (int i = 0; i < 16; ++i)
        append_history(("step " + std::to_string(i)).c_str());
    EXPECT_EQ(history_count(), 15);
    EXPECT_STREQ(process_info[14], "step 14");
    EXPECT_STREQ(process_info[15], "");
    // All 15 in use: removing finds no empty entry and changes nothing.
    remove_last_history();
    EXPECT_EQ(history_count(), 15);

    clear_history();
    append_history("one");
    append_history("two");
    remove_last_history();
    EXPECT_EQ(history_count(), 1);
    EXPECT_STREQ(process_info[0], "one");

    append_history(std::string(60, 'a').c_str());
    EXPECT_EQ(std::string(process_info[1]).size(), 39u);
}

TEST(Reset, RestoresCompiledInValues)
{
    binned = 0;
    ZQ_binned();
    exp_value = 30;
    telescope = 'b';
    reset_program_state();
    EXPECT_EQ(binned, 1);
    EXPECT_EQ(width1, 376);
    EXPECT_EQ(exp_value, 1);
    EXPECT_EQ(exp_range, 's');
    EXPECT_EQ(telescope, 'n');
    EXPECT_STREQ(FITS_Ins, "Vantrel CCD");
    EXPECT_EQ(ini_file, test_env().home + "/AUTOSAVE/Quillon.INI");
    EXPECT_EQ(std::string(auto_save_dir), test_env().home + "/AUTOSAVE");
}

#include <gtest/gtest.h>

#include "app/command_rules.h"
#include "app/state.h"

namespace {
const WindowFacts no_image { false, 0 };
const WindowFacts shown_image { true, 0 };
} // namespace

TEST(CommandRules, CopyNeedsADisplayedImage)
{
    EXPECT_FALSE(command_enabler(24359, no_image).enabled);
    EXPECT_TRUE(command_enabler(24359, shown_image).enabled);
    EXPECT_EQ(command_enabler(24359, shown_image).check, -1);
}

TEST(CommandRules, GuidingAndTelescopeNeedATelescopeInterface)
{
    for (int number : { 22, 23, 24 }) {
        telescope = 'n';
        EXPECT_FALSE(command_enabler(number, shown_image).enabled) << number;
        for (char kind : { 'b', 'l', 'x' }) {
            telescope = kind;
            EXPECT_TRUE(command_enabler(number, shown_image).enabled) << number << " " << kind;
        }
    }
}

TEST(CommandRules, ResampleAndEnlargeOnlyForBinnedFramesButMarksFollowTheFlags)
{
    for (int bin : { 0, 1 })
        for (int flag : { 0, 1 }) {
            binned = bin;
            Geo = flag;
            Big = 1 - flag;
            const CommandEnabler geo = command_enabler(303, shown_image);
            const CommandEnabler big = command_enabler(123, shown_image);
            EXPECT_EQ(geo.enabled, bin == 1);
            EXPECT_EQ(big.enabled, bin == 1);
            EXPECT_EQ(geo.check, flag);
            EXPECT_EQ(big.check, 1 - flag);
        }
}

TEST(CommandRules, CheckMarksFollowTheirModes)
{
    EXPECT_EQ(command_enabler(301, { true, 0 }).check, 0);
    EXPECT_EQ(command_enabler(301, { true, 1 }).check, 1);

    pick_star = 1;
    colour_palette = 0;
    stretch_palette = 1;
    EXPECT_EQ(command_enabler(21, no_image).check, 1);
    EXPECT_EQ(command_enabler(118, no_image).check, 0);
    EXPECT_EQ(command_enabler(119, no_image).check, 1);
    pick_star = 0;
    colour_palette = 1;
    stretch_palette = 0;
    EXPECT_EQ(command_enabler(21, no_image).check, 0);
    EXPECT_EQ(command_enabler(118, no_image).check, 1);
    EXPECT_EQ(command_enabler(119, no_image).check, 0);
    for (int number : { 301, 21, 118, 119 })
        EXPECT_TRUE(command_enabler(number, no_image).enabled) << number;
}

TEST(CommandRules, OnlyTheModeItemsCarryMarksAndAllOthersStayEnabled)
{
    // The state that greys the most items.
    telescope = 'n';
    binned = 0;
    for (int number :
        { 1, 2, 3, 6, 8, 9, 12, 14, 17, 25, 26, 110, 121, 726, 888, 1901, 24310, 24332, 24336 }) {
        const CommandEnabler rule = command_enabler(number, no_image);
        EXPECT_TRUE(rule.enabled) << number;
        EXPECT_EQ(rule.check, -1) << number;
        EXPECT_FALSE(command_is_checkable(number)) << number;
    }
    for (int number : { 301, 21, 303, 123, 118, 119 }) {
        EXPECT_TRUE(command_is_checkable(number)) << number;
        EXPECT_GE(command_enabler(number, no_image).check, 0) << number;
    }
}

#include <gtest/gtest.h>

#include <string>

#include "app/messages.h"
#include "test_env.h"

TEST(Messages, EveryNumberShowsItsTextUnderTheProgramCaption)
{
    // A sample of each group, the shared texts, and the numbers with no text.
    const struct {
        int number;
        const char* text;
    } cases[] = {
        {1, "Warning!\nNo INI file found, please set defaults..."},
        {2, "ZQ Interface not found.\n\nPort set to default.\n\nIf you have a ZQ Camera make sure all the cables "
            "are plugged in and it is switched on. "},
        {7, "Image not Colour Converted"},
        {25, "Image not Colour Converted"},
        {12, "Sorry, you didn't choose a valid ZQ File"},
        {19, "Unable to create/overwrite ZQ File"},
        {22, "Unable to create file, check disk space"},
        {29, "Unable to create file, check disk space"},
        {49, "Unable to create file, check disk space"},
        {33, "Sorry. Guide star lost.\n\nStar may have moved more than 10 pixels, or has different intensity to "
             "previous reading (+/-5%)"},
        {41, "You didn't choose an ZQ or a suitable FITS File"},
        {48, "Sorry, Row Plot only available in standard Geometry. Ensure Image is not stretched to fit window"},
        {51, "Guiding Terminated"},
        {55, "Telescope interface not set or camera not found"},
        {0, ""},
        {56, ""},
        {-1, ""},
        {58, ""},
        {57, "Self-guiding stopped - exposure abandoned"},
    };
    for (const auto& c : cases) {
        messages(c.number, c.number == 51 ? "ignored" : nullptr);
        const auto& box = test_env().host.boxes.back();
        EXPECT_EQ(box.text, c.text) << "message " << c.number;
        EXPECT_EQ(box.caption, "Quillon");
        EXPECT_EQ(box.buttons, BoxButtons::ok);
    }
}

TEST(Messages, AllFixedNumbersHaveText)
{
    for (int number = 1; number <= 55; ++number) {
        if (number == 50)
            continue;
        EXPECT_FALSE(message_text(number, nullptr).empty()) << number;
    }
}

TEST(Messages, FreeTextIsCutAfter498CharactersAndNotCarriedOver)
{
    const std::string long_text(600, 'x');
    messages(50, long_text.c_str());
    messages(56);
    messages(50, nullptr);
    const auto& boxes = test_env().host.boxes;
    ASSERT_EQ(boxes.size(), 3u);
    EXPECT_EQ(boxes[0].text, std::string(498, 'x'));
    EXPECT_EQ(boxes[1].text, "");
    EXPECT_EQ(boxes[2].text, "");
}

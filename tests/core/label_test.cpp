#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "app/state.h"
#include "processing/label.h"
#include "store/buffers.h"
#include "test_env.h"

namespace {

// The 10 rows of cell k as drawn, as glyph bytes.
std::vector<unsigned> drawn_cell(const unsigned short* buffer, int k)
{
    std::vector<unsigned> rows;
    for (int r = 0; r < 10; ++r) {
        unsigned bits = 0;
        for (int b = 0; b < 8; ++b) {
            const unsigned short v = buffer[at(r, 8 * k + b)];
            EXPECT_TRUE(v == 0 || v == 65535) << "cell " << k << " row " << r;
            bits = bits << 1 | (v == 65535 ? 1u : 0u);
        }
        rows.push_back(bits);
    }
    return rows;
}

void set_clock_to(int year, int month, int day, int hour, int minute, int second)
{
    std::tm& t = test_env().clock.local;
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
}
} // namespace

TEST(Label, TabledGlyphsExactly)
{
    const struct {
        char c;
        std::vector<unsigned> rows;
    } tabled[] = {
        { 'A', { 0x00, 0x3C, 0x66, 0x66, 0x7E, 0x66, 0x66, 0x66, 0x66, 0x00 } },
        { '0', { 0x00, 0x3C, 0x66, 0x6E, 0x7E, 0x76, 0x66, 0x66, 0x3C, 0x00 } },
        { '1', { 0x00, 0x18, 0x38, 0x18, 0x18, 0x18, 0x18, 0x18, 0x3C, 0x00 } },
        { 'g', { 0x00, 0x00, 0x00, 0x3E, 0x66, 0x66, 0x3E, 0x06, 0x06, 0x3C } },
        { '/', { 0x00, 0x06, 0x0C, 0x18, 0x30, 0x60, 0x00, 0x00, 0x00, 0x00 } },
        { '-', { 0x00, 0x00, 0x00, 0x00, 0x3C, 0x00, 0x00, 0x00, 0x00, 0x00 } },
        { ':', { 0x00, 0x00, 0x00, 0x38, 0x00, 0x00, 0x38, 0x00, 0x00, 0x00 } },
        { ' ', { 0, 0, 0, 0, 0, 0, 0, 0, 0, 0 } },
    };
    for (const auto& glyph : tabled) {
        const unsigned char* rows = label_glyph(glyph.c);
        ASSERT_NE(rows, nullptr) << glyph.c;
        EXPECT_EQ(std::vector<unsigned>(rows, rows + 10), glyph.rows) << glyph.c;
    }
    // Drawn: "A0g" with the date off starts in cell (64 - 3) / 2 = 30.
    do_label_image(0, "A0g", image);
    EXPECT_EQ(drawn_cell(image, 30), tabled[0].rows);
    EXPECT_EQ(drawn_cell(image, 31), tabled[1].rows);
    EXPECT_EQ(drawn_cell(image, 32), tabled[3].rows);
}

TEST(Label, FontHasSixtySixGlyphsInOneStyle)
{
    int count = 0;
    for (int c = 1; c < 256; ++c) {
        const unsigned char* rows = label_glyph(static_cast<char>(c));
        if (rows == nullptr)
            continue;
        ++count;
        EXPECT_EQ(rows[0], 0) << "row 0 blank: " << char(c);
        for (int r = 0; r < 10; ++r)
            EXPECT_EQ(rows[r] & 0x80, 0) << "left column blank: " << char(c);
        const bool descender = std::strchr("gjpqy", c) != nullptr;
        EXPECT_EQ(rows[9] != 0, descender) << "only descenders use row 9: " << char(c);
        if (c != ' ') {
            EXPECT_TRUE(std::any_of(rows, rows + 10, [](unsigned char b) { return b != 0; })) << char(c);
        }
    }
    EXPECT_EQ(count, 66);
    for (char c : std::string(".,(?_é")) {
        EXPECT_EQ(label_glyph(c), nullptr);
    }
}

TEST(Label, ThirtyCharactersAndTheClockDateMakeSixtyCells)
{
    set_clock_to(2026, 3, 7, 21, 4, 9);
    const std::string text = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcd";
    char line[256];
    label_line(1, text.c_str(), line, sizeof line);
    EXPECT_EQ(std::string(line), "     " + text + "  21:04:09 UT 07-03-2026 ");
    EXPECT_EQ(std::strlen(line), 60u);

    // Only 30 characters are taken.
    label_line(0, (text + "XYZ").c_str(), line, sizeof line);
    EXPECT_EQ(std::string(line), std::string(17, ' ') + text);

    use_full_frame();
    std::fill(image, image + frame_samples, static_cast<unsigned short>(999));
    do_label_image(1, text.c_str(), image);
    EXPECT_EQ(drawn_cell(image, 5), std::vector<unsigned>(label_glyph('A'), label_glyph('A') + 10));
    EXPECT_EQ(drawn_cell(image, 58), std::vector<unsigned>(label_glyph('6'), label_glyph('6') + 10));
    for (int k = 60; k < 94; ++k)
        EXPECT_EQ(drawn_cell(image, k), std::vector<unsigned>(10, 0)) << k;
    EXPECT_EQ(image[at(10, 0)], 999);
    EXPECT_EQ(image[at(10, 751)], 999);
}

TEST(Label, FitsDateText)
{
    std::strcpy(FITS_Time, "22:15:00");
    std::strcpy(FITS_Date, "2026-12-07");
    auto_FITS_date = 1;
    char line[256];
    label_line(1, "M42", line, sizeof line);
    EXPECT_EQ(std::string(line), std::string(18, ' ') + "M42 22:15:00 UT 2026-12-07");
}

TEST(Label, EmptyLabelAndUnknownCharacters)
{
    std::fill(image, image + frame_samples, static_cast<unsigned short>(4000));
    do_label_image(0, "", image);
    for (int i = 6; i < width1_10; ++i)
        ASSERT_EQ(image[i], 0) << i;
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(image[i], 17);
    EXPECT_TRUE(image_is_labelled(image));
    EXPECT_EQ(image[width1_10], 4000);

    // "a.(" starts in cell 30: '.' and '(' leave black cells.
    do_label_image(0, "a.(", image);
    EXPECT_NE(drawn_cell(image, 30), std::vector<unsigned>(10, 0));
    EXPECT_EQ(drawn_cell(image, 31), std::vector<unsigned>(10, 0));
    EXPECT_EQ(drawn_cell(image, 32), std::vector<unsigned>(10, 0));
}

TEST(Label, SignatureTest)
{
    image[4] = 17;
    image[5] = 17;
    EXPECT_TRUE(image_is_labelled(image));
    image[4] = 34;
    image[5] = 0;
    EXPECT_TRUE(image_is_labelled(image)); // the sum decides
    image[5] = 1;
    EXPECT_FALSE(image_is_labelled(image));
}

TEST(Label, BinnedLineIsCutAtTheRightEdge)
{
    // Binned rows hold 47 cells; a long FITS date runs past them.
    std::fill(image, image + frame_samples, static_cast<unsigned short>(4000));
    std::strcpy(FITS_Time, "22:15:00");
    std::strcpy(FITS_Date, "2026-12-07 THIS RUNS PAST THE EDGE OF A BINNED ROW");
    auto_FITS_date = 1;
    do_label_image(1, "ORION NEBULA M42 WITH A LONG NAME", image);
    for (int x = 0; x < width1; ++x)
        ASSERT_EQ(image[at(10, x)], 4000) << "row 10 column " << x;
    // The last whole cell (46) is drawn from the line.
    char line[256];
    label_line(1, "ORION NEBULA M42 WITH A LONG NAME", line, sizeof line);
    ASSERT_GT(std::strlen(line), 47u);
    const unsigned char* last = label_glyph(line[46]);
    ASSERT_NE(last, nullptr);
    EXPECT_EQ(drawn_cell(image, 46), std::vector<unsigned>(last, last + 10));
}

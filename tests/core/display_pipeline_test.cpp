#include <gtest/gtest.h>

#include <sys/resource.h>

#include <csignal>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "app/state.h"
#include "display/bitmap_file.h"
#include "display/palette.h"
#include "display/pipeline.h"
#include "store/buffers.h"
#include "test_env.h"

namespace {
std::uint32_t u32(const std::vector<unsigned char>& b, std::size_t at)
{
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}

// Runs the rebuild's core steps on `image` and reads the bitmap back.
DisplayBitmap rebuild(bool focus_file = false)
{
    DisplayImage();
    EXPECT_EQ(write_bitmap(), 0);
    DisplayBitmap bitmap;
    EXPECT_TRUE(read_display_bitmap(display_bitmap_path(focus_file), bitmap));
    return bitmap;
}

void fill_binned(unsigned short (*value)(int row, int column))
{
    for (int r = 0; r < binned_height; ++r)
        for (int c = 0; c < binned_width; ++c)
            image[r * binned_width + c] = value(r, c);
}

// Lowers the file size limit for the scope, so writes past it fail as on a
// full disk (works for any user, root included).
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        previous_signal_ = std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &saved_);
        rlimit limited = saved_;
        limited.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limited);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, previous_signal_);
    }

private:
    rlimit saved_ {};
    void (*previous_signal_)(int) = nullptr;
};
} // namespace

TEST(DisplayPalette, MaximumStretchGainByStrength)
{
    max_stretch = 1;
    focus_stretch = 14;
    PaletteEntry palette[256];
    build_display_palette(palette);
    EXPECT_EQ(palette[64].red, 254);
    EXPECT_EQ(palette[64].blue, 254);
    EXPECT_EQ(palette[10].green, 40);
    focus_stretch = 10;
    build_display_palette(palette);
    EXPECT_EQ(palette[5].red, 240);
    EXPECT_EQ(palette[6].red, 254);
    // An out-of-range strength is held to the nearest valid one.
    focus_stretch = 40;
    build_display_palette(palette);
    EXPECT_EQ(palette[200].red, 200);
}

TEST(DisplayPalette, AutomaticStretchAboveMostPopular)
{
    stretch_palette = 1;
    most_pop = 20;
    PaletteEntry palette[256];
    build_display_palette(palette);
    for (int i = 0; i <= 20; ++i)
        EXPECT_EQ(palette[i].red, 0) << i;
    EXPECT_EQ(palette[21].red, 48);
    EXPECT_EQ(palette[21].blue, 48);
    EXPECT_EQ(palette[255].green, 248);
    // The maximum stretch takes precedence over the automatic one.
    max_stretch = 1;
    focus_stretch = 16;
    build_display_palette(palette);
    EXPECT_EQ(palette[10].red, 10);
}

TEST(DisplayPalette, FalseColour)
{
    colour_palette = 1;
    PaletteEntry palette[256];
    build_display_palette(palette);
    EXPECT_EQ(palette[0].red, 0);
    EXPECT_EQ(palette[0].green, 0);
    EXPECT_EQ(palette[0].blue, 1);
    EXPECT_EQ(palette[128].red, 128);
    EXPECT_EQ(palette[128].green, 64);
    EXPECT_EQ(palette[128].blue, 127 - 63);
    EXPECT_EQ(palette[241].red, 241);
    EXPECT_EQ(palette[241].green, 241);
    EXPECT_EQ(palette[241].blue, 241);
    // The maximum stretch is a grey gain only.
    max_stretch = 1;
    build_display_palette(palette);
    EXPECT_EQ(palette[128].red, 128);
    // The automatic stretch carries over into false colour.
    max_stretch = 0;
    stretch_palette = 1;
    most_pop = 20;
    build_display_palette(palette);
    EXPECT_EQ(palette[21].red, 48);
    EXPECT_EQ(palette[20].blue, 1);
}

TEST(DisplayBitmapFile, HeaderAndBottomUpRows)
{
    fill_binned([](int r, int c) { return static_cast<unsigned short>(((r % 200) << 8) | (c & 0xFF)); });
    colour_palette = 1; // distinct red and blue show the entry byte order
    DisplayImage();
    ASSERT_EQ(write_bitmap(), 0);
    const auto b = bytes_of(display_bitmap_path(false));
    ASSERT_EQ(b.size(), 1078u + 376u * 290u);
    EXPECT_EQ(b[0], 'B');
    EXPECT_EQ(b[1], 'M');
    EXPECT_EQ(u32(b, 2), 1078u + 376u * 290u);
    EXPECT_EQ(u32(b, 6), 0u);
    EXPECT_EQ(u32(b, 10), 1078u);
    EXPECT_EQ(u32(b, 14), 40u);
    EXPECT_EQ(u32(b, 18), 376u);
    EXPECT_EQ(u32(b, 22), 290u);
    EXPECT_EQ(b[26] | b[27] << 8, 1);
    EXPECT_EQ(b[28] | b[29] << 8, 8);
    for (int i = 30; i < 54; ++i)
        EXPECT_EQ(b[i], 0) << i;
    // Entry 0 of false colour is (0, 0, 1), stored blue, green, red, 0.
    EXPECT_EQ(b[54], 1);
    EXPECT_EQ(b[55], 0);
    EXPECT_EQ(b[56], 0);
    EXPECT_EQ(b[57], 0);
    EXPECT_EQ(b[54 + 4 * 241 + 2], 241);
    // First stored row is the frame's last row (289 -> level 89).
    EXPECT_EQ(b[1078], 89);
    EXPECT_EQ(b[1078 + 375], 89);
    EXPECT_EQ(b[b.size() - 376], 0); // last stored row is the frame's first
    EXPECT_FALSE(std::filesystem::exists(display_bitmap_path(true)));
}

TEST(DisplayBitmapFile, FocusFrameGoesToItsOwnFileTopRowFirst)
{
    focus_mode = 1;
    for (int r = 0; r < 128; ++r)
        for (int c = 0; c < 128; ++c)
            image[r * 128 + c] = static_cast<unsigned short>((r + c / 64) << 8);
    const DisplayBitmap bitmap = rebuild(true);
    EXPECT_EQ(focussed, 1);
    ASSERT_EQ(bitmap.width, 128);
    ASSERT_EQ(bitmap.height, 128);
    EXPECT_EQ(bitmap.pixels[0], 0);
    EXPECT_EQ(bitmap.pixels[127 * 128 + 127], 128);
    // Stored bottom row first: the frame's first row is the last stored row.
    const auto b = bytes_of(display_bitmap_path(true));
    EXPECT_EQ(b[1078 + 127 * 128], 0);
    EXPECT_EQ(b[1078], 127);
    EXPECT_FALSE(std::filesystem::exists(display_bitmap_path(false)));
}

TEST(DisplayBitmapFile, TrainingAndTrackingUseTheFocusFile)
{
    training = 1;
    DisplayImage();
    ASSERT_EQ(write_bitmap(), 0);
    DisplayBitmap bitmap;
    ASSERT_TRUE(read_display_bitmap(display_bitmap_path(true), bitmap));
    EXPECT_EQ(bitmap.width, 376); // training keeps the frame's own layout
    training = 0;
    tracking = 1;
    focussed = 0;
    DisplayImage();
    ASSERT_EQ(write_bitmap(), 0);
    ASSERT_TRUE(read_display_bitmap(display_bitmap_path(true), bitmap));
    EXPECT_EQ(bitmap.width, 128);
    EXPECT_EQ(focussed, 1);
}

TEST(DisplayLayout, EnlargementRepeatsEveryOtherRowAndColumn)
{
    Big = 1;
    fill_binned([](int r, int) { return static_cast<unsigned short>((r % 256) << 8); });
    DisplayBitmap rows = rebuild();
    ASSERT_EQ(rows.width, 564);
    ASSERT_EQ(rows.height, 435);
    const int expected_rows[] = { 0, 1, 1, 2, 3, 3, 4, 5, 5 };
    for (int d = 0; d < 9; ++d)
        EXPECT_EQ(rows.pixels[static_cast<std::size_t>(d) * 564 + 10], expected_rows[d]) << d;
    EXPECT_EQ(rows.pixels[434u * 564], 289 % 256);

    fill_binned([](int, int c) { return static_cast<unsigned short>((c % 256) << 8); });
    image[binned_width] = 0xFF00; // the first sample of the next row
    const DisplayBitmap columns = rebuild();
    const int expected_columns[] = { 0, 1, 2, 2, 3, 4, 4, 5, 6, 6 };
    for (int c = 0; c < 10; ++c)
        EXPECT_EQ(columns.pixels[c], expected_columns[c]) << c;
    EXPECT_EQ(columns.pixels[562], 375 % 256);
    // The last column repeats the row's last sample, not the next row's first.
    EXPECT_EQ(columns.pixels[563], 375 % 256);
}

TEST(DisplayLayout, ResampleToCameraGeometry)
{
    Geo = 1;
    fill_binned([](int r, int c) { return static_cast<unsigned short>(((r * 3 + c) % 256) << 8); });
    // Samples past the frame must not leak into the picture.
    std::fill(
        image + binned_width * binned_height, image + frame_samples, static_cast<unsigned short>(0xFFFF));
    const DisplayBitmap bitmap = rebuild();
    ASSERT_EQ(bitmap.width, 564);
    ASSERT_EQ(bitmap.height, 452);
    const auto at = [&](int r, int c) {
        return static_cast<int>(bitmap.pixels[static_cast<std::size_t>(r) * 564 + c]);
    };
    EXPECT_EQ(at(0, 0), 0);
    EXPECT_EQ(at(0, 3), 2); // column 3 falls on source column 2 exactly
    EXPECT_EQ(at(0, 1), 0); // 0.667 of the way from 0 to 1, truncated
    EXPECT_EQ(at(0, 4), 2); // 2.667
    // Last row: from source row 289 alone; last column: from 375 alone.
    EXPECT_EQ(at(451, 563), (289 * 3 + 375) % 256);
    // Row 1 lies 0.64 of the way to source row 1 (+3): 0.64 x 3 = 1.9 -> 1.
    EXPECT_EQ(at(1, 0), 1);

    std::fill(image, image + intlength, static_cast<unsigned short>(0x1234));
    const DisplayBitmap flat = rebuild();
    for (unsigned char level : flat.pixels)
        ASSERT_EQ(level, 0x12);
}

TEST(DisplayLayout, FullFrameIgnoresBinnedLayouts)
{
    binned = 0;
    ZQ_binned();
    Geo = 1;
    Big = 1;
    for (std::size_t i = 0; i < frame_samples; ++i)
        image[i] = static_cast<unsigned short>(((i / full_width) % 256) << 8);
    pixels_c[0] = 99;
    const DisplayBitmap bitmap = rebuild();
    ASSERT_EQ(bitmap.width, 752);
    ASSERT_EQ(bitmap.height, 580);
    EXPECT_EQ(bitmap.pixels[0], 0);
    EXPECT_EQ(bitmap.pixels[579u * 752], 579 % 256);
}

TEST(DisplayBitmapFile, AutomaticStretchMeasuresTheShownFrame)
{
    stretch_palette = 1;
    std::fill(trial, trial + intlength, static_cast<unsigned short>(20 << 8));
    image = trial;
    DisplayImage();
    ASSERT_EQ(write_bitmap(), 0);
    EXPECT_EQ(image, image_int);
    EXPECT_EQ(most_pop, 20);
    DisplayBitmap bitmap;
    ASSERT_TRUE(read_display_bitmap(display_bitmap_path(false), bitmap));
    EXPECT_EQ(bitmap.palette[20].red, 0);
    EXPECT_EQ(bitmap.palette[21].red, 48);
}

TEST(DisplayBitmapFile, FailedWritesKeepThePreviousBitmap)
{
    std::fill(image, image + intlength, static_cast<unsigned short>(0x4000));
    DisplayImage();
    ASSERT_EQ(write_bitmap(), 0);
    const std::string path = display_bitmap_path(false);
    const auto before = bytes_of(path);

    std::fill(image, image + intlength, static_cast<unsigned short>(0x9000));
    DisplayImage();
    {
        FileSizeLimit limit(500);
        EXPECT_EQ(write_bitmap(), 2);
    }
    {
        FileSizeLimit limit(2000);
        EXPECT_EQ(write_bitmap(), 3);
    }
    {
        // The new file cannot be created: the data root lies under a plain file.
        const std::string blocker = test_env().home + "/blocker";
        std::ofstream(blocker) << "x";
        setenv("QUILLON_HOME", (blocker + "/root").c_str(), 1);
        EXPECT_EQ(write_bitmap(), 1);
        setenv("QUILLON_HOME", test_env().home.c_str(), 1);
        std::filesystem::remove(blocker);
    }

    const auto& boxes = test_env().host.boxes;
    ASSERT_EQ(boxes.size(), 3u);
    EXPECT_EQ(boxes[0].text, "Unable to create temp bitmap file header");
    EXPECT_EQ(boxes[1].text, "Unable to create temp bitmap file");
    EXPECT_EQ(boxes[2].text, "Failed to create temp bitmap");
    EXPECT_EQ(boxes[0].caption, "Quillon");
    EXPECT_EQ(bytes_of(path), before);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(test_env().home),
                  std::filesystem::directory_iterator()),
        1);
}

TEST(DisplayBitmapFile, ReaderRefusesDamagedFiles)
{
    DisplayImage();
    ASSERT_EQ(write_bitmap(), 0);
    const std::string path = display_bitmap_path(false);
    auto bytes = bytes_of(path);
    DisplayBitmap kept;
    kept.width = 7;
    const auto check_refused = [&](std::vector<unsigned char> damaged) {
        std::ofstream(path, std::ios::binary | std::ios::trunc)
            .write(
                reinterpret_cast<const char*>(damaged.data()), static_cast<std::streamsize>(damaged.size()));
        EXPECT_FALSE(read_display_bitmap(path, kept));
        EXPECT_EQ(kept.width, 7);
    };
    check_refused({ bytes.begin(), bytes.end() - 1 }); // one pixel short
    check_refused({ bytes.begin(), bytes.begin() + 40 }); // header cut
    auto compressed = bytes;
    compressed[30] = 1;
    check_refused(compressed);
    auto huge = bytes;
    huge[21] = 0x7F; // width beyond any display
    check_refused(huge);
    EXPECT_FALSE(read_display_bitmap(path + ".missing", kept));
}

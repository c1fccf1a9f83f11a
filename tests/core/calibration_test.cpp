#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "app/state.h"
#include "processing/calibration.h"
#include "processing/label.h"
#include "store/buffers.h"
#include "store/image_io.h"
#include "test_env.h"

namespace {

void fill(unsigned short* buffer, unsigned short value)
{
    std::fill(buffer, buffer + frame_samples, value);
}

std::string write_bytes(const std::string& name, const std::vector<unsigned char>& bytes)
{
    const std::string path = test_env().home + "/" + name;
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return path;
}

// A native file of the current geometry whose every sample is `value`, with
// sample 0 set to `first`.
std::string native_file(const std::string& name, unsigned short value, unsigned short first)
{
    std::vector<unsigned char> bytes(static_cast<std::size_t>(width1) * height1 * 2);
    for (std::size_t i = 0; i < bytes.size(); i += 2) {
        const unsigned short v = i == 0 ? first : value;
        bytes[i] = static_cast<unsigned char>(v & 0xFF);
        bytes[i + 1] = static_cast<unsigned char>(v >> 8);
    }
    return write_bytes(name, bytes);
}

// A FITS file in this program's fixed layout with every stored value `stored`.
std::string fits_file(const std::string& name, unsigned short stored, bool zero_offset, bool binned_axes)
{
    std::vector<unsigned char> file(fits_header_length, ' ');
    auto put = [&](int card, int column, const std::string& text) {
        std::copy(text.begin(), text.end(), file.begin() + (card - 1) * 80 + column - 1);
    };
    put(2, 29, "16");
    put(3, 30, "2");
    put(4, 28, binned_axes ? "376" : "752");
    put(5, 28, binned_axes ? "290" : "580");
    put(36, 1, zero_offset ? "BZERO   =   +0.0000000000E+00" : "BZERO   =   +3.2768000000E+04");
    const int samples = binned_axes ? 376 * 290 : 752 * 580;
    for (int i = 0; i < samples; ++i) {
        file.push_back(static_cast<unsigned char>(stored >> 8));
        file.push_back(static_cast<unsigned char>(stored & 0xFF));
    }
    file.resize(binned_axes ? fits_binned_length : fits_full_length, 0);
    return write_bytes(name, file);
}

std::vector<unsigned short> band(const unsigned short* buffer)
{
    return { buffer, buffer + width1_10 };
}
} // namespace

TEST(Calibration, SubtractClampsAtZero)
{
    image[100] = 1000, trial[100] = 400;
    image[101] = 5, trial[101] = 10;
    image[102] = 65535, trial[102] = 1;
    image[103] = 7, trial[103] = 7;
    do_subtract_image(image, trial);
    EXPECT_EQ(image[100], 600);
    EXPECT_EQ(image[101], 0);
    EXPECT_EQ(image[102], 65534);
    EXPECT_EQ(image[103], 0);
}

TEST(Calibration, AverageRoundsDown)
{
    use_full_frame();
    image[0] = 65535, trial[0] = 65534;
    image[1] = 1, trial[1] = 0;
    image[at(579, 751)] = 3, trial[at(579, 751)] = 65535;
    do_average_image(image, trial);
    EXPECT_EQ(image[0], 65534);
    EXPECT_EQ(image[1], 0);
    EXPECT_EQ(image[at(579, 751)], 32769);
}

TEST(Calibration, FlatFieldRowRules)
{
    const int row = 30;
    fill(image, 1000);
    fill(trial, 500);
    trial[at(row, 10)] = 0; // flat 0, image non-zero: unchanged
    trial[at(row, 11)] = 0; // flat 0, image 0: the level
    image[at(row, 11)] = 0;
    image[at(row, 12)] = 65535; // saturates
    trial[at(row, 12)] = 1;
    image[at(row, 13)] = 1001; // 1001 / 3 x 100.5 = 33533.5 -> 33533
    trial[at(row, 13)] = 3;
    do_flat_field(image, trial, 100.5, row);
    EXPECT_EQ(image[at(row, 0)], 1000); // columns 0, 1 and the last are left alone
    EXPECT_EQ(image[at(row, 1)], 1000);
    EXPECT_EQ(image[at(row, width2)], 1000);
    EXPECT_EQ(image[at(row, 2)], 201); // 1000 / 500 x 100.5
    EXPECT_EQ(image[at(row, width2 - 1)], 201);
    EXPECT_EQ(image[at(row, 10)], 1000);
    EXPECT_EQ(image[at(row, 11)], 100);
    EXPECT_EQ(image[at(row, 12)], 65535);
    EXPECT_EQ(image[at(row, 13)], 33533);
    EXPECT_EQ(image[at(row + 1, 5)], 1000); // one row only
}

TEST(Calibration, FlatFieldWithItselfGivesTheLevel)
{
    for (int full : { 0, 1 }) {
        if (full)
            use_full_frame();
        // Only rows 10..19, columns 5 .. width2 - 1 set the level.
        fill(trial, 5);
        for (int y = 10; y < 20; ++y)
            for (int x = 5; x < width2; ++x)
                trial[at(y, x)] = static_cast<unsigned short>(x % 2 ? 1000 : 1001);
        EXPECT_DOUBLE_EQ(flat_level(trial), 1000.5);
        for (int x = 0; x < width1; ++x)
            trial[at(40, x)] = static_cast<unsigned short>(100 + x);
        std::copy(trial, trial + frame_samples, image);
        do_flat_field(image, trial, flat_level(trial), 40);
        for (int x = 2; x < width2; ++x)
            ASSERT_EQ(image[at(40, x)], 1000) << x;
    }
}

TEST(Calibration, MergeWithEqualMarksAddsExceptTheBorders)
{
    fill(trial, 40000); // the base image
    fill(image, 30000); // the second image
    image[at(50, 60)] = 100;
    do_merge(image, trial, 20, 30, 20, 30, 0);
    EXPECT_EQ(image[at(0, 5)], 40000); // first row keeps the base
    EXPECT_EQ(image[at(5, 0)], 40000); // first column
    EXPECT_EQ(image[at(5, width2)], 40000); // last column
    EXPECT_EQ(image[at(1, 1)], 65535); // sums saturate
    EXPECT_EQ(image[at(height2, width2 - 1)], 65535);
    EXPECT_EQ(image[at(50, 60)], 40100);
    EXPECT_TRUE(std::equal(image, image + intlength, trial)); // the result is shown as the image
}

TEST(Calibration, MergeShiftsTheSecondImageAndAverages)
{
    fill(trial, 1000);
    fill(image, 0);
    image[at(52, 63)] = 3001; // marked at (63, 52) in the second image, (60, 50) in the base
    do_merge(image, trial, 60, 50, 63, 52, 1);
    EXPECT_EQ(image[at(50, 60)], 2000); // (3001 + 1000) / 2
    EXPECT_EQ(image[at(50, 61)], 500);
    // Sources that fall outside keep the base value: with dy = 2 the last two
    // rows, with dx = 3 the last four columns (source column >= width2).
    EXPECT_EQ(image[at(height2, 10)], 1000);
    EXPECT_EQ(image[at(height2 - 1, 10)], 1000);
    EXPECT_EQ(image[at(height2 - 2, 10)], 500);
    EXPECT_EQ(image[at(40, width1 - 4)], 1000);
    EXPECT_EQ(image[at(40, width1 - 5)], 500);
}

TEST(Calibration, MirrorReversesRowsAndTwiceRestores)
{
    for (int full : { 0, 1 }) {
        if (full)
            use_full_frame();
        for (int i = 0; i < width1 * height1; ++i)
            image[i] = static_cast<unsigned short>(i * 7);
        fill(trial, 42);
        const std::vector<unsigned short> before(image, image + intlength);
        mirror_image(image, trial);
        for (int y : { 0, 1, 150, height2 })
            for (int x = 0; x < width1; ++x)
                ASSERT_EQ(image[at(y, x)], before[at(y, width2 - x)]) << y << "," << x;
        // Trial holds the base image while merging: the mirror leaves it.
        EXPECT_TRUE(std::all_of(trial, trial + frame_samples, [](unsigned short v) { return v == 42; }));
        mirror_image(image, trial);
        EXPECT_TRUE(std::equal(before.begin(), before.end(), image));
    }
}

// Every width from 1 to 100 takes each way the middle of a row can end
// (blocks that meet exactly, overlap, or a short remainder); rows above
// first_row and the samples past the frame stay as they were.
TEST(Calibration, MirrorRowsMatchesPlainReversalAtEveryWidth)
{
    std::mt19937 rng(77);
    std::uniform_int_distribution<int> value(0, 65535);
    std::vector<int> widths;
    for (int w = 1; w <= 100; ++w)
        widths.push_back(w);
    for (int w : { 127, 128, 129, 376, 751, 752, 753 })
        widths.push_back(w);
    for (int w : widths)
        for (int first_row : { 0, 2 }) {
            const int height = 5;
            // Two guard rows past the frame.
            std::vector<unsigned short> frame(static_cast<std::size_t>(w) * (height + 2));
            for (auto& v : frame)
                v = static_cast<unsigned short>(value(rng));
            std::vector<unsigned short> expected = frame;
            for (int y = first_row; y < height; ++y)
                std::reverse(expected.begin() + y * w, expected.begin() + (y + 1) * w);
            mirror_rows(frame.data(), w, first_row, height);
            ASSERT_EQ(frame, expected) << "width " << w << " first row " << first_row;
        }
}

TEST(Calibration, AddImageAssemblesEvenRows)
{
    fill(image, 100);
    fill(trial, 65500);
    trial[at(2, 7)] = 5;
    do_add_image(image, trial, 0);
    EXPECT_EQ(image[at(2, 7)], 5);
    EXPECT_EQ(image[at(0, 0)], 65500);
    EXPECT_EQ(image[at(height1 - 2, width2)], 65500);
    EXPECT_EQ(image[at(1, 0)], 100); // odd rows are not written
    EXPECT_EQ(image[at(height2, 3)], 100);

    fill(image, 100);
    image[at(3, 7)] = 20;
    do_add_image(image, trial, 1);
    EXPECT_EQ(image[at(2, 7)], 25); // trial row 2 + image row 3
    EXPECT_EQ(image[at(0, 0)], 65535); // 65500 + 100 saturates
    EXPECT_EQ(image[at(1, 0)], 100);
}

TEST(Calibration, AutoRemoveNativeAndFitsDarks)
{
    // Binned native dark.
    fill(image, 1000);
    image[1] = 50;
    const std::string dark = native_file("~dark", 100, 7);
    EXPECT_EQ(auto_remove(0, dark.c_str(), undo, image, undo), 0);
    EXPECT_EQ(image[0], 993);
    EXPECT_EQ(image[1], 0); // 50 - 100 clamps at 0
    EXPECT_EQ(image[at(height2, width2)], 900);
    EXPECT_EQ(undo[0], 7);

    // Already loaded: the buffer is reused, the file not read again.
    fill(image, 1000);
    EXPECT_EQ(auto_remove(1, "/nonexistent/dark", undo, image, undo), 0);
    EXPECT_EQ(image[5], 900);

    // Full-frame FITS whose BZERO card is not the zero card: 32768 is added.
    use_full_frame();
    fill(image, 40000);
    const std::string fits = fits_file("dark.fit", 100, false, false);
    EXPECT_EQ(auto_remove(0, fits.c_str(), undo, image, undo), 0);
    EXPECT_EQ(undo[at(579, 751)], 32868);
    EXPECT_EQ(image[at(579, 751)], 40000 - 32868);

    // A dark buffer apart from the one the subtraction reads.
    fill(image, 1000);
    const std::string zero = fits_file("zero.fit", 10, true, false);
    EXPECT_EQ(auto_remove(0, zero.c_str(), save, image, undo), 0);
    EXPECT_EQ(image[3], 990);
}

TEST(Calibration, AutoFlatfieldFromRowTwo)
{
    use_full_frame();
    fill(image, 3000);
    const std::string flat = fits_file("flat.fit", 1500, true, false);
    EXPECT_EQ(auto_flatfield(0, flat.c_str(), save, image, save), 0);
    EXPECT_EQ(image[at(1, 5)], 3000); // rows 0 and 1 are left
    EXPECT_EQ(image[at(2, 5)], 3000); // 3000 / 1500 x 1500
    fill(image, 3000);
    const std::string half = native_file("~flat", 1500, 1500);
    use_full_frame();
    for (int x = 0; x < width1; ++x)
        save[at(100, x)] = 750; // a darker flat row brightens
    EXPECT_EQ(auto_flatfield(1, half.c_str(), save, image, save), 0);
    EXPECT_EQ(image[at(100, 10)], 6000);
    EXPECT_EQ(image[at(100, 1)], 3000);
}

TEST(Calibration, AutoLoadFailuresLeaveEverythingAlone)
{
    fill(image, 1234);
    fill(undo, 55);
    fill(save, 66);
    const std::string home = test_env().home;
    // Cannot open.
    EXPECT_EQ(auto_remove(0, (home + "/missing").c_str(), undo, image, undo), 11);
    EXPECT_EQ(auto_flatfield(0, (home + "/missing").c_str(), save, image, save), 11);
    // Not an image length.
    const std::string odd = write_bytes("odd", std::vector<unsigned char>(1000, 1));
    EXPECT_EQ(auto_remove(0, odd.c_str(), undo, image, undo), 12);
    // A full-size dark offered to the binned geometry, and a binned one to the full.
    const std::string full = write_bytes("~full", std::vector<unsigned char>(native_full_length, 1));
    EXPECT_EQ(auto_remove(0, full.c_str(), undo, image, undo), 12);
    const std::string small_fits = fits_file("small.fit", 5, true, true);
    use_full_frame();
    const std::string small_native
        = write_bytes("~small", std::vector<unsigned char>(native_binned_length, 1));
    EXPECT_EQ(auto_remove(0, small_native.c_str(), undo, image, undo), 12);
    EXPECT_EQ(auto_flatfield(0, small_fits.c_str(), save, image, save), 12);
    // Right length, wrong header.
    std::vector<unsigned char> bad(fits_full_length, ' ');
    EXPECT_EQ(auto_flatfield(0, write_bytes("bad.fit", bad).c_str(), save, image, save), 12);

    for (std::size_t i = 0; i < frame_samples; ++i) {
        ASSERT_EQ(image[i], 1234) << i;
        ASSERT_EQ(undo[i], 55) << i;
        ASSERT_EQ(save[i], 66) << i;
    }
}

TEST(Calibration, MergingMenuOperations)
{
    fill(image, 800);
    fill(trial, 300);
    EXPECT_TRUE(apply_merge_operation('s'));
    EXPECT_EQ(image[9], 500);
    EXPECT_STREQ(process_info[0], "Dark Frame Subtracted");

    EXPECT_TRUE(apply_merge_operation('a'));
    EXPECT_EQ(image[9], 400);
    EXPECT_EQ(history_count(), 1); // averaging adds no line

    fill(trial, 200);
    auto& recorder = test_env().host;
    EXPECT_TRUE(apply_merge_operation('f'));
    EXPECT_EQ(image[at(0, 9)], 400); // the menu's flat starts at row 1
    EXPECT_EQ(image[at(1, 9)], 400); // 400 / 200 x 200
    EXPECT_STREQ(process_info[1], "Flat Field Applied");
    EXPECT_EQ(recorder.progress_opens, 1);
    EXPECT_EQ(recorder.progress_closes, 1);
    EXPECT_EQ(recorder.progress_updates, height1 - 1);
    EXPECT_LE(progress, 256);
    EXPECT_STREQ(progress_caption, "FLAT FIELD PROGRESS");

    const std::vector<unsigned short> before(image, image + intlength);
    EXPECT_FALSE(apply_merge_operation('x'));
    EXPECT_TRUE(std::equal(before.begin(), before.end(), image));
}

TEST(Calibration, LabelledBandSurvivesEveryOperation)
{
    for (int full : { 0, 1 }) {
        if (full)
            use_full_frame();
        for (int i = 0; i < width1 * height1; ++i) {
            image[i] = static_cast<unsigned short>(20000 + i % 1000);
            trial[i] = static_cast<unsigned short>(100 + i % 300);
        }
        auto_date = 0;
        do_label_image(0, "Sky 42", image);
        const std::vector<unsigned short> label = band(image);
        ASSERT_TRUE(image_is_labelled(image));

        do_subtract_image(image, trial);
        do_average_image(image, trial);
        const std::vector<unsigned short> row10(image + at(10, 0), image + at(11, 0));
        apply_merge_operation('f');
        EXPECT_TRUE(std::equal(row10.begin(), row10.end(), image + at(10, 0))) << "the flat starts at row 11";
        mirror_image(image, trial);
        // The merge with a labelled base keeps the base's band.
        std::copy(image, image + intlength, trial);
        do_merge(image, trial, 5, 5, 5, 5, 0);
        EXPECT_EQ(band(image), label) << (full ? "full" : "binned");
        EXPECT_NE(image[at(11, 100)], 0);
    }
}

TEST(Calibration, InteractiveMergeRefusalsInOrder)
{
    photometry = 1;
    Geo = 1;
    merging = 1;
    EXPECT_EQ(merge_refusal(0), 37);
    photometry = 0;
    row_plot = 1;
    EXPECT_EQ(merge_refusal(0), 37);
    row_plot = 0;
    EXPECT_EQ(merge_refusal(0), 43);
    Geo = 0;
    EXPECT_EQ(merge_refusal(1), 43); // fitted to the window
    Big = 1;
    EXPECT_EQ(merge_refusal(0), 43);
    Big = 0;
    EXPECT_EQ(merge_refusal(0), 44);
    merging = 0;
    EXPECT_EQ(merge_refusal(0), 0);
}

TEST(Calibration, MergeWithoutMarksMergesTheFrameBuffers)
{
    // Merge pressed after opening the second image but before marking it.
    begin_merge();
    orig = 0;
    fill(image, 10);
    fill(trial, 20);
    ASSERT_EQ(extfredptr, nullptr);
    EXPECT_TRUE(finish_merge());
    EXPECT_EQ(image[at(20, 20)], 30);
}

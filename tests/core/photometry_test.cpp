#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "app/state.h"
#include "display/photometry.h"
#include "store/buffers.h"
#include "test_env.h"

namespace {
std::string write_file(const std::string& name, const std::vector<unsigned char>& bytes)
{
    const std::string path = test_env().home + "/" + name;
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return path;
}

void put_card(std::vector<unsigned char>& bytes, int card, const std::string& text)
{
    std::string padded = text;
    padded.resize(80, ' ');
    std::memcpy(bytes.data() + (card - 1) * 80, padded.data(), 80);
}

// A FITS file as this program writes it for the binned frame: the fixed
// header, big-endian samples stored with an offset of 32768.
std::vector<unsigned char> binned_fits(unsigned short value)
{
    std::vector<unsigned char> bytes(224640, ' ');
    put_card(bytes, 1, "SIMPLE  =                    T");
    put_card(bytes, 2, "BITPIX  =                   16");
    put_card(bytes, 3, "NAXIS   =                    2");
    put_card(bytes, 4, "NAXIS1  =                  376");
    put_card(bytes, 5, "NAXIS2  =                  290");
    put_card(bytes, 36, "BZERO   =   +3.2768000000E+04");
    const unsigned stored = (value + 32768u) & 0xFFFFu;
    for (std::size_t i = 0; i < 376u * 290u; ++i) {
        bytes[5760 + 2 * i] = static_cast<unsigned char>(stored >> 8);
        bytes[5760 + 2 * i + 1] = static_cast<unsigned char>(stored & 0xFF);
    }
    return bytes;
}

std::vector<unsigned char> binned_native(unsigned short value)
{
    std::vector<unsigned char> bytes(218080);
    for (std::size_t i = 0; i < bytes.size() / 2; ++i) {
        bytes[2 * i] = static_cast<unsigned char>(value & 0xFF);
        bytes[2 * i + 1] = static_cast<unsigned char>(value >> 8);
    }
    return bytes;
}
} // namespace

TEST(Photometry, MagnitudeDifference)
{
    double dm = 0.0;
    ASSERT_TRUE(magnitude_difference(40000, 10000, 0, &dm));
    EXPECT_NEAR(dm, -1.50515, 1e-4);
    // No logarithm of zero or of a negative ratio.
    EXPECT_FALSE(magnitude_difference(500, 10000, 500, &dm));
    EXPECT_FALSE(magnitude_difference(40000, 300, 500, &dm));
    EXPECT_FALSE(magnitude_difference(0, 10000, 0, &dm));
}

TEST(Photometry, ReadoutShowsLevelsAndMagnitude)
{
    photometry_start();
    obj_val = 40000;
    comp_val = 10000;
    most_pop = 20;
    auto shown = photometry_readout();
    EXPECT_EQ(shown.magnitude, "-1.51");
    EXPECT_EQ(shown.obj_level, "    493"); // 40000 / 81
    EXPECT_EQ(shown.comp_level, "    123");
    // Before a background click the image's common level is shown, while the
    // magnitude still uses a background of 0.
    EXPECT_EQ(shown.back_level, "   5120");

    back_select = 1;
    back_val = 40000;
    shown = photometry_readout();
    EXPECT_EQ(shown.back_level, "    493");
    EXPECT_EQ(shown.magnitude, "");
}

TEST(Photometry, ChangingTheApertureClearsTheMeasurements)
{
    photometry_start();
    ph_object = 'o';
    record_measurement(10, 20, 40000);
    ph_object = 'c';
    record_measurement(30, 40, 10000);
    ph_object = 'b';
    record_measurement(50, 60, 100);
    EXPECT_EQ(obj_x, 10);
    EXPECT_EQ(comp_y, 40);
    EXPECT_EQ(back_val, 100u);
    set_aperture(6);
    EXPECT_EQ(cur_rad, 6);
    EXPECT_EQ(obj_val + comp_val + back_val, 0u);
    EXPECT_EQ(obj_x + comp_y + back_x, 0);
    EXPECT_EQ(photometry_readout().magnitude, "");
    EXPECT_EQ(aperture_button(6), 118);
    EXPECT_EQ(aperture_button(0), 117);
    EXPECT_EQ(aperture_button(5), 117);
    EXPECT_EQ(object_button('b'), 103);
}

TEST(Photometry, ApertureSumCoversTheSquare)
{
    std::fill(image_int, image_int + frame_samples, static_cast<unsigned short>(1));
    image_int[100 * width1 + 100] = 1001;
    EXPECT_EQ(aperture_sum(image_int, 100, 100, 4), 81u + 1000u);
    EXPECT_EQ(aperture_sum(image_int, 104, 100, 4), 81u + 1000u);
    EXPECT_EQ(aperture_sum(image_int, 105, 100, 4), 81u);
    EXPECT_EQ(aperture_sum(image_int, 100, 100, 0), 1001u);
    // Only samples inside the frame count.
    EXPECT_EQ(aperture_sum(image_int, 0, 0, 2), 9u);
}

TEST(ComparisonFile, LoadsNativeAndFits)
{
    ComparisonFileName = write_file("cmp.zq1", binned_native(1234));
    EXPECT_EQ(load_comparison_file(comparison_int, comparison_int), 0);
    EXPECT_EQ(comparison_int[0], 1234);
    EXPECT_EQ(comparison_int[376 * 290 - 1], 1234);

    ComparisonFileName = write_file("cmp.fit", binned_fits(4321));
    EXPECT_EQ(load_comparison_file(comparison_int, comparison_int), 0);
    EXPECT_EQ(comparison_int[0], 4321);
    EXPECT_EQ(comparison_int[376 * 290 - 1], 4321);
}

TEST(ComparisonFile, FailuresLeaveTheBufferAlone)
{
    std::fill(comparison_int, comparison_int + frame_samples, static_cast<unsigned short>(7));

    ComparisonFileName = test_env().home + "/missing.zq1";
    EXPECT_EQ(load_comparison_file(comparison_int, comparison_int), 11);

    ComparisonFileName = write_file("short.zq1", std::vector<unsigned char>(1000, 1));
    EXPECT_EQ(load_comparison_file(comparison_int, comparison_int), 12);

    // A binned file while the display is unbinned.
    ComparisonFileName = write_file("small.zq1", binned_native(99));
    binned = 0;
    ZQ_binned();
    EXPECT_EQ(load_comparison_file(comparison_int, comparison_int), 12);
    binned = 1;
    ZQ_binned();

    auto fits = binned_fits(99);
    put_card(fits, 2, "BITPIX  =                    8");
    ComparisonFileName = write_file("bad.fit", fits);
    EXPECT_EQ(load_comparison_file(comparison_int, comparison_int), 12);

    EXPECT_TRUE(
        std::all_of(comparison_int, comparison_int + frame_samples, [](unsigned short v) { return v == 7; }));
}

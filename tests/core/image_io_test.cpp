#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "app/state.h"
#include "store/buffers.h"
#include "store/image_io.h"
#include "test_env.h"

namespace {
std::string write_bytes(const std::string& name, const std::vector<unsigned char>& bytes)
{
    const std::string path = test_env().home + "/" + name;
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                static_cast<std::streamsize>(bytes.size()));
    return path;
}

// A header of 72 blank cards carrying just the fields the loader checks.
std::vector<unsigned char> fits_header(const char* width, const char* height, bool zero_offset)
{
    std::vector<unsigned char> header(fits_header_length, ' ');
    auto put = [&](int card, int column, const std::string& text) {
        std::copy(text.begin(), text.end(), header.begin() + (card - 1) * 80 + column - 1);
    };
    put(2, 29, "16");
    put(3, 30, "2");
    put(4, 28, width);
    put(5, 28, height);
    put(36, 1, zero_offset ? "BZERO   =   +0.0000000000E+00" : "BZERO   =   +3.2768000000E+04");
    return header;
}
} // namespace

TEST(ImageIo, LengthsAreRecognisedExactly)
{
    EXPECT_EQ(kind_for_length(218080), ImageFileKind::native_binned);
    EXPECT_EQ(kind_for_length(872320), ImageFileKind::native_full);
    EXPECT_EQ(kind_for_length(224640), ImageFileKind::fits_binned);
    EXPECT_EQ(kind_for_length(878880), ImageFileKind::fits_full);
    EXPECT_EQ(kind_for_length(872321), ImageFileKind::unknown);
    EXPECT_EQ(kind_for_length(0), ImageFileKind::unknown);
}

TEST(ImageIo, SecondImageNativeAndFitsWithBothOffsets)
{
    std::vector<unsigned char> native(native_binned_length, 0);
    native[0] = 0x34;
    native[1] = 0x12;
    native[native.size() - 2] = 0xFF;
    native[native.size() - 1] = 0xFF;
    EXPECT_EQ(trial_load(trial, trial, write_bytes("a~", native).c_str()), 0);
    EXPECT_EQ(trial[0], 0x1234);
    EXPECT_EQ(trial[376 * 290 - 1], 65535);

    for (bool zero : {true, false}) {
        auto file = fits_header("376", "290", zero);
        std::vector<unsigned char> data(native_binned_length, 0);
        data[0] = 0x80; // big-endian 0x8000
        data[3] = 0x05; // sample 1 = 5
        file.insert(file.end(), data.begin(), data.end());
        file.resize(fits_binned_length, 0); // the zero trailer
        ASSERT_EQ(file.size(), fits_binned_length);
        ASSERT_EQ(trial_load(trial, trial, write_bytes("b.fit", file).c_str()), 0);
        EXPECT_EQ(trial[0], zero ? 0x8000 : 0);
        EXPECT_EQ(trial[1], zero ? 5 : 32773);
    }
}

TEST(ImageIo, SecondImageRefusalsLeaveTheBufferAlone)
{
    trial[0] = 777;
    EXPECT_EQ(trial_load(trial, trial, (test_env().home + "/missing").c_str()), 1);
    // A full-size file into the binned geometry.
    EXPECT_EQ(trial_load(trial, trial, write_bytes("full~", std::vector<unsigned char>(872320, 1)).c_str()), 2);
    EXPECT_EQ(trial_load(trial, trial, write_bytes("odd", std::vector<unsigned char>(1000, 1)).c_str()), 2);
    auto wrong = fits_header("752", "580", true);
    wrong.resize(fits_binned_length, 1);
    EXPECT_EQ(trial_load(trial, trial, write_bytes("c.fit", wrong).c_str()), 12);
    EXPECT_EQ(trial[0], 777);
    EXPECT_EQ(binned, 1);
    EXPECT_EQ(width1, 376);
}

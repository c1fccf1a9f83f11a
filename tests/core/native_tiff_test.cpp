#include <gtest/gtest.h>

#include <tiffio.h>

#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "app/state.h"
#include "store/buffers.h"
#include "store/fits_file.h"
#include "store/image_io.h"
#include "store/native_file.h"
#include "store/tiff_file.h"
#include "test_env.h"

namespace {

void use_geometry(bool small)
{
    binned = small ? 1 : 0;
    binned21 = small ? 0 : 1;
    ZQ_binned();
}

std::uint32_t u32_at(const std::vector<unsigned char>& b, std::size_t at)
{
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<std::uint32_t>(b[at + 3]) << 24);
}
} // namespace

TEST(NativeFile, BinnedFileSwitchesGeometryAndFillsTheFrame)
{
    use_geometry(false);
    highres_intl = 1;
    std::strcpy(FITS_Obj, "old object");
    append_history("Old step");
    std::vector<unsigned char> bytes(native_binned_length, 0);
    bytes[0] = 0x34;
    bytes[1] = 0x12;
    bytes[bytes.size() - 2] = 0xFF;
    bytes[bytes.size() - 1] = 0xFF;
    std::ofstream(home_path("~small"), std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    image[109040] = 4242; // beyond the binned frame: untouched

    ASSERT_EQ(load_image_file(home_path("~small").c_str(), image), ImageLoad::ok);
    EXPECT_EQ(binned, 1);
    EXPECT_EQ(highres_intl, 0);
    EXPECT_EQ(width1, 376);
    EXPECT_EQ(height1, 290);
    EXPECT_EQ(image[0], 0x1234);
    EXPECT_EQ(image[109039], 65535);
    EXPECT_EQ(image[109040], 4242);
    // A raw file has no details of its own.
    EXPECT_STREQ(FITS_Obj, "");
    EXPECT_EQ(history_count(), 0);
}

TEST(NativeFile, WrongLengthOrMissingFileIsRefusedWithoutChange)
{
    use_geometry(true);
    std::strcpy(FITS_Obj, "kept");
    image[0] = 99;
    std::ofstream(home_path("odd"), std::ios::binary) << std::string(872321, 'a');
    EXPECT_EQ(load_image_file(home_path("odd").c_str(), image), ImageLoad::not_image_file);
    EXPECT_EQ(load_image_file(home_path("missing").c_str(), image), ImageLoad::not_image_file);
    EXPECT_EQ(width1, 376);
    EXPECT_EQ(image[0], 99);
    EXPECT_STREQ(FITS_Obj, "kept");
}

TEST(NativeFile, SaveAndReloadBothGeometries)
{
    for (bool small : { true, false }) {
        use_geometry(small);
        const int count = width1 * height1;
        for (int i = 0; i < count; ++i)
            image[i] = static_cast<unsigned short>(65535 - i);
        const std::string path = home_path("~frame");
        ASSERT_EQ(save_native_file(path.c_str(), image), NativeSave::ok);
        const auto bytes = bytes_of(path);
        ASSERT_EQ(bytes.size(), small ? 218080u : 872320u);
        EXPECT_EQ(bytes[0], 0xFF); // least significant byte first
        EXPECT_EQ(bytes[2], 0xFE);
        EXPECT_EQ(bytes[3], 0xFF);
        const std::vector<unsigned short> written(image, image + count);
        use_geometry(!small);
        std::fill(image, image + frame_samples, 0);
        ASSERT_EQ(load_image_file(path.c_str(), image), ImageLoad::ok);
        EXPECT_EQ(binned, small ? 1 : 0);
        EXPECT_TRUE(std::equal(written.begin(), written.end(), image));
    }
}

TEST(NativeFile, SaveIntoMissingFolderFailsAtCreate)
{
    EXPECT_EQ(save_native_file(home_path("no/such/folder/~x").c_str(), image), NativeSave::cannot_create);
}

TEST(TiffFile, BinnedLayoutByteForByte)
{
    use_geometry(true);
    image[0] = 0x12FF;
    image[1] = 255;
    const std::string path = home_path("b.tif");
    ASSERT_EQ(SaveTifFile(path.c_str(), image), 0);
    const auto b = bytes_of(path);
    ASSERT_EQ(b.size(), 109286u);
    EXPECT_EQ(std::string(b.begin(), b.begin() + 2), "II");
    EXPECT_EQ(b[2], 42);
    EXPECT_EQ(u32_at(b, 4), 8u);
    EXPECT_EQ(b[8], 13);
    // Entry 0: NewSubfileType; entry 6: StripOffsets pointing at 186.
    EXPECT_EQ(b[10] | (b[11] << 8), 254);
    EXPECT_EQ(b[10 + 6 * 12] | (b[11 + 6 * 12] << 8), 273);
    EXPECT_EQ(u32_at(b, 10 + 6 * 12 + 8), 186u);
    EXPECT_EQ(u32_at(b, 166), 0u);
    EXPECT_EQ(u32_at(b, 170), 510u);
    EXPECT_EQ(u32_at(b, 174), 6u);
    EXPECT_EQ(u32_at(b, 178), 256u);
    EXPECT_EQ(u32_at(b, 186), 246u);
    EXPECT_EQ(u32_at(b, 190), 11150u);
    EXPECT_EQ(u32_at(b, 186 + 9 * 4), 98382u);
    EXPECT_EQ(b[226] | (b[227] << 8), 10904);
    EXPECT_EQ(b[246], 0x12);
    EXPECT_EQ(b[247], 0);
}

TEST(TiffFile, StandardReaderGetsGeometryAndPixels)
{
    for (bool small : { false, true }) {
        use_geometry(small);
        const int count = width1 * height1;
        for (int i = 0; i < count; ++i)
            image[i] = static_cast<unsigned short>(i * 97);
        const std::string path = home_path("t.tif");
        // An existing file of the name is replaced.
        std::ofstream(path) << "old contents";
        ASSERT_EQ(SaveTifFile(path.c_str(), image), 0);
        EXPECT_EQ(bytes_of(path).size(), small ? 109286u : 436406u);

        TIFFSetWarningHandler(nullptr);
        TIFF* tif = TIFFOpen(path.c_str(), "r");
        ASSERT_NE(tif, nullptr);
        std::uint32_t w = 0, h = 0, rows = 0;
        std::uint16_t bits = 0, spp = 0;
        TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &w);
        TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &h);
        TIFFGetField(tif, TIFFTAG_ROWSPERSTRIP, &rows);
        TIFFGetField(tif, TIFFTAG_BITSPERSAMPLE, &bits);
        TIFFGetField(tif, TIFFTAG_SAMPLESPERPIXEL, &spp);
        EXPECT_EQ(w, static_cast<std::uint32_t>(width1));
        EXPECT_EQ(h, static_cast<std::uint32_t>(height1));
        EXPECT_EQ(rows, small ? 29u : 58u);
        EXPECT_EQ(bits, 8);
        EXPECT_EQ(spp, 1);
        EXPECT_EQ(TIFFNumberOfStrips(tif), 10u);
        std::vector<unsigned char> row(TIFFScanlineSize(tif));
        for (std::uint32_t r = 0; r < h; ++r) {
            ASSERT_EQ(TIFFReadScanline(tif, row.data(), r, 0), 1);
            for (std::uint32_t c = 0; c < w; ++c)
                ASSERT_EQ(row[c], image[r * w + c] >> 8) << r << "," << c;
        }
        TIFFClose(tif);
    }
}

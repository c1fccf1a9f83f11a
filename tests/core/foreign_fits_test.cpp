// FITS files written by another program (here cfitsio): standard lengths,
// cards in their own order, signed or offset data.
#include <gtest/gtest.h>

#include <fitsio.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "app/state.h"
#include "processing/calibration.h"
#include "store/buffers.h"
#include "store/fits_file.h"
#include "store/image_io.h"
#include "store/native_file.h"
#include "test_env.h"

namespace {

struct Written {
    std::string path;
    std::vector<long> stored; // the physical values cfitsio was given
};

// A frame of `width` x `height` written by cfitsio as unsigned (BZERO 32768)
// or signed (no BZERO) 16-bit data. `cards` extra keywords push END into the
// second header block, as many programs' headers are.
Written write_with_cfitsio(const std::string& name, long width, long height, bool unsigned_data, int cards,
    const char* bscale = nullptr)
{
    Written out { home_path(name), {} };
    std::filesystem::remove(out.path);
    fitsfile* fits = nullptr;
    int status = 0;
    fits_create_file(&fits, out.path.c_str(), &status);
    long axes[2] = { width, height };
    fits_create_img(fits, unsigned_data ? USHORT_IMG : SHORT_IMG, 2, axes, &status);
    char object[] = "NGC 7000", date[] = "2026-12-08T21:30:00";
    double exptime = 30.5;
    fits_write_key(fits, TSTRING, "OBJECT", object, "target", &status);
    fits_write_key(fits, TSTRING, "DATE-OBS", date, nullptr, &status);
    fits_write_key(fits, TDOUBLE, "EXPTIME", &exptime, "seconds", &status);
    fits_write_history(fits, "Dark subtracted elsewhere", &status);
    for (int i = 0; i < cards; ++i) {
        long value = i;
        fits_write_key(fits, TLONG, ("EXTRA" + std::to_string(i)).c_str(), &value, nullptr, &status);
    }
    if (bscale != nullptr)
        fits_update_card(fits, "BSCALE", bscale, &status);
    const long count = width * height;
    out.stored.resize(count);
    std::vector<long> pixels(count);
    for (long i = 0; i < count; ++i) {
        // Both ends of the range, then a ramp.
        const long low = unsigned_data ? 0 : -32768;
        const long edges[] = { low, low + 1, 0, 1, 32767, unsigned_data ? 65535 : -1 };
        out.stored[i] = i < 6 ? edges[i] : low + (i * 37) % (unsigned_data ? 65536 : 65536);
        pixels[i] = out.stored[i];
    }
    long first[2] = { 1, 1 };
    fits_write_pix(fits, TLONG, first, count, pixels.data(), &status);
    fits_close_file(fits, &status);
    EXPECT_EQ(status, 0);
    return out;
}

// What the program keeps of a physical value: 0 .. 65,535.
unsigned short kept(long value)
{
    return static_cast<unsigned short>(std::clamp(value, 0L, 65535L));
}

void expect_samples(const unsigned short* samples, const Written& file)
{
    for (std::size_t i = 0; i < file.stored.size(); ++i)
        ASSERT_EQ(samples[i], kept(file.stored[i])) << i;
}

} // namespace

TEST(ForeignFits, StandardLengthFramesOpenWithTheirValues)
{
    struct Case {
        const char* name;
        bool small;
        bool unsigned_data;
        std::uintmax_t length;
    };
    const Case cases[] = {
        { "full_unsigned.fits", false, true, fits_full_standard_length },
        { "full_signed.fits", false, false, fits_full_standard_length },
        { "binned_unsigned.fits", true, true, fits_binned_length },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Written file = write_with_cfitsio(c.name, c.small ? 376 : 752, c.small ? 290 : 580,
            c.unsigned_data, 40);
        ASSERT_EQ(std::filesystem::file_size(file.path), c.length);

        // Start from the other geometry: the open switches to the file's.
        use_full_frame();
        binned = c.small ? 0 : 1;
        binned21 = c.small ? 1 : 0;
        ZQ_binned();
        FITS_SBIG = c.unsigned_data ? 1 : 0;
        ASSERT_EQ(load_image_file(file.path.c_str(), image), ImageLoad::ok);
        EXPECT_EQ(binned, c.small ? 1 : 0);
        EXPECT_EQ(width1, c.small ? 376 : 752);
        expect_samples(image, file);
        EXPECT_STREQ(FITS_Obj, "NGC 7000");
        EXPECT_STREQ(FITS_Date, "2026-12-08T21:30:00");
        EXPECT_DOUBLE_EQ(FITS_Exptime, 30.5);
        EXPECT_STREQ(FITS_His, "Dark subtracted elsewhere");
        EXPECT_EQ(FITS_SBIG, c.unsigned_data ? 0 : 1);

        // The reader of the current geometry, the dark and the merge take it too.
        std::fill(image, image + intlength, 1);
        ASSERT_EQ(LoadFITSFile(file.path.c_str(), 3, image), 0);
        expect_samples(image, file);
        ASSERT_EQ(load_calibration_file(file.path.c_str(), undo), calibration_ok);
        expect_samples(undo, file);
        ASSERT_EQ(trial_load(trial, trial, file.path.c_str()), 0);
        expect_samples(trial, file);

        // Saved again, it is this program's file of this program's length.
        const std::string again = home_path("again.fit");
        ASSERT_EQ(SaveFITSFile(again.c_str(), image, FITS_Obj, FITS_Obs, FITS_Date, FITS_Tel, FITS_Ins, FITS_Com,
                      FITS_His, 0),
            0);
        EXPECT_EQ(std::filesystem::file_size(again), c.small ? fits_binned_length : fits_full_length);
        std::fill(image, image + intlength, 1);
        ASSERT_EQ(load_image_file(again.c_str(), image), ImageLoad::ok);
        expect_samples(image, file);
    }
}

TEST(ForeignFits, FilesThatCannotBeReadRightAreRefusedAndChangeNothing)
{
    use_full_frame();
    std::strcpy(FITS_Obj, "kept");
    std::fill(image, image + intlength, 77);
    const auto unchanged = [] {
        EXPECT_STREQ(FITS_Obj, "kept");
        EXPECT_EQ(image[0], 77);
        EXPECT_EQ(image[intlength - 1], 77);
    };

    // A one-block header: a length no loader knows.
    const Written short_header = write_with_cfitsio("one_block.fits", 752, 580, true, 0);
    EXPECT_EQ(std::filesystem::file_size(short_header.path), 875520u);
    EXPECT_EQ(load_image_file(short_header.path.c_str(), image), ImageLoad::not_image_file);
    unchanged();

    // Grown to the standard length, its data would be read a block late.
    std::vector<unsigned char> bytes = bytes_of(short_header.path);
    bytes.resize(fits_full_standard_length, 0);
    const std::string grown = home_path("grown.fits");
    FILE* out = std::fopen(grown.c_str(), "wb");
    std::fwrite(bytes.data(), 1, bytes.size(), out);
    std::fclose(out);
    EXPECT_EQ(load_image_file(grown.c_str(), image), ImageLoad::fits_foreign);
    unchanged();

    // Scaled data has values the frame cannot hold.
    const Written scaled = write_with_cfitsio("scaled.fits", 752, 580, false, 40, "BSCALE  =  2.0");
    EXPECT_EQ(load_image_file(scaled.path.c_str(), image), ImageLoad::fits_foreign);
    EXPECT_EQ(load_calibration_file(scaled.path.c_str(), image), calibration_bad_file);
    unchanged();

    // A full frame as a dark for binned frames.
    const Written full = write_with_cfitsio("full.fits", 752, 580, true, 40);
    binned = 1;
    binned21 = 0;
    ZQ_binned();
    EXPECT_EQ(trial_load(trial, trial, full.path.c_str()), 2);
}

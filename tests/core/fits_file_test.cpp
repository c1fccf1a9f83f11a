#include <gtest/gtest.h>

#include <fitsio.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/state.h"
#include "store/buffers.h"
#include "store/fits_file.h"
#include "store/image_io.h"
#include "store/native_file.h"
#include "test_env.h"

namespace {

std::string card(const std::vector<unsigned char>& file, int number)
{
    return std::string(file.begin() + (number - 1) * 80, file.begin() + number * 80);
}

void use_geometry(bool small)
{
    binned = small ? 1 : 0;
    binned21 = small ? 0 : 1;
    ZQ_binned();
}

// Edges first: 0, 1, 32767, 32768, 65280, 65535 at the corners, a ramp elsewhere.
void fill_test_frame()
{
    const int count = width1 * height1;
    for (int i = 0; i < count; ++i)
        image[i] = static_cast<unsigned short>(i * 37);
    const unsigned short edges[] = { 0, 1, 32767, 32768, 65280, 65535 };
    for (int k = 0; k < 6; ++k)
        image[k] = edges[k];
    image[count - 1] = 65535;
    image[count - 2] = 0;
}

int save_with_globals(const std::string& path, int eight = 0)
{
    return SaveFITSFile(
        path.c_str(), image, FITS_Obj, FITS_Obs, FITS_Date, FITS_Tel, FITS_Ins, FITS_Com, FITS_His, eight);
}

void set_details()
{
    std::strcpy(FITS_Obj, "M31");
    std::strcpy(FITS_Obs, "A. Observer");
    std::strcpy(FITS_Date, "2026-12-07");
    std::strcpy(FITS_Time, "22:15:03");
    std::strcpy(FITS_Src, "Backyard");
    std::strcpy(FITS_Tel, "8in SCT");
    std::strcpy(FITS_Filter, "Red");
    FITS_Exptime = 120.0;
    FITS_Focallen = 80.0;
    FITS_Aperture = 50.25;
    append_history("Dark Frame Subtracted");
}

std::string run_fitsverify(const std::string& path)
{
    const std::string command = "/usr/bin/fitsverify -e '" + path + "' 2>&1";
    std::string output;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char line[512];
        while (std::fgets(line, sizeof line, pipe))
            output += line;
        pclose(pipe);
    }
    return output;
}
} // namespace

TEST(FitsFile, FullFrameLayoutCardsAndSampleBytes)
{
    use_geometry(false);
    fill_test_frame();
    set_details();
    const std::string path = home_path("full.fit");
    ASSERT_EQ(save_with_globals(path), 0);
    const auto file = bytes_of(path);
    ASSERT_EQ(file.size(), fits_full_length);
    EXPECT_EQ(card(file, 1).substr(0, 32), "SIMPLE  =                    T /");
    EXPECT_EQ(card(file, 4).substr(0, 32), "NAXIS1  =                  752 /");
    EXPECT_EQ(card(file, 5).substr(0, 32), "NAXIS2  =                  580 /");
    EXPECT_EQ(card(file, 36).substr(0, 29), "BZERO   =   +3.2768000000E+04");
    EXPECT_EQ(card(file, 40).substr(0, 30), "SATURATE=                32768");
    EXPECT_EQ(card(file, 41).substr(0, 29), "EXPTIME =    1.2000000000E+02");
    EXPECT_EQ(card(file, 45), "END" + std::string(77, ' '));
    EXPECT_EQ(card(file, 72), std::string(80, ' '));
    // Sample 0 is stored as 0x80 0x00, 65,535 as 0x7F 0xFF.
    EXPECT_EQ(file[5760], 0x80);
    EXPECT_EQ(file[5761], 0x00);
    EXPECT_EQ(file[5760 + 10], 0x7F);
    EXPECT_EQ(file[5760 + 11], 0xFF);
    // The zero trailer.
    for (std::size_t i = file.size() - 800; i < file.size(); ++i)
        ASSERT_EQ(file[i], 0) << i;
}

TEST(FitsFile, TextCardsAreCutAndSplitByPosition)
{
    use_geometry(true);
    FITS_SBIG = 1;
    std::string history(100, 'h');
    history[67] = 'X';
    history[68] = 'Y';
    std::strcpy(FITS_His, history.c_str());
    std::string long_object(90, 'o'); // longer than a card holds
    const std::string path = home_path("cards.fit");
    ASSERT_EQ(SaveFITSFile(path.c_str(), image, long_object.c_str(), "", "", "", "", "", FITS_His, 0), 0);
    const auto file = bytes_of(path);
    ASSERT_EQ(file.size(), fits_binned_length);
    EXPECT_EQ(card(file, 6), "OBJECT  = '" + std::string(68, 'o') + "'");
    EXPECT_EQ(card(file, 9), "OBSERVER= ''" + std::string(68, ' '));
    EXPECT_EQ(card(file, 13), "HISTORY = ''" + std::string(68, ' '));
    EXPECT_EQ(card(file, 28), "HISTORY = '" + history.substr(0, 68) + "'");
    EXPECT_EQ(card(file, 29), "HISTORY = '" + history.substr(68) + std::string(36, ' ') + "'");
    EXPECT_EQ(card(file, 30), "HISTORY = '" + std::string(68, ' ') + "'");
    EXPECT_EQ(card(file, 35), "COMMENT = '" + std::string(68, ' ') + "'");
    EXPECT_EQ(card(file, 36).substr(0, 29), "BZERO   =   +0.0000000000E+00");
    EXPECT_EQ(card(file, 40).substr(0, 30), "SATURATE=                65535");
}

// Reopening a file and typing more history or comment text must keep what was
// typed: the padding of the four cards comes back as no text at all, blanks
// inside a text stay, and the text is written padded again.
TEST(FitsFile, LongTextsComeBackWithoutTheirPaddingAndAreWrittenPaddedAgain)
{
    use_geometry(true);
    const std::string his = std::string(70, 'h') + "  two blanks inside";
    const std::string com = "seeing 3/5";
    std::strcpy(FITS_His, his.c_str());
    std::strcpy(FITS_Com, com.c_str());
    const std::string path = home_path("texts.fit");
    ASSERT_EQ(save_with_globals(path), 0);
    const auto first = bytes_of(path);

    reset_program_state();
    ASSERT_EQ(load_image_file(path.c_str(), image), ImageLoad::ok);
    EXPECT_EQ(std::string(FITS_His), his);
    EXPECT_EQ(std::string(FITS_Com), com);

    // Text added after reopening lands right after the old text and is kept.
    std::strcat(FITS_Com, "; clouds later");
    ASSERT_EQ(save_with_globals(path), 0);
    const auto second = bytes_of(path);
    EXPECT_EQ(card(second, 29), card(first, 29));
    EXPECT_EQ(card(second, 32),
        "COMMENT = '" + std::string("seeing 3/5; clouds later") + std::string(44, ' ') + "'");
    reset_program_state();
    ASSERT_EQ(load_image_file(path.c_str(), image), ImageLoad::ok);
    EXPECT_STREQ(FITS_Com, "seeing 3/5; clouds later");
}

TEST(FitsFile, EightBitFilesCarryZeroOffsetAndEndOnABlock)
{
    for (bool small : { false, true }) {
        use_geometry(small);
        fill_test_frame();
        image[0] = 0x12FF;
        const std::string path = home_path(small ? "b8.fit" : "f8.fit");
        ASSERT_EQ(save_with_globals(path, 1), 0);
        const auto file = bytes_of(path);
        EXPECT_EQ(file.size(), small ? 115200u : 443520u);
        EXPECT_EQ(card(file, 2).substr(0, 32), "BITPIX  =                    8 /");
        EXPECT_EQ(card(file, 36).substr(0, 29), "BZERO   =   +0.0000000000E+00");
        EXPECT_EQ(card(file, 40).substr(0, 30), "SATURATE=                  255");
        EXPECT_EQ(file[5760], 0x12);
    }
}

TEST(FitsFile, StandardReaderGetsHeaderAndSamples)
{
    for (bool small : { false, true }) {
        for (int sbig : { 0, 1 }) {
            use_geometry(small);
            fill_test_frame();
            set_details();
            FITS_SBIG = sbig;
            const std::string path = home_path("cfitsio.fit");
            ASSERT_EQ(save_with_globals(path), 0);

            fitsfile* fits = nullptr;
            int status = 0;
            ASSERT_EQ(fits_open_file(&fits, path.c_str(), READONLY, &status), 0) << status;
            long axes[2] = { 0, 0 };
            int bitpix = 0, naxis = 0;
            fits_get_img_param(fits, 2, &bitpix, &naxis, axes, &status);
            EXPECT_EQ(bitpix, 16);
            EXPECT_EQ(axes[0], width1);
            EXPECT_EQ(axes[1], height1);
            char object[FLEN_VALUE] = "", date[FLEN_VALUE] = "";
            double exptime = 0;
            fits_read_key(fits, TSTRING, "OBJECT", object, nullptr, &status);
            fits_read_key(fits, TSTRING, "DATE-OBS", date, nullptr, &status);
            fits_read_key(fits, TDOUBLE, "EXPTIME", &exptime, nullptr, &status);
            EXPECT_STREQ(object, "M31");
            EXPECT_STREQ(date, "2026-12-07");
            EXPECT_DOUBLE_EQ(exptime, 120.0);

            const long count = static_cast<long>(width1) * height1;
            long first[2] = { 1, 1 };
            int anynull = 0;
            if (sbig) {
                // The zero-offset variant stores v itself, which standard
                // readers take as signed 16-bit: the bit patterns must be v.
                std::vector<short> read(count);
                fits_read_pix(fits, TSHORT, first, count, nullptr, read.data(), &anynull, &status);
                for (long i = 0; i < count; ++i)
                    ASSERT_EQ(static_cast<unsigned short>(read[i]), image[i]) << i;
            } else {
                std::vector<unsigned short> read(count);
                fits_read_pix(fits, TUSHORT, first, count, nullptr, read.data(), &anynull, &status);
                for (long i = 0; i < count; ++i)
                    ASSERT_EQ(read[i], image[i]) << i;
            }
            fits_close_file(fits, &status);
            ASSERT_EQ(status, 0);
        }
    }
}

TEST(FitsFile, FitsverifyAcceptsBinnedAndEightBitFiles)
{
    set_details();
    use_geometry(true);
    fill_test_frame();
    ASSERT_EQ(save_with_globals(home_path("b16.fit")), 0);
    ASSERT_EQ(save_with_globals(home_path("b8.fit"), 1), 0);
    use_geometry(false);
    fill_test_frame();
    ASSERT_EQ(save_with_globals(home_path("f8.fit"), 1), 0);
    ASSERT_EQ(save_with_globals(home_path("f16.fit")), 0);
    for (const char* name : { "b16.fit", "b8.fit", "f8.fit" }) {
        const std::string report = run_fitsverify(home_path(name));
        EXPECT_NE(report.find("0 error(s)"), std::string::npos) << name << "\n" << report;
    }
    // The full 16-bit frame keeps its written length: its only complaint is
    // the bytes past the last block.
    const std::string report = run_fitsverify(home_path("f16.fit"));
    EXPECT_NE(report.find("1 error(s)"), std::string::npos) << report;
    EXPECT_NE(report.find("extra"), std::string::npos) << report;
}

TEST(FitsFile, OwnReaderRestoresSamplesAndDetails)
{
    for (int sbig : { 0, 1 }) {
        use_geometry(false);
        fill_test_frame();
        set_details();
        FITS_SBIG = sbig;
        const std::vector<unsigned short> written(image, image + width1 * height1);
        const std::string path = home_path("round.fit");
        ASSERT_EQ(save_with_globals(path), 0);

        reset_program_state(); // binned geometry, empty details
        std::fill(image, image + frame_samples, 0);
        ASSERT_EQ(load_image_file(path.c_str(), image), ImageLoad::ok);
        EXPECT_EQ(width1, 752);
        EXPECT_EQ(binned, 0);
        EXPECT_EQ(binned21, 1);
        EXPECT_EQ(FITS_SBIG, sbig);
        EXPECT_STREQ(FITS_Obj, "M31");
        EXPECT_STREQ(FITS_Src, "Backyard");
        EXPECT_STREQ(FITS_Time, "22:15:03");
        EXPECT_STREQ(FITS_Filter, "Red");
        EXPECT_STREQ(process_info[0], "Dark Frame Subtracted");
        EXPECT_DOUBLE_EQ(FITS_Aperture, 50.25);
        EXPECT_DOUBLE_EQ(FITS_Pixwidth, 0.0098);
        // The padding of the 68-character parts is not part of the text.
        EXPECT_STREQ(FITS_His, "");
        EXPECT_TRUE(std::equal(written.begin(), written.end(), image));
    }
}

TEST(FitsFile, ForeignOrBrokenFileChangesNothing)
{
    use_geometry(true);
    set_details();
    const std::string path = home_path("foreign.fit");
    ASSERT_EQ(save_with_globals(path), 0);
    auto file = bytes_of(path);

    // Now the program holds a full frame with other details.
    use_geometry(false);
    fill_test_frame();
    std::strcpy(FITS_Obj, "kept");
    FITS_SBIG = 1;
    const std::vector<unsigned short> before(image, image + frame_samples);

    auto expect_unchanged = [&] {
        EXPECT_EQ(width1, 752);
        EXPECT_EQ(binned, 0);
        EXPECT_EQ(binned21, 1);
        EXPECT_STREQ(FITS_Obj, "kept");
        EXPECT_EQ(FITS_SBIG, 1);
        EXPECT_STREQ(process_info[0], "Dark Frame Subtracted");
        EXPECT_TRUE(std::equal(before.begin(), before.end(), image));
    };

    // BITPIX other than 16.
    file[80 + 28] = '3';
    FILE* out = std::fopen(path.c_str(), "wb");
    std::fwrite(file.data(), 1, file.size(), out);
    std::fclose(out);
    EXPECT_EQ(load_image_file(path.c_str(), image), ImageLoad::fits_foreign);
    expect_unchanged();
    EXPECT_EQ(LoadFITSFile(path.c_str(), 3, image), 2);
    expect_unchanged();

    // Axes contradicting the length: a binned header in a full-length file.
    file[80 + 28] = '1';
    file.resize(fits_full_length, 0);
    out = std::fopen(path.c_str(), "wb");
    std::fwrite(file.data(), 1, file.size(), out);
    std::fclose(out);
    EXPECT_EQ(load_image_file(path.c_str(), image), ImageLoad::fits_foreign);
    expect_unchanged();

    // Too short for the frame.
    file.resize(6000);
    out = std::fopen(path.c_str(), "wb");
    std::fwrite(file.data(), 1, file.size(), out);
    std::fclose(out);
    EXPECT_EQ(load_image_file(path.c_str(), image), ImageLoad::not_image_file);
    EXPECT_EQ(LoadFITSFile(path.c_str(), 3, image), 2); // its axes are binned, the geometry full
    use_geometry(true);
    EXPECT_EQ(LoadFITSFile(path.c_str(), 3, image), 1);
    use_geometry(false);
    expect_unchanged();
}

TEST(FitsFile, QuotesInTextsSurviveBothReaders)
{
    use_geometry(true);
    std::strcpy(FITS_Filter, "'");
    const std::string path = home_path("quote.fit");
    ASSERT_EQ(SaveFITSFile(path.c_str(), image, "Barnard's Loop", "", "2026-12-07", "", "", "", "", 0), 0);
    EXPECT_EQ(card(bytes_of(path), 6).substr(0, 27), "OBJECT  = 'Barnard''s Loop'");

    fitsfile* fits = nullptr;
    int status = 0;
    char object[FLEN_VALUE] = "";
    fits_open_file(&fits, path.c_str(), READONLY, &status);
    fits_read_key(fits, TSTRING, "OBJECT", object, nullptr, &status);
    fits_close_file(fits, &status);
    EXPECT_EQ(status, 0);
    EXPECT_STREQ(object, "Barnard's Loop");

    ASSERT_EQ(LoadFITSFile(path.c_str(), 3, image), 0);
    EXPECT_STREQ(FITS_Obj, "Barnard's Loop");
    EXPECT_STREQ(FITS_Filter, "'");
    EXPECT_STREQ(FITS_Obs, "");
}

TEST(FitsFile, ReaderStopsAtColumnEightyAndCutsToTheField)
{
    use_geometry(true);
    ASSERT_EQ(save_with_globals(home_path("q.fit")), 0);
    auto file = bytes_of(home_path("q.fit"));
    // OBJECT without a closing quote, and a history entry of 69 characters.
    std::memset(file.data() + 5 * 80 + 11, 'x', 69);
    std::memset(file.data() + 12 * 80 + 11, 'y', 69);
    FILE* out = std::fopen(home_path("q.fit").c_str(), "wb");
    std::fwrite(file.data(), 1, file.size(), out);
    std::fclose(out);
    ASSERT_EQ(LoadFITSFile(home_path("q.fit").c_str(), 3, image), 0);
    EXPECT_EQ(std::string(FITS_Obj), std::string(69, 'x'));
    EXPECT_EQ(std::string(process_info[0]), std::string(39, 'y'));
}

TEST(FitsFile, ClearFitsInfoKeepsOriginPixelSizesAndFlags)
{
    set_details();
    FITS_Diff = 5;
    FITS_SBIG = 1;
    ClearFITSInfo();
    EXPECT_STREQ(FITS_Obj, "");
    EXPECT_STREQ(FITS_Ins, "Vantrel CCD");
    EXPECT_STREQ(FITS_Filter, "None");
    EXPECT_STREQ(FITS_Src, "Backyard");
    EXPECT_EQ(FITS_Exptime, 0.0);
    EXPECT_EQ(history_count(), 0);
    EXPECT_EQ(FITS_Diff, 5);
    EXPECT_EQ(FITS_SBIG, 1);
    EXPECT_DOUBLE_EQ(FITS_Pixwidth, 0.0098);
}

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "app/state.h"
#include "store/atomic_file.h"
#include "store/buffers.h"
#include "store/fits_file.h"
#include "store/image_io.h"
#include "store/native_file.h"
#include "store/tiff_file.h"
#include "test_env.h"

namespace {

} // namespace

TEST(AtomicFile, FailedWritesLeaveThePreviousFileIntact)
{
    binned = 0;
    binned21 = 1;
    ZQ_binned();
    for (int i = 0; i < width1 * height1; ++i)
        image[i] = static_cast<unsigned short>(i);
    const std::string folder = test_env().home + "/out";
    std::filesystem::create_directories(folder);
    const std::string fits = folder + "/keep.fit";
    const std::string tif = folder + "/keep.tif";
    const std::string raw = folder + "/~keep";
    ASSERT_EQ(SaveFITSFile(fits.c_str(), image, "old", "", "", "", "", "", "", 0), 0);
    ASSERT_EQ(SaveTifFile(tif.c_str(), image), 0);
    ASSERT_EQ(save_native_file(raw.c_str(), image), NativeSave::ok);
    const auto old_fits = bytes_of(fits), old_tif = bytes_of(tif), old_raw = bytes_of(raw);

    for (int i = 0; i < width1 * height1; ++i)
        image[i] = 7;
    EXPECT_EQ(run_with_small_disk(
                  [&] { return SaveFITSFile(fits.c_str(), image, "new", "", "", "", "", "", "", 0); }),
        1);
    EXPECT_EQ(run_with_small_disk([&] { return SaveTifFile(tif.c_str(), image); }), 1);
    EXPECT_EQ(run_with_small_disk([&] { return static_cast<int>(save_native_file(raw.c_str(), image)); }),
        static_cast<int>(NativeSave::short_write));

    EXPECT_EQ(bytes_of(fits), old_fits);
    EXPECT_EQ(bytes_of(tif), old_tif);
    EXPECT_EQ(bytes_of(raw), old_raw);
    // No half-written temporary file is left behind.
    EXPECT_EQ(files_in(folder), 3);
}

TEST(AtomicFile, CommitReplacesAndAbandonRemoves)
{
    const std::string path = test_env().home + "/x.bin";
    ASSERT_TRUE(write_file_atomically(path, "old", 3));
    {
        AtomicFile file(path);
        ASSERT_TRUE(file.open());
        ASSERT_TRUE(file.write("new contents", 12));
        // Not committed: dropped when it goes out of scope.
    }
    EXPECT_EQ(bytes_of(path), std::vector<unsigned char>({ 'o', 'l', 'd' }));
    EXPECT_EQ(files_in(test_env().home), 1);
    {
        AtomicFile file(path);
        ASSERT_TRUE(file.open());
        ASSERT_TRUE(file.write("new", 3));
        ASSERT_TRUE(file.commit());
    }
    EXPECT_EQ(bytes_of(path), std::vector<unsigned char>({ 'n', 'e', 'w' }));
    EXPECT_EQ(std::filesystem::status(path).permissions() & std::filesystem::perms::owner_read,
        std::filesystem::perms::owner_read);
    EXPECT_FALSE(write_file_atomically(test_env().home + "/missing/x.bin", "a", 1));
}

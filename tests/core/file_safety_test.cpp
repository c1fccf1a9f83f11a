// What the file layer promises beyond a single save: loaders that never
// block, paths held whole, no frame replaced by auto-save after a crash, and
// no temporary file left by a killed run.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "app/data_root.h"
#include "app/state.h"
#include "display/bitmap_file.h"
#include "display/photometry.h"
#include "processing/calibration.h"
#include "store/atomic_file.h"
#include "store/autosave.h"
#include "store/buffers.h"
#include "store/fits_file.h"
#include "store/image_io.h"
#include "store/native_file.h"
#include "store/settings_file.h"
#include "store/settings_startup.h"
#include "store/settings_values.h"
#include "test_env.h"

namespace {
namespace fs = std::filesystem;

// Points the data root somewhere else and rebuilds the paths made from it.
void use_data_root(const std::string& root)
{
    fs::create_directories(root);
    setenv("QUILLON_HOME", root.c_str(), 1);
    ini_file = data_path("AUTOSAVE/Quillon.INI");
    derive_auto_save_dir();
}

void fill(unsigned short* frame, unsigned short value)
{
    std::fill(frame, frame + frame_samples, value);
}

// The first sample of an auto-saved file (16-bit, offset 32,768).
unsigned short first_sample_of(const std::string& path)
{
    const std::vector<unsigned char> bytes = bytes_of(path);
    if (bytes.size() < fits_header_length + 2)
        return 0;
    return static_cast<unsigned short>(
        (bytes[fits_header_length] * 256 + bytes[fits_header_length + 1] + 32768) & 0xFFFF);
}

// Runs `body` in a child process and returns how it ended: the exit code, or
// -signal when a signal ended it.
int in_child(const std::function<void()>& body)
{
    const pid_t child = fork();
    if (child == 0) {
        body();
        _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFSIGNALED(status) ? -WTERMSIG(status) : WEXITSTATUS(status);
}
} // namespace

TEST(FileSafety, EveryLoaderRefusesPipesAndFoldersWithoutWaiting)
{
    // A loader that blocked would hang here: the alarm ends the run instead.
    alarm(20);
    const std::string pipe = home_path("pipe.fit");
    const std::string folder = home_path("folder.fit");
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    fs::create_directory(folder);

    fill(image, 1234);
    fill(trial, 1234);
    fill(comparison_int, 1234);
    fill(undo, 1234);
    const int geometry = binned;
    struct Loader {
        const char* name;
        std::function<int(const std::string&)> load;
        int refused;
    };
    const std::vector<Loader> loaders = {
        { "open", [](const std::string& p) { return static_cast<int>(load_image_file(p.c_str(), image)); },
            static_cast<int>(ImageLoad::not_image_file) },
        { "FITS", [](const std::string& p) { return LoadFITSFile(p.c_str(), 3, image); }, 1 },
        { "second image", [](const std::string& p) { return trial_load(trial, trial, p.c_str()); }, 2 },
        { "comparison",
            [](const std::string& p) {
                ComparisonFileName = p;
                return load_comparison_file(comparison_int, comparison_int);
            },
            12 },
        { "dark or flat", [](const std::string& p) { return load_calibration_file(p.c_str(), undo); },
            calibration_bad_file },
        { "settings", [](const std::string& p) { return LoadINIFile(p.c_str()); }, settings_unreadable },
        { "display bitmap",
            [](const std::string& p) {
                DisplayBitmap bitmap;
                return read_display_bitmap(p, bitmap) ? 0 : 1;
            },
            1 },
    };
    for (const Loader& loader : loaders) {
        for (const std::string& path : { pipe, folder }) {
            EXPECT_EQ(loader.load(path), loader.refused) << loader.name << " " << path;
        }
    }
    alarm(0);
    // Nothing was touched.
    EXPECT_EQ(binned, geometry);
    for (const unsigned short* frame : { image, trial, comparison_int, undo })
        EXPECT_EQ(frame[0], 1234);
    EXPECT_EQ(auto_save_num, 0);
}

TEST(FileSafety, ALongDataRootKeepsAutoSaveInsideIt)
{
    std::string root = test_env().home + "/";
    root += std::string(150 - root.size(), 'r');
    ASSERT_EQ(root.size(), 150u);
    use_data_root(root);
    fill(image, 4000);
    ASSERT_EQ(auto_save(image), 0);
    EXPECT_TRUE(fs::is_regular_file(root + "/AUTOSAVE/IMG1.FIT"));
    EXPECT_TRUE(fs::is_regular_file(root + "/AUTOSAVE/Quillon.INI"));

    // With the longest sub-folder the settings file holds, too.
    const std::string subdir(79, 's');
    ASSERT_TRUE(set_auto_save_subdir(subdir));
    ASSERT_EQ(auto_save(image), 0);
    EXPECT_EQ(first_sample_of(root + "/AUTOSAVE/" + subdir + "/IMG2.FIT"), 4000);
    // Only the stored text has a size: a longer name is refused, not cut.
    EXPECT_FALSE(set_auto_save_subdir(std::string(80, 't')));
    EXPECT_EQ(std::string(auto_save_subdir), subdir);

    // The settings read back give the same whole folder.
    reset_program_state();
    use_data_root(root);
    ASSERT_EQ(LoadINIFile(ini_file.c_str()), settings_ok);
    EXPECT_EQ(auto_save_dir, root + "/AUTOSAVE/" + subdir);
    EXPECT_EQ(auto_save_num, 2);
}

TEST(FileSafety, AutoSaveKeepsAFrameWrittenBeforeACrash)
{
    fill(image, 100);
    ASSERT_EQ(auto_save(image), 0); // IMG1, stored
    // Killed after the image and before the settings write.
    fill(image, 200);
    const int ended = in_child([] {
        const ScopedSettingsHooks killed({ [] { return raise(SIGKILL); }, {}, {} });
        auto_save(image);
    });
    ASSERT_EQ(ended, -SIGKILL);
    const std::string folder = test_env().home + "/AUTOSAVE/";
    ASSERT_EQ(first_sample_of(folder + "IMG2.FIT"), 200);

    // The next run starts from the settings file, which still says 1.
    reset_program_state();
    ASSERT_EQ(LoadINIFile(ini_file.c_str()), settings_ok);
    ASSERT_EQ(auto_save_num, 1);
    fill(image, 300);
    ASSERT_EQ(auto_save(image), 0);
    EXPECT_EQ(auto_save_num, 3);
    EXPECT_EQ(first_sample_of(folder + "IMG1.FIT"), 100);
    EXPECT_EQ(first_sample_of(folder + "IMG2.FIT"), 200);
    EXPECT_EQ(first_sample_of(folder + "IMG3.FIT"), 300);

    // A settings write that fails leaves the stored number behind as well.
    {
        const ScopedSettingsHooks full_disk({ [] { return settings_write_failed; }, {}, {} });
        fill(image, 400);
        EXPECT_EQ(auto_save(image), 3);
        fill(image, 500);
        EXPECT_EQ(auto_save(image), 3);
    }
    reset_program_state();
    ASSERT_EQ(LoadINIFile(ini_file.c_str()), settings_ok);
    fill(image, 600);
    ASSERT_EQ(auto_save(image), 0);
    EXPECT_EQ(auto_save_num, 6);
    EXPECT_EQ(first_sample_of(folder + "IMG4.FIT"), 400);
    EXPECT_EQ(first_sample_of(folder + "IMG5.FIT"), 500);
}

TEST(FileSafety, AutoSaveReplacesOnlyTheFilesOfTheLastCycle)
{
    const std::string folder = test_env().home + "/AUTOSAVE/";
    fs::create_directories(folder);
    fill(image, 1);
    // IMG1 and IMG2 from the previous cycle, then IMG65530 ending it.
    for (int number : { 1, 2, 65530 }) {
        ASSERT_EQ(SaveFITSFile((folder + "IMG" + std::to_string(number) + ".FIT").c_str(), image, "", "", "",
                      "", "", "", "", 0),
            0);
    }
    const auto last = fs::last_write_time(folder + "IMG65530.FIT");
    fs::last_write_time(folder + "IMG1.FIT", last - std::chrono::hours(2));
    fs::last_write_time(folder + "IMG2.FIT", last - std::chrono::hours(1));
    auto_save_num = 65530;
    fill(image, 700);
    ASSERT_EQ(auto_save(image), 0);
    EXPECT_EQ(auto_save_num, 1);
    EXPECT_EQ(first_sample_of(folder + "IMG1.FIT"), 700);
    ASSERT_EQ(auto_save(image), 0);
    EXPECT_EQ(auto_save_num, 2);

    // Without the last stored frame no age can be told: existing files stay.
    fs::remove(folder + "IMG2.FIT");
    fill(image, 800);
    ASSERT_EQ(SaveFITSFile((folder + "IMG3.FIT").c_str(), image, "", "", "", "", "", "", "", 0), 0);
    fill(image, 900);
    ASSERT_EQ(auto_save(image), 0);
    EXPECT_EQ(auto_save_num, 4);
    EXPECT_EQ(first_sample_of(folder + "IMG3.FIT"), 800);
}

TEST(FileSafety, StartRemovesStaleTemporariesButNotOneBeingWritten)
{
    const std::string root = test_env().home;
    const std::string autosave = root + "/AUTOSAVE";
    fs::create_directories(autosave + "/M42");
    const std::vector<std::string> stale = { root + "/quillon.bmp.partAb12Cd",
        autosave + "/Quillon.INI.partZZ9x0q", autosave + "/M42/IMG3.FIT.part000aaa" };
    const std::vector<std::string> kept = { root + "/notes.part", root + "/x.partAB12", root + "/keep.FIT",
        root + "/image.part12345!", autosave + "/M42/IMG4.FIT" };
    for (const auto& path : stale)
        std::ofstream(path) << "half";
    for (const auto& path : kept)
        std::ofstream(path) << "mine";
    // Only regular files: a pipe of a temporary's name is left alone.
    const std::string pipe = root + "/pipe.partQQQQQQ";
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);

    // Another running copy, in the middle of a write.
    int to_parent[2], to_child[2];
    ASSERT_EQ(pipe2(to_parent, 0), 0);
    ASSERT_EQ(pipe2(to_child, 0), 0);
    const pid_t writer = fork();
    if (writer == 0) {
        AtomicFile file(autosave + "/IMG9.FIT");
        char go = 0;
        const bool ok = file.open() && file.write("frame", 5);
        (void)!write(to_parent[1], "w", 1);
        (void)!read(to_child[0], &go, 1);
        _exit(ok && file.commit() ? 0 : 1);
    }
    char ready = 0;
    ASSERT_EQ(read(to_parent[0], &ready, 1), 1);

    load_settings_at_start();
    for (const auto& path : stale)
        EXPECT_FALSE(fs::exists(path)) << path;
    for (const auto& path : kept)
        EXPECT_TRUE(fs::exists(path)) << path;
    EXPECT_TRUE(fs::exists(pipe));
    int in_progress = 0;
    for (const auto& entry : fs::directory_iterator(autosave))
        in_progress += is_temporary_name(entry.path().filename().string()) ? 1 : 0;
    EXPECT_EQ(in_progress, 1);

    ASSERT_EQ(write(to_child[1], "g", 1), 1);
    int status = 0;
    waitpid(writer, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(bytes_of(autosave + "/IMG9.FIT"), std::vector<unsigned char>({ 'f', 'r', 'a', 'm', 'e' }));
    for (int fd : { to_parent[0], to_parent[1], to_child[0], to_child[1] })
        close(fd);
}

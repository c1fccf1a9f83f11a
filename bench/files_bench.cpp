// Full-frame FITS save and load, ours against cfitsio's image writer and
// reader on the same frame in the same run. Our save is durable (the file is
// flushed to the disk before its rename and the folder after it); cfitsio's
// plain write and an unflushed write-and-rename of the same bytes show what
// that costs. $QUILLON_BENCH_DIR chooses the disk (default: the temporary
// folder), since a memory file system flushes for free.
#include <benchmark/benchmark.h>

#include <fitsio.h>

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

#include "app/state.h"
#include "store/buffers.h"
#include "store/fits_file.h"

namespace {
// A private folder for the files (the writer also makes sure the auto-save
// folder exists, so the data root must not be the user's).
const std::string& bench_folder()
{
    static const std::string folder = [] {
        const char* chosen = std::getenv("QUILLON_BENCH_DIR");
        const std::filesystem::path base
            = chosen != nullptr && *chosen != '\0' ? chosen : std::filesystem::temp_directory_path();
        std::string pattern = (base / "quillon-bench-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr)
            std::abort();
        setenv("QUILLON_HOME", pattern.c_str(), 1);
        return pattern;
    }();
    return folder;
}

void full_frame()
{
    bench_folder();
    reset_program_state();
    binned = 0;
    binned21 = 1;
    ZQ_binned();
    for (int i = 0; i < width1 * height1; ++i)
        image[i] = static_cast<unsigned short>(i * 31);
}

void save_ours(const std::string& path)
{
    if (SaveFITSFile(
            path.c_str(), image, FITS_Obj, FITS_Obs, FITS_Date, FITS_Tel, FITS_Ins, FITS_Com, FITS_His, 0)
        != 0)
        std::abort();
}

void save_cfitsio(const std::string& path)
{
    fitsfile* fits = nullptr;
    int status = 0;
    long axes[2] = { width1, height1 };
    const std::string replace = "!" + path;
    fits_create_file(&fits, replace.c_str(), &status);
    fits_create_img(fits, USHORT_IMG, 2, axes, &status);
    fits_write_img(fits, TUSHORT, 1, static_cast<LONGLONG>(width1) * height1, image, &status);
    fits_close_file(fits, &status);
    if (status != 0)
        std::abort();
}
} // namespace

static void BM_fits_save_full_ours(benchmark::State& state)
{
    full_frame();
    const std::string path = bench_folder() + "/ours.fit";
    for (auto _ : state)
        save_ours(path);
    state.SetBytesProcessed(state.iterations() * 878880);
}
BENCHMARK(BM_fits_save_full_ours)->Unit(benchmark::kMicrosecond);

static void BM_fits_save_full_cfitsio(benchmark::State& state)
{
    full_frame();
    const std::string path = bench_folder() + "/cfitsio.fit";
    for (auto _ : state)
        save_cfitsio(path);
    state.SetBytesProcessed(state.iterations() * 878880);
}
BENCHMARK(BM_fits_save_full_cfitsio)->Unit(benchmark::kMicrosecond);

// The same bytes through a temporary file and a rename, without the flushes:
// the price of the atomic write alone.
static void BM_fits_save_full_unflushed(benchmark::State& state)
{
    full_frame();
    const std::string path = bench_folder() + "/unflushed.fit";
    save_ours(path);
    std::vector<char> bytes(878880);
    if (FILE* in = std::fopen(path.c_str(), "rb")) {
        if (std::fread(bytes.data(), 1, bytes.size(), in) != bytes.size())
            std::abort();
        std::fclose(in);
    }
    const std::string temp = path + ".partBENCH0";
    for (auto _ : state) {
        const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (fd < 0 || ::write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()))
            std::abort();
        ::close(fd);
        if (std::rename(temp.c_str(), path.c_str()) != 0)
            std::abort();
    }
    state.SetBytesProcessed(state.iterations() * 878880);
}
BENCHMARK(BM_fits_save_full_unflushed)->Unit(benchmark::kMicrosecond);

static void BM_fits_load_full_ours(benchmark::State& state)
{
    full_frame();
    const std::string path = bench_folder() + "/ours_read.fit";
    save_ours(path);
    for (auto _ : state) {
        if (LoadFITSFile(path.c_str(), 3, image) != 0)
            std::abort();
        benchmark::DoNotOptimize(image[1000]);
    }
    state.SetBytesProcessed(state.iterations() * 878880);
}
BENCHMARK(BM_fits_load_full_ours)->Unit(benchmark::kMicrosecond);

static void BM_fits_load_full_cfitsio(benchmark::State& state)
{
    full_frame();
    const std::string path = bench_folder() + "/cfitsio_read.fit";
    save_cfitsio(path);
    std::vector<unsigned short> pixels(static_cast<std::size_t>(width1) * height1);
    for (auto _ : state) {
        fitsfile* fits = nullptr;
        int status = 0, anynull = 0;
        fits_open_file(&fits, path.c_str(), READONLY, &status);
        fits_read_img(fits, TUSHORT, 1, static_cast<LONGLONG>(pixels.size()), nullptr, pixels.data(),
            &anynull, &status);
        fits_close_file(fits, &status);
        if (status != 0)
            std::abort();
        benchmark::DoNotOptimize(pixels[1000]);
    }
    state.SetBytesProcessed(state.iterations() * 878880);
}
BENCHMARK(BM_fits_load_full_cfitsio)->Unit(benchmark::kMicrosecond);

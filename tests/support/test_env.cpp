#include "test_env.h"

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <system_error>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "app/state.h"
#include "sim/sim_camera.h"
#include "store/buffers.h"
#include "store/image_io.h"

namespace {
std::unique_ptr<TestEnv> current;
}

TestEnv& test_env()
{
    return *current;
}

void begin_test_env()
{
    current = std::make_unique<TestEnv>();
    std::string pattern = (std::filesystem::temp_directory_path() / "quillon-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr)
        std::abort();
    current->home = pattern;
    setenv("QUILLON_HOME", pattern.c_str(), 1);
    reset_program_state();
    // No test sees another's pixels.
    for (unsigned short* buffer : { image_int, trial_int, undo_int, save_int, comparison_int })
        std::fill(buffer, buffer + frame_samples, static_cast<unsigned short>(0));
    set_clock(&current->clock);
    set_host(&current->host);
    // The simulator's shared sky and camera start afresh on the new clock.
    sim::reset_simulation();
}

void end_test_env()
{
    set_host(nullptr);
    set_clock(nullptr);
    if (current) {
        std::error_code ec;
        std::filesystem::remove_all(current->home, ec);
    }
    current.reset();
}

std::size_t at(int row, int column)
{
    return static_cast<std::size_t>(row) * width1 + column;
}

void use_full_frame()
{
    binned = 0;
    ZQ_binned();
}

std::string home_path(const std::string& name)
{
    return test_env().home + "/" + name;
}

std::vector<unsigned char> bytes_of(const std::string& path)
{
    std::vector<unsigned char> bytes;
    read_whole_file(path, bytes);
    return bytes;
}

int run_with_small_disk(const std::function<int()>& write, long limit)
{
    const pid_t child = fork();
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit small { static_cast<rlim_t>(limit), static_cast<rlim_t>(limit) };
        setrlimit(RLIMIT_FSIZE, &small);
        _exit(write());
    }
    if (child < 0)
        return -1;
    int status = 0;
    if (waitpid(child, &status, 0) != child)
        return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int files_in(const std::string& folder)
{
    int count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder))
        ++count;
    return count;
}

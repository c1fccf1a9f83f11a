// Per-test isolation: every test runs with its own $QUILLON_HOME in a fresh
// temporary folder, a reset program state, a manual clock and a recording
// host. Installed for every test by the test main.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "app/clock.h"
#include "test_host.h"

struct TestEnv {
    ManualClock clock;
    TestHost host{clock};
    std::string home;
};

// The environment of the running test (valid between its start and end).
TestEnv& test_env();
// Creates the temporary home, sets $QUILLON_HOME, resets the state and
// installs the clock and host. Called before each test.
void begin_test_env();
// Removes the temporary home and restores the default clock and host.
void end_test_env();

// Index of (row, column) in a frame of the current geometry.
std::size_t at(int row, int column);
// Switches the program to the full 752 x 580 geometry.
void use_full_frame();
// `name` in the test's home folder.
std::string home_path(const std::string& name);
// The whole file; empty when it cannot be read.
std::vector<unsigned char> bytes_of(const std::string& path);
// Runs `write` in a child process whose files may not grow past `limit`
// bytes (a full disk, as far as the writer can tell, for root too) and
// returns its exit code, -1 when it did not exit normally.
int run_with_small_disk(const std::function<int()>& write, long limit = 65536);
// Number of entries in `folder`.
int files_in(const std::string& folder);

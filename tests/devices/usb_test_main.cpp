// The transport's tests run libusb against devices umockdev emulates, which
// works only with umockdev's preload library in the process: without it, the
// binary starts itself again with the library preloaded.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <unistd.h>

#include "test_env.h"

namespace {
class IsolationListener : public testing::EmptyTestEventListener {
    void OnTestStart(const testing::TestInfo&) override { begin_test_env(); }
    void OnTestEnd(const testing::TestInfo&) override { end_test_env(); }
};

void append(const char* variable, const std::string& value, const char* separator)
{
    const char* old = std::getenv(variable);
    const std::string joined = old != nullptr && *old != '\0' ? value + separator + old : value;
    setenv(variable, joined.c_str(), 1);
}
} // namespace

int main(int argc, char** argv)
{
    const char* preload = std::getenv("LD_PRELOAD");
    if (preload == nullptr || std::strstr(preload, "libumockdev-preload") == nullptr) {
        if (std::getenv("QUILLON_UMOCKDEV_RESTARTED") != nullptr) {
            std::fprintf(stderr, "cannot preload umockdev's library\n");
            return 1;
        }
        setenv("QUILLON_UMOCKDEV_RESTARTED", "1", 1);
        append("LD_PRELOAD", "libumockdev-preload.so.0", ":");
        // A sanitizer build would refuse a library loaded ahead of its runtime.
        append("ASAN_OPTIONS", "verify_asan_link_order=0", ":");
        execv("/proc/self/exe", argv);
        std::perror("execv");
        return 1;
    }
    testing::InitGoogleTest(&argc, argv);
    testing::UnitTest::GetInstance()->listeners().Append(new IsolationListener);
    return RUN_ALL_TESTS();
}

#include <gtest/gtest.h>

#include "test_env.h"

namespace {
// Gives every test its own home, state, clock and host, whatever its fixture.
class IsolationListener : public testing::EmptyTestEventListener {
    void OnTestStart(const testing::TestInfo&) override
    {
        begin_test_env();
        test_env().clock.on_stall = [] {
            ADD_FAILURE() << "the manual clock was polled without moving: a loop waits without a wait";
        };
    }
    void OnTestEnd(const testing::TestInfo&) override { end_test_env(); }
};
} // namespace

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    testing::UnitTest::GetInstance()->listeners().Append(new IsolationListener);
    return RUN_ALL_TESTS();
}

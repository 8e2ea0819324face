// Test entry for the oven's unit tests. The controllers keep private state
// from program start, so each test needs a process of its own, as ctest
// gives it (one run per test). Running several in one process would make
// each test see what the earlier ones left: refuse that plainly.
#include <cstdio>
#include <gtest/gtest.h>

namespace
{

class One_Test_Per_Process : public testing::EmptyTestEventListener
{
    void OnTestIterationStart(const testing::UnitTest& unit, int /*iteration*/) override
    {
        if (unit.test_to_run_count() > 1) {
            std::fprintf(stderr,
                         "%d tests selected: the oven's state lives for the whole "
                         "process, so run one test per process (ctest does, or pass "
                         "--gtest_filter with one test).\n",
                         unit.test_to_run_count());
            std::exit(EXIT_FAILURE);
        }
    }
};

} // namespace

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    testing::UnitTest::GetInstance()->listeners().Append(new One_Test_Per_Process);
    return RUN_ALL_TESTS();
}

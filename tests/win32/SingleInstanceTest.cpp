// The single-instance guard under Wine: a copy that starts while another holds the mutex ends,
// and of two copies that start at the same moment exactly one runs, round after round.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>

#include "SingleInstance.h"

namespace kiv {
namespace {

std::string TestMutexName(int round)
{
    return "Kiv single instance test " + std::to_string(GetCurrentProcessId()) + " " + std::to_string(round);
}

TEST(SingleInstance, TheSecondCopyEndsWhileTheFirstRunsAndNotAfter)
{
    const std::string name = TestMutexName(-1);
    auto first = std::make_unique<SingleInstance>(name.c_str());
    EXPECT_FALSE(first->AnotherCopyRuns());
    {
        const SingleInstance second(name.c_str());
        EXPECT_TRUE(second.AnotherCopyRuns());
    }
    first.reset();
    EXPECT_FALSE(SingleInstance(name.c_str()).AnotherCopyRuns());
}

TEST(SingleInstance, OfTwoCopiesStartedTogetherExactlyOneRuns)
{
    constexpr int kRounds = 200;
    int bothRan = 0, noneRan = 0;
    for (int round = 0; round < kRounds; ++round) {
        const std::string name = TestMutexName(round);
        std::atomic<int> ready{0};
        std::unique_ptr<SingleInstance> guards[2];
        const auto start = [&](int i) {
            ++ready;
            while (ready.load() < 2) {
            }
            guards[i] = std::make_unique<SingleInstance>(name.c_str());
        };
        std::thread a(start, 0), b(start, 1);
        a.join();
        b.join();
        const int running = !guards[0]->AnotherCopyRuns() + !guards[1]->AnotherCopyRuns();
        bothRan += running == 2;
        noneRan += running == 0;
    }
    EXPECT_EQ(bothRan, 0) << "rounds in which both copies ran, of " << kRounds;
    EXPECT_EQ(noneRan, 0) << "rounds in which neither copy ran, of " << kRounds;
}

}  // namespace
}  // namespace kiv

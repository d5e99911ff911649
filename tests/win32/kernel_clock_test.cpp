// The stand-in's clock: Sleep and GetTickCount on the virtual and the real clock, and the
// account of the time let pass that measurements split a run's wall time with.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>

#include "support/stand_in.h"
#include "win32sim/clock.h"

namespace {

class KernelClock : public ::testing::Test {
protected:
    void SetUp() override {
        testing_support::resetStandIn();
        win32sim::clock::resetPassedTime();
    }
    void TearDown() override { win32sim::clock::useVirtual(); }
};

TEST_F(KernelClock, SleepOnTheVirtualClockMovesTheTickCountAtOnce) {
    DWORD before = GetTickCount();
    auto realBefore = std::chrono::steady_clock::now();
    Sleep(60000);
    EXPECT_EQ(GetTickCount() - before, 60000u);
    EXPECT_LT(std::chrono::steady_clock::now() - realBefore, std::chrono::seconds(5));
}

TEST_F(KernelClock, CountsWhatSleepAskedForApartFromOtherPassingTime) {
    Sleep(500);
    Sleep(200);
    win32sim::clock::pass(7);  // a device's busy time, as the pass-through lets it pass
    Sleep(0);

    auto time = win32sim::clock::passedTime();
    EXPECT_EQ(time.sleepCalls, 3u);
    EXPECT_EQ(time.sleptMs, 700u);
    EXPECT_EQ(time.passedMs, 707u);
    EXPECT_EQ(time.waitedNs, 0u) << "nothing really waits on the virtual clock";

    win32sim::clock::resetPassedTime();
    time = win32sim::clock::passedTime();
    EXPECT_EQ(time.sleepCalls, 0u);
    EXPECT_EQ(time.sleptMs, 0u);
    EXPECT_EQ(time.passedMs, 0u);
}

TEST_F(KernelClock, OnTheRealClockTheRealWaitIsCountedToo) {
    win32sim::clock::useReal();
    auto before = std::chrono::steady_clock::now();
    Sleep(20);
    win32sim::clock::pass(10);
    auto elapsed = std::chrono::steady_clock::now() - before;

    auto time = win32sim::clock::passedTime();
    EXPECT_EQ(time.sleptMs, 20u);
    EXPECT_EQ(time.passedMs, 30u);
    EXPECT_GE(time.waitedNs, 30'000'000u) << "a wait lasts at least what it asked for";
    EXPECT_LE(time.waitedNs, static_cast<std::uint64_t>(
                                 std::chrono::duration_cast<std::chrono::nanoseconds>(elapsed)
                                     .count()));
}

}  // namespace

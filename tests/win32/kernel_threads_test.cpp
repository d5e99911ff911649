// CreateThread, ExitThread, thread ids, thread-creation faults and the execution state.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>

#include "support/stand_in.h"
#include "win32sim/process.h"

namespace {

std::atomic<int> g_stage{0};
std::atomic<DWORD> g_workerId{0};

DWORD WINAPI ReturningWorker(LPVOID parameter) {
    g_workerId = GetCurrentThreadId();
    g_stage = *static_cast<int*>(parameter);
    return 7;
}

struct Witness {
    ~Witness() { g_stage = 99; }
};

DWORD WINAPI ExitingWorker(LPVOID) {
    Witness witness;
    g_stage = 1;
    ExitThread(0);
}

TEST(KernelThreads, AThreadRunsWithItsParameterAndOwnId) {
    int parameter = 42;
    DWORD id = 0;
    HANDLE thread = CreateThread(nullptr, 0, ReturningWorker, &parameter, 0, &id);
    ASSERT_NE(thread, nullptr);
    ASSERT_TRUE(win32sim::waitForThreads(std::chrono::seconds(10)));
    EXPECT_EQ(g_stage, 42);
    EXPECT_EQ(g_workerId, id);
    EXPECT_NE(id, GetCurrentThreadId());
}

TEST(KernelThreads, ExitThreadEndsTheThreadAndUnwindsIt) {
    g_stage = 0;
    ASSERT_NE(CreateThread(nullptr, 0, ExitingWorker, nullptr, 0, nullptr), nullptr);
    ASSERT_TRUE(win32sim::waitForThreads(std::chrono::seconds(10)));
    EXPECT_EQ(g_stage, 99);
    EXPECT_EQ(win32sim::runningThreads(), 0);
}

TEST(KernelThreads, ThreadCreationCanBeMadeToFailOnce) {
    win32sim::failNextThreadCreation(ERROR_NOT_ENOUGH_MEMORY);
    int parameter = 1;
    DWORD id = 0;
    EXPECT_EQ(CreateThread(nullptr, 0, ReturningWorker, &parameter, 0, &id), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
    EXPECT_NE(CreateThread(nullptr, 0, ReturningWorker, &parameter, 0, &id), nullptr);
    EXPECT_TRUE(win32sim::waitForThreads(std::chrono::seconds(10)));
}

TEST(KernelPower, ExecutionStateCallsAreRecorded) {
    testing_support::resetStandIn();
    SetThreadExecutionState(ES_CONTINUOUS | ES_SYSTEM_REQUIRED);
    EXPECT_EQ(SetThreadExecutionState(ES_CONTINUOUS), ES_CONTINUOUS | ES_SYSTEM_REQUIRED);
    EXPECT_EQ(win32sim::executionStateCalls(),
              (std::vector<EXECUTION_STATE>{ES_CONTINUOUS | ES_SYSTEM_REQUIRED, ES_CONTINUOUS}));
}

}  // namespace

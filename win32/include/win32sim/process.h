// Threads started with CreateThread, thread-creation faults and the execution state the
// product asked for (SetThreadExecutionState).
#pragma once

#include <windows.h>

#include <chrono>
#include <vector>

namespace win32sim {

// The next CreateThread call fails with this error instead of starting a thread.
void failNextThreadCreation(DWORD error);

// Waits until every thread started with CreateThread has ended; false on time-out.
bool waitForThreads(std::chrono::milliseconds timeout);
int runningThreads();

// Every value given to SetThreadExecutionState, and the last one in force.
std::vector<EXECUTION_STATE> executionStateCalls();
void clearExecutionStateCalls();

}  // namespace win32sim

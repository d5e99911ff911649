// CreateThread/ExitThread on POSIX threads, thread ids, and SetThreadExecutionState.
//
// Threads are detached, as a Windows thread whose handle nobody waits on; tests wait for
// all of them through win32sim::waitForThreads. ExitThread ends the thread with
// pthread_exit, which unwinds the thread's stack like a return would.
#include "win32sim/process.h"

#include <pthread.h>

#include <atomic>
#include <condition_variable>
#include <mutex>

#include "handles.h"

namespace win32sim {
namespace {

std::atomic<DWORD> g_nextThreadId{1};
thread_local DWORD t_threadId = 0;

std::mutex g_threadsMutex;
std::condition_variable g_threadsChanged;
int g_running = 0;
DWORD g_failNextCreation = 0;

std::mutex g_powerMutex;
std::vector<EXECUTION_STATE> g_executionStateCalls;
EXECUTION_STATE g_executionState = ES_CONTINUOUS;

struct StartInfo {
    LPTHREAD_START_ROUTINE routine;
    LPVOID parameter;
    DWORD threadId;
};

// Counts the thread as ended however it ends: by returning or through ExitThread.
struct RunningGuard {
    ~RunningGuard() {
        std::lock_guard<std::mutex> lock(g_threadsMutex);
        --g_running;
        g_threadsChanged.notify_all();
    }
};

void* threadMain(void* raw) {
    RunningGuard guard;
    StartInfo info = *static_cast<StartInfo*>(raw);
    delete static_cast<StartInfo*>(raw);
    t_threadId = info.threadId;
    DWORD code = info.routine(info.parameter);
    return reinterpret_cast<void*>(static_cast<uintptr_t>(code));
}

}  // namespace

void failNextThreadCreation(DWORD error) {
    std::lock_guard<std::mutex> lock(g_threadsMutex);
    g_failNextCreation = error;
}

bool waitForThreads(std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(g_threadsMutex);
    return g_threadsChanged.wait_for(lock, timeout, [] { return g_running == 0; });
}

int runningThreads() {
    std::lock_guard<std::mutex> lock(g_threadsMutex);
    return g_running;
}

std::vector<EXECUTION_STATE> executionStateCalls() {
    std::lock_guard<std::mutex> lock(g_powerMutex);
    return g_executionStateCalls;
}

void clearExecutionStateCalls() {
    std::lock_guard<std::mutex> lock(g_powerMutex);
    g_executionStateCalls.clear();
    g_executionState = ES_CONTINUOUS;
}

}  // namespace win32sim

DWORD WINAPI GetCurrentThreadId(void) {
    if (win32sim::t_threadId == 0) win32sim::t_threadId = win32sim::g_nextThreadId++;
    return win32sim::t_threadId;
}

HANDLE WINAPI CreateThread(LPSECURITY_ATTRIBUTES lpThreadAttributes, size_t dwStackSize,
                           LPTHREAD_START_ROUTINE lpStartAddress, LPVOID lpParameter,
                           DWORD dwCreationFlags, LPDWORD lpThreadId) {
    (void)lpThreadAttributes;
    (void)dwStackSize;
    if (!lpStartAddress || dwCreationFlags != 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    {
        std::lock_guard<std::mutex> lock(win32sim::g_threadsMutex);
        if (DWORD error = win32sim::g_failNextCreation) {
            win32sim::g_failNextCreation = 0;
            SetLastError(error);
            return nullptr;
        }
        ++win32sim::g_running;
    }
    DWORD id = win32sim::g_nextThreadId++;
    auto* info = new win32sim::StartInfo{lpStartAddress, lpParameter, id};

    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
    pthread_t thread;
    int rc = pthread_create(&thread, &attributes, win32sim::threadMain, info);
    pthread_attr_destroy(&attributes);
    if (rc != 0) {
        delete info;
        std::lock_guard<std::mutex> lock(win32sim::g_threadsMutex);
        --win32sim::g_running;
        win32sim::g_threadsChanged.notify_all();
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    auto object = std::make_shared<win32sim::ThreadObject>();
    object->threadId = id;
    if (lpThreadId) *lpThreadId = id;
    return win32sim::insertHandle(std::move(object));
}

void WINAPI ExitThread(DWORD dwExitCode) {
    pthread_exit(reinterpret_cast<void*>(static_cast<uintptr_t>(dwExitCode)));
}

EXECUTION_STATE WINAPI SetThreadExecutionState(EXECUTION_STATE esFlags) {
    std::lock_guard<std::mutex> lock(win32sim::g_powerMutex);
    win32sim::g_executionStateCalls.push_back(esFlags);
    EXECUTION_STATE previous = win32sim::g_executionState;
    if (esFlags & ES_CONTINUOUS) win32sim::g_executionState = esFlags;
    return previous;
}

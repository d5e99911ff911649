// The one clock behind Sleep, GetTickCount and the emulated drives.
#include "win32sim/clock.h"

#include <windows.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace win32sim::clock {
namespace {

// Windows' tick count starts at boot; start the virtual one somewhere past zero so that
// code subtracting tick counts is exercised with ordinary values.
constexpr std::uint64_t kVirtualStartMs = 1'000'000;

std::atomic<bool> g_virtual{false};
std::atomic<std::uint64_t> g_virtualNow{kVirtualStartMs};
const auto g_realStart = std::chrono::steady_clock::now();

std::atomic<std::uint64_t> g_sleepCalls{0};
std::atomic<std::uint64_t> g_sleptMs{0};
std::atomic<std::uint64_t> g_passedMs{0};
std::atomic<std::uint64_t> g_waitedNs{0};

}  // namespace

void useVirtual() {
    g_virtualNow = kVirtualStartMs;
    g_virtual = true;
}

void useReal() { g_virtual = false; }

bool isVirtual() { return g_virtual; }

std::uint64_t nowMs() {
    if (g_virtual) return g_virtualNow;
    auto elapsed = std::chrono::steady_clock::now() - g_realStart;
    return kVirtualStartMs +
           static_cast<std::uint64_t>(
               std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count());
}

void pass(std::uint64_t ms) {
    g_passedMs += ms;
    if (g_virtual) {
        g_virtualNow += ms;
        std::this_thread::yield();
    } else {
        auto start = std::chrono::steady_clock::now();
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        auto waited = std::chrono::steady_clock::now() - start;
        g_waitedNs += static_cast<std::uint64_t>(
            std::chrono::duration_cast<std::chrono::nanoseconds>(waited).count());
    }
}

PassedTime passedTime() {
    PassedTime time;
    time.sleepCalls = g_sleepCalls;
    time.sleptMs = g_sleptMs;
    time.passedMs = g_passedMs;
    time.waitedNs = g_waitedNs;
    return time;
}

void resetPassedTime() {
    g_sleepCalls = 0;
    g_sleptMs = 0;
    g_passedMs = 0;
    g_waitedNs = 0;
}

}  // namespace win32sim::clock

void WINAPI Sleep(DWORD dwMilliseconds) {
    ++win32sim::clock::g_sleepCalls;
    win32sim::clock::g_sleptMs += dwMilliseconds;
    win32sim::clock::pass(dwMilliseconds);
}

DWORD WINAPI GetTickCount(void) { return static_cast<DWORD>(win32sim::clock::nowMs()); }

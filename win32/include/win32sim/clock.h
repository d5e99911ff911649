// One clock for Sleep, GetTickCount and the emulated drives. Virtual in tests (Sleep
// advances it at once), real for interactive runs.
#pragma once

#include <cstdint>

namespace win32sim::clock {

void useVirtual();  // starts at a fixed tick count; Sleep returns at once
void useReal();     // the default
bool isVirtual();

std::uint64_t nowMs();
// Lets time pass: advances the virtual clock, or really waits on the real one.
void pass(std::uint64_t ms);

// The time let pass since the last resetPassedTime(): what Sleep asked for (the program's own
// waits), what pass() was asked for in all (Sleep and the devices' busy times), and how long
// those waits really took on the real clock (0 on the virtual one).
struct PassedTime {
    std::uint64_t sleepCalls = 0;
    std::uint64_t sleptMs = 0;
    std::uint64_t passedMs = 0;
    std::uint64_t waitedNs = 0;
};
PassedTime passedTime();
void resetPassedTime();

}  // namespace win32sim::clock

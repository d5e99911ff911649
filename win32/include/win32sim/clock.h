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

}  // namespace win32sim::clock

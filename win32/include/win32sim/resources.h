// The program's compiled resources (the .res that windres makes from resources/app.rc,
// embedded in the Linux build) and the faults a test can put on them.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <vector>

namespace win32sim {

// A copy of a resource's bytes (type and name as integer ids); nullopt if absent.
std::optional<std::vector<std::uint8_t>> resourceBytes(WORD type, WORD name);

// Faults: a replaced or removed resource, and LoadResource failing.
void overrideResource(WORD type, WORD name, std::vector<std::uint8_t> bytes);
void removeResource(WORD type, WORD name);
void failLoadResource(bool fail);
void resetResources();  // back to the embedded resources, no faults

}  // namespace win32sim

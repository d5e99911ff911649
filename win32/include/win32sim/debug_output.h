// What the product wrote with OutputDebugStringA, in order.
#pragma once

#include <string>
#include <vector>

namespace win32sim {

std::vector<std::string> debugOutput();
void clearDebugOutput();

}  // namespace win32sim

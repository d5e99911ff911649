// OutputDebugStringA: kept in order for tests; echoed to stderr when WIN32SIM_DEBUG_STDERR
// is set, which stands in for a debugger attached to the program.
#include "win32sim/debug_output.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <mutex>

namespace win32sim {
namespace {
std::mutex g_mutex;
std::vector<std::string> g_lines;
}  // namespace

std::vector<std::string> debugOutput() {
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_lines;
}

void clearDebugOutput() {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_lines.clear();
}

}  // namespace win32sim

void WINAPI OutputDebugStringA(LPCSTR lpOutputString) {
    std::string text = lpOutputString ? lpOutputString : "";
    if (std::getenv("WIN32SIM_DEBUG_STDERR")) std::fputs(text.c_str(), stderr);
    std::lock_guard<std::mutex> lock(win32sim::g_mutex);
    win32sim::g_lines.push_back(std::move(text));
}

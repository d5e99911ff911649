// MessageBoxA: records every box; without a front-end attached it answers IDOK at once.
#include <windows.h>

#include <mutex>
#include <vector>

#include "win32sim/message_boxes.h"

namespace win32sim {
namespace {
std::mutex g_boxMutex;
std::vector<MessageBoxInfo> g_boxes;
}  // namespace

std::vector<MessageBoxInfo> messageBoxes() {
    std::lock_guard<std::mutex> lock(g_boxMutex);
    return g_boxes;
}

void clearMessageBoxes() {
    std::lock_guard<std::mutex> lock(g_boxMutex);
    g_boxes.clear();
}

}  // namespace win32sim

int WINAPI MessageBoxA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType) {
    win32sim::MessageBoxInfo info;
    info.owner = hWnd;
    info.text = lpText ? lpText : "";
    info.caption = lpCaption ? lpCaption : "Error";
    info.style = uType;
    info.threadId = GetCurrentThreadId();
    {
        std::lock_guard<std::mutex> lock(win32sim::g_boxMutex);
        win32sim::g_boxes.push_back(info);
    }
    return IDOK;
}

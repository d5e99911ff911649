// Message boxes as the stand-in records them. Without a front-end attached (drive-layer
// unit tests), MessageBoxA records the box and returns IDOK at once; with a front-end
// (scripted user or terminal) it waits for the user's answer.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace win32sim {

struct MessageBoxInfo {
    HWND owner = nullptr;
    std::string text;
    std::string caption;
    UINT style = 0;
    DWORD threadId = 0;  // the thread that called MessageBoxA
};

std::vector<MessageBoxInfo> messageBoxes();  // every box shown, in order
void clearMessageBoxes();

}  // namespace win32sim

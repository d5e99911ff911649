// Static controls (text, or a bitmap with SS_BITMAP: the template names its resource id) and
// plain edit controls.
#include <windows.h>

#include "user_internal.h"

namespace win32sim::user {
namespace {
constexpr WORD kEnChange = 0x0300;
constexpr WORD kEnUpdate = 0x0400;

// Changes an edit control's text as typing does; false when nothing changed.
bool editText(HWND edit, const std::function<bool(Window&)>& change) {
    Lock lock(userMutex());
    WindowPtr w = findLocked(edit);
    if (!w || !change(*w)) return false;
    w->textSelected = false;
    notifyChangedLocked();
    return true;
}

void notifyEditChanged(HWND edit) {
    notifyParent(edit, kEnUpdate);
    notifyParent(edit, kEnChange);
}
}  // namespace

LRESULT staticProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    return defWindowProc(hwnd, msg, wParam, lParam);
}

LRESULT editProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    return defWindowProc(hwnd, msg, wParam, lParam);
}

void editTypeChar(HWND edit, char ch) {
    bool changed = editText(edit, [ch](Window& w) {
        if (w.textSelected) w.text.clear();
        w.text += ch;
        return true;
    });
    if (changed) notifyEditChanged(edit);
}

void editBackspace(HWND edit) {
    bool changed = editText(edit, [](Window& w) {
        if (w.textSelected && !w.text.empty()) {
            w.text.clear();
            return true;
        }
        if (w.text.empty()) return false;
        w.text.pop_back();
        return true;
    });
    if (changed) notifyEditChanged(edit);
}

}  // namespace win32sim::user

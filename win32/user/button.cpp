// Push buttons: a press (mouse click, Space, Enter, BM_CLICK) sends WM_COMMAND BN_CLICKED to
// the dialog; a disabled button ignores every press.
#include <windows.h>

#include "user_internal.h"

namespace win32sim::user {

void buttonClicked(HWND button) { notifyParent(button, BN_CLICKED); }

LRESULT buttonProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == BM_CLICK) {
        HWND dialog;
        {
            Lock lock(userMutex());
            WindowPtr w = findLocked(hwnd);
            if (!w || !w->enabled()) return 0;
            dialog = w->parent;
        }
        // As a mouse click: the button takes the focus, then reports the press.
        if (dialog) setFocus(dialog, hwnd);
        buttonClicked(hwnd);
        return 0;
    }
    return defWindowProc(hwnd, msg, wParam, lParam);
}

}  // namespace win32sim::user

// The progress bar (msctls_progress32). Positions are kept within the range; every position
// the bar is sent with PBM_SETPOS is also kept, in order, for tests to read.
#include <windows.h>
#include <commctrl.h>

#include "user_internal.h"

namespace win32sim::user {
namespace {

void clampLocked(Window& w) {
    if (w.pos < w.low) w.pos = w.low;
    if (w.pos > w.high) w.pos = w.high;
}

LRESULT setRangeLocked(Window& w, int low, int high) {
    LRESULT old = MAKELONG(LOWORD(w.low), LOWORD(w.high));
    w.low = low;
    w.high = high;
    clampLocked(w);
    notifyChangedLocked();
    return static_cast<LRESULT>(static_cast<DWORD>(old));
}

}  // namespace

LRESULT progressProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    Lock lock(userMutex());
    WindowPtr w = findLocked(hwnd);
    if (!w) return 0;
    switch (msg) {
    case PBM_SETRANGE: return setRangeLocked(*w, LOWORD(lParam), HIWORD(lParam));
    case PBM_SETRANGE32:
        return setRangeLocked(*w, static_cast<int>(wParam), static_cast<int>(lParam));
    case PBM_GETRANGE:
        if (lParam) {
            auto* range = reinterpret_cast<PBRANGE*>(lParam);
            range->iLow = w->low;
            range->iHigh = w->high;
        }
        return wParam ? w->low : w->high;
    case PBM_SETPOS: {
        int old = w->pos;
        w->history.push_back(static_cast<int>(wParam));
        w->pos = static_cast<int>(wParam);
        clampLocked(*w);
        notifyChangedLocked();
        return static_cast<LRESULT>(static_cast<UINT>(old));
    }
    case PBM_DELTAPOS: {
        int old = w->pos;
        w->pos += static_cast<int>(wParam);
        clampLocked(*w);
        notifyChangedLocked();
        return old;
    }
    case PBM_GETPOS: return w->pos;
    case PBM_SETSTEP: {
        int old = w->step;
        w->step = static_cast<int>(wParam);
        return old;
    }
    case PBM_STEPIT: {
        // Steps past the end wrap around to the start, as Windows' bar does.
        int old = w->pos;
        if (w->low != w->high) {
            int span = w->high - w->low;
            w->pos += w->step;
            if (w->pos > w->high) w->pos = (w->pos - w->low) % span + w->low;
            if (w->pos < w->low) w->pos = (w->pos - w->low) % span + w->high;
            notifyChangedLocked();
        }
        return old;
    }
    default: break;
    }
    lock.unlock();
    return defWindowProc(hwnd, msg, wParam, lParam);
}

}  // namespace win32sim::user

// Window handles and the window registry, and the window functions that read or change a
// window's fields: GetDlgItem, IsWindow, IsWindowEnabled, EnableWindow, Get/SetWindowLongPtrA.
#include <windows.h>

#include <map>

#include "user_internal.h"

namespace win32sim::user {
namespace {

std::map<HWND, WindowPtr>& registry() {
    static std::map<HWND, WindowPtr> windows;
    return windows;
}

// Handles are never reused, so a stale one stays invalid.
std::uintptr_t g_nextHandle = 0x10020;
std::uint64_t g_shownCounter = 0;
std::optional<DialogView> g_lastDialog;

}  // namespace

std::mutex& userMutex() {
    static std::mutex mutex;
    return mutex;
}

bool Window::isPushButton() const {
    DWORD type = style & 0x0F;
    return kind == Kind::Button && (type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON);
}

WindowPtr findLocked(HWND hwnd) {
    if (!hwnd) return nullptr;
    auto it = registry().find(hwnd);
    return it == registry().end() ? nullptr : it->second;
}

WindowPtr findDialogLocked(HWND hwnd) {
    WindowPtr w = findLocked(hwnd);
    return (w && w->kind == Kind::Dialog) ? w : nullptr;
}

HWND addWindowLocked(const WindowPtr& window) {
    g_nextHandle += 4;
    window->handle = reinterpret_cast<HWND>(g_nextHandle);
    registry()[window->handle] = window;
    return window->handle;
}

void removeWindowLocked(HWND hwnd) {
    auto it = registry().find(hwnd);
    if (it == registry().end()) return;
    std::shared_ptr<ThreadQueue> queue = it->second->queue;
    registry().erase(it);
    // Only the owner thread's queue can hold items for its windows.
    dropItemsForLocked(hwnd, *queue);
}

WindowPtr childByIdLocked(const Window& dialog, int id) {
    for (HWND child : dialog.children) {
        WindowPtr c = findLocked(child);
        if (c && c->id == id) return c;
    }
    return nullptr;
}

HWND rootLocked(HWND hwnd) {
    WindowPtr w = findLocked(hwnd);
    while (w && w->parent) {
        WindowPtr p = findLocked(w->parent);
        if (!p) break;
        w = p;
    }
    return w ? w->handle : nullptr;
}

WindowPtr dialogOfLocked(const Window& window) {
    if (window.kind == Kind::Dialog) return findLocked(window.handle);
    return findDialogLocked(window.parent);
}

bool onOwnerThreadLocked(const Window& window) { return window.queue == currentQueue(); }

std::uint64_t nextShownOrderLocked() { return ++g_shownCounter; }

WindowPtr latestDialogLocked(bool onShowOnly) {
    WindowPtr best;
    for (auto& [hwnd, w] : registry()) {
        if (w->kind != Kind::Dialog || !w->shown) continue;
        if (onShowOnly && w->ended) continue;
        if (!best || w->shownOrder > best->shownOrder) best = w;
    }
    return best;
}

void rememberLastDialogLocked(const Window& dialog) { g_lastDialog = viewLocked(dialog); }
std::optional<DialogView> lastDialogViewLocked() { return g_lastDialog; }
void forgetLastDialogLocked() { g_lastDialog.reset(); }

DialogView viewLocked(const Window& dialog) {
    DialogView view;
    view.hwnd = dialog.handle;
    view.caption = dialog.text;
    view.style = dialog.style;
    view.x = dialog.x;
    view.y = dialog.y;
    view.cx = dialog.cx;
    view.cy = dialog.cy;
    view.enabled = dialog.enabled();
    view.ended = dialog.ended;
    if (WindowPtr f = findLocked(dialog.focus)) view.focusId = f->id;
    for (HWND child : dialog.children) {
        WindowPtr c = findLocked(child);
        if (!c) continue;
        ControlView cv;
        cv.hwnd = c->handle;
        cv.id = c->id;
        cv.className = c->className;
        cv.style = c->style;
        cv.x = c->x;
        cv.y = c->y;
        cv.cx = c->cx;
        cv.cy = c->cy;
        cv.text = c->text;
        cv.enabled = c->enabled();
        cv.visible = c->visible();
        cv.isDefault = c->isPushButton() && c->id == dialog.defId;
        cv.entries = c->items;
        cv.selection = c->kind == Kind::ComboBox ? c->selection : CB_ERR;
        cv.dropped = c->dropped;
        if (c->kind == Kind::Progress) {
            cv.low = c->low;
            cv.high = c->high;
            cv.pos = c->pos;
            cv.history = c->history;
        }
        cv.imageId = c->imageId;
        view.controls.push_back(std::move(cv));
    }
    return view;
}

}  // namespace win32sim::user

namespace win32sim {

const ControlView* DialogView::control(int controlId) const {
    for (const ControlView& c : controls)
        if (c.id == controlId) return &c;
    return nullptr;
}

}  // namespace win32sim

using namespace win32sim::user;

BOOL WINAPI IsWindow(HWND hWnd) {
    Lock lock(userMutex());
    return findLocked(hWnd) ? TRUE : FALSE;
}

HWND WINAPI GetDlgItem(HWND hDlg, int nIDDlgItem) {
    Lock lock(userMutex());
    WindowPtr dlg = findLocked(hDlg);
    if (!dlg) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    WindowPtr child = childByIdLocked(*dlg, nIDDlgItem);
    if (!child) {
        SetLastError(ERROR_CONTROL_ID_NOT_FOUND);
        return nullptr;
    }
    return child->handle;
}

int WINAPI GetDlgCtrlID(HWND hWnd) {
    Lock lock(userMutex());
    WindowPtr w = findLocked(hWnd);
    if (!w) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    return w->parent ? w->id : 0;
}

BOOL WINAPI IsWindowEnabled(HWND hWnd) {
    Lock lock(userMutex());
    WindowPtr w = findLocked(hWnd);
    if (!w) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    return w->enabled() ? TRUE : FALSE;
}

namespace {

// EnableWindow on the owner thread.
BOOL enableOnOwner(HWND hWnd, bool enable) {
    Lock lock(userMutex());
    WindowPtr w = findLocked(hWnd);
    if (!w) return FALSE;
    bool wasDisabled = !w->enabled();
    if (enable == wasDisabled) {
        if (enable) {
            w->style &= ~static_cast<DWORD>(WS_DISABLED);
        } else {
            w->style |= WS_DISABLED;
            // A disabled window cannot keep the focus.
            if (WindowPtr dlg = dialogOfLocked(*w); dlg && dlg->focus == hWnd) {
                if (w->kind == Kind::ComboBox) w->dropped = false;
                dlg->focus = nullptr;
            }
        }
        notifyChangedLocked();
        lock.unlock();
        dispatch(hWnd, WM_ENABLE, enable ? TRUE : FALSE, 0);
    }
    return wasDisabled ? TRUE : FALSE;
}

}  // namespace

BOOL WINAPI EnableWindow(HWND hWnd, BOOL bEnable) {
    {
        Lock lock(userMutex());
        WindowPtr w = findLocked(hWnd);
        if (!w) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return FALSE;
        }
        if (onOwnerThreadLocked(*w)) {
            lock.unlock();
            return enableOnOwner(hWnd, bEnable != FALSE);
        }
    }
    bool enable = bEnable != FALSE;
    return static_cast<BOOL>(
        runOnOwnerThread(hWnd, [hWnd, enable] { return LRESULT(enableOnOwner(hWnd, enable)); }));
}

LONG_PTR WINAPI GetWindowLongPtrA(HWND hWnd, int nIndex) {
    Lock lock(userMutex());
    WindowPtr w = findLocked(hWnd);
    if (!w) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    switch (nIndex) {
    case GWL_STYLE: return static_cast<LONG_PTR>(w->style);
    case GWL_EXSTYLE: return static_cast<LONG_PTR>(w->exStyle);
    case GWLP_ID: return w->id;
    case GWLP_USERDATA: return w->userData;
    case GWLP_HWNDPARENT: return reinterpret_cast<LONG_PTR>(w->parent);
    default: break;
    }
    if (w->kind == Kind::Dialog) {
        if (nIndex == DWLP_MSGRESULT) return w->msgResult;
        if (nIndex == static_cast<int>(DWLP_DLGPROC)) return reinterpret_cast<LONG_PTR>(w->dlgProc);
        if (nIndex == static_cast<int>(DWLP_USER)) return w->dlgUser;
    }
    SetLastError(ERROR_INVALID_INDEX);
    return 0;
}

LONG_PTR WINAPI SetWindowLongPtrA(HWND hWnd, int nIndex, LONG_PTR dwNewLong) {
    Lock lock(userMutex());
    WindowPtr w = findLocked(hWnd);
    if (!w) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    LONG_PTR old = 0;
    auto swap = [&](auto& field, auto value) {
        old = static_cast<LONG_PTR>(field);
        field = value;
    };
    switch (nIndex) {
    case GWL_STYLE: swap(w->style, static_cast<DWORD>(dwNewLong)); break;
    case GWL_EXSTYLE: swap(w->exStyle, static_cast<DWORD>(dwNewLong)); break;
    case GWLP_ID: swap(w->id, static_cast<int>(dwNewLong)); break;
    case GWLP_USERDATA: swap(w->userData, dwNewLong); break;
    default:
        if (w->kind == Kind::Dialog && nIndex == DWLP_MSGRESULT) {
            swap(w->msgResult, dwNewLong);
        } else if (w->kind == Kind::Dialog && nIndex == static_cast<int>(DWLP_DLGPROC)) {
            old = reinterpret_cast<LONG_PTR>(w->dlgProc);
            w->dlgProc = reinterpret_cast<DLGPROC>(dwNewLong);
        } else if (w->kind == Kind::Dialog && nIndex == static_cast<int>(DWLP_USER)) {
            swap(w->dlgUser, dwNewLong);
        } else {
            SetLastError(ERROR_INVALID_INDEX);
            return 0;
        }
    }
    notifyChangedLocked();
    return old;
}

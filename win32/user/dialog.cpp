// Modal dialogs: creation from template data, the modal loop, EndDialog, and the default
// dialog procedure wrapped around the program's dialog procedure (DefDlgProc).
#include <windows.h>

#include "user_internal.h"
#include "win32sim/dialogs.h"

namespace win32sim::user {
namespace {

HWND itemHandleLocked(const Window& dialog, int id) {
    WindowPtr item = childByIdLocked(dialog, id);
    return item ? item->handle : nullptr;
}

// DM_SETDEFID: the new default push button shows as such, the old one no longer does.
void setDefaultIdLocked(Window& dialog, int id) {
    if (WindowPtr old = childByIdLocked(dialog, dialog.defId); old && old->isPushButton())
        old->style = (old->style & ~0x0FUL) | BS_PUSHBUTTON;
    dialog.defId = id;
    if (WindowPtr now = childByIdLocked(dialog, id); now && now->isPushButton())
        now->style = (now->style & ~0x0FUL) | BS_DEFPUSHBUTTON;
    notifyChangedLocked();
}

LRESULT defaultDialogHandling(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_CLOSE: {
        // The close command becomes a Cancel press, which the dialog gets after WM_CLOSE.
        HWND cancel;
        {
            Lock lock(userMutex());
            WindowPtr dlg = findLocked(hwnd);
            cancel = dlg ? itemHandleLocked(*dlg, IDCANCEL) : nullptr;
        }
        postMessage(hwnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                    reinterpret_cast<LPARAM>(cancel));
        return 0;
    }
    case DM_GETDEFID: {
        Lock lock(userMutex());
        WindowPtr dlg = findLocked(hwnd);
        if (!dlg || dlg->ended) return 0;
        if (dlg->defId) return MAKELONG(dlg->defId, DC_HASDEFID);
        for (HWND child : dlg->children) {
            WindowPtr c = findLocked(child);
            if (c && c->kind == Kind::Button && (c->style & 0x0F) == BS_DEFPUSHBUTTON)
                return MAKELONG(c->id, DC_HASDEFID);
        }
        return 0;
    }
    case DM_SETDEFID: {
        Lock lock(userMutex());
        WindowPtr dlg = findLocked(hwnd);
        if (dlg && !dlg->ended) setDefaultIdLocked(*dlg, static_cast<int>(LOWORD(wParam)));
        return 1;
    }
    default: return defWindowProc(hwnd, msg, wParam, lParam);
    }
}

void destroyDialog(HWND hwnd) {
    std::vector<HWND> children;
    {
        Lock lock(userMutex());
        WindowPtr dlg = findLocked(hwnd);
        if (!dlg) return;
        children = dlg->children;
    }
    dispatch(hwnd, WM_DESTROY, 0, 0);
    for (HWND child : children) dispatch(child, WM_DESTROY, 0, 0);

    Lock lock(userMutex());
    if (WindowPtr dlg = findLocked(hwnd)) rememberLastDialogLocked(*dlg);
    for (HWND child : children) removeWindowLocked(child);
    removeWindowLocked(hwnd);
    notifyChangedLocked();
}

}  // namespace

LRESULT dialogWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    DLGPROC proc;
    {
        Lock lock(userMutex());
        WindowPtr dlg = findLocked(hwnd);
        if (!dlg) return 0;
        dlg->msgResult = 0;
        proc = dlg->dlgProc;
    }
    INT_PTR result = proc ? proc(hwnd, msg, wParam, lParam) : 0;
    if (!result && IsWindow(hwnd)) {
        switch (msg) {
        case WM_CLOSE:
        case DM_GETDEFID:
        case DM_SETDEFID: return defaultDialogHandling(hwnd, msg, wParam, lParam);
        case WM_INITDIALOG: break;
        default: return defWindowProc(hwnd, msg, wParam, lParam);
        }
    }
    if (msg == WM_INITDIALOG) return result;
    // A procedure that handled a message gives its result through DWLP_MSGRESULT.
    Lock lock(userMutex());
    WindowPtr dlg = findLocked(hwnd);
    return dlg ? dlg->msgResult : 0;
}

}  // namespace win32sim::user

using namespace win32sim::user;

namespace win32sim {

INT_PTR dialogBoxFromTemplate(const DialogTemplate& dialogTemplate, HWND owner, DLGPROC proc,
                              LPARAM initParam) {
    if (!dialogTemplate.windowClass.empty() && dialogTemplate.windowClass != "#32770") {
        SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
        return -1;
    }
    std::vector<Kind> kinds;
    for (const DialogItemTemplate& item : dialogTemplate.items) {
        std::optional<Kind> kind = classKind(item.className);
        if (!kind) {
            SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
            return -1;
        }
        kinds.push_back(*kind);
    }

    HWND hwnd;
    HWND ownerRoot = nullptr;
    {
        Lock lock(userMutex());
        if (owner) {
            if (!findLocked(owner)) {
                SetLastError(ERROR_INVALID_WINDOW_HANDLE);
                return -1;
            }
            ownerRoot = rootLocked(owner);
        }
        auto dlg = std::make_shared<Window>();
        dlg->kind = Kind::Dialog;
        dlg->className = "#32770";
        dlg->style = dialogTemplate.style & ~static_cast<DWORD>(WS_VISIBLE);
        dlg->exStyle = dialogTemplate.exStyle;
        dlg->x = dialogTemplate.x;
        dlg->y = dialogTemplate.y;
        dlg->cx = dialogTemplate.cx;
        dlg->cy = dialogTemplate.cy;
        dlg->text = dialogTemplate.title;
        dlg->threadId = GetCurrentThreadId();
        dlg->queue = currentQueue();
        dlg->dlgProc = proc;
        dlg->parent = nullptr;
        hwnd = addWindowLocked(dlg);

        for (std::size_t i = 0; i < dialogTemplate.items.size(); ++i) {
            const DialogItemTemplate& item = dialogTemplate.items[i];
            auto c = std::make_shared<Window>();
            c->kind = kinds[i];
            c->className = item.className;
            c->id = item.id;
            c->style = item.style;
            c->exStyle = item.exStyle;
            c->x = item.x;
            c->y = item.y;
            c->cx = item.cx;
            c->cy = item.cy;
            if (item.titleId)
                c->imageId = item.titleId;
            else
                c->text = item.title;
            c->parent = hwnd;
            c->threadId = dlg->threadId;
            c->queue = dlg->queue;
            addWindowLocked(c);
            dlg->children.push_back(c->handle);
            if (c->kind == Kind::Button && (c->style & 0x0F) == BS_DEFPUSHBUTTON)
                dlg->defId = c->id;
        }
    }

    // A modal dialog disables its owner while it runs.
    bool ownerDisabled = false;
    if (ownerRoot && IsWindowEnabled(ownerRoot)) {
        EnableWindow(ownerRoot, FALSE);
        ownerDisabled = true;
    }

    HWND firstTab;
    {
        Lock lock(userMutex());
        firstTab = nextTabItemLocked(*findLocked(hwnd), nullptr, false);
    }
    LRESULT wantsFocus =
        SendMessageA(hwnd, WM_INITDIALOG, reinterpret_cast<WPARAM>(firstTab), initParam);

    HWND focus = nullptr;
    {
        Lock lock(userMutex());
        WindowPtr dlg = findLocked(hwnd);
        // WM_INITDIALOG may have changed the controls: find the first tab stop again.
        if (wantsFocus && dlg && !dlg->ended) focus = nextTabItemLocked(*dlg, nullptr, false);
    }
    if (focus) setFocus(hwnd, focus);

    INT_PTR result = 0;
    {
        Lock lock(userMutex());
        if (WindowPtr dlg = findLocked(hwnd); dlg && !dlg->ended) {
            dlg->shown = true;
            dlg->style |= WS_VISIBLE;
            dlg->shownOrder = nextShownOrderLocked();
            // Input being handled on this thread has now brought up a dialog: its sender
            // may go on.
            for (auto& item : currentQueue()->inputsInProgress) completeLocked(*item, 0);
            notifyChangedLocked();
        }
        pumpUntil(
            lock,
            [hwnd] {
                WindowPtr dlg = findLocked(hwnd);
                return !dlg || dlg->ended;
            },
            true);
        if (WindowPtr dlg = findLocked(hwnd)) result = dlg->endResult;
    }
    destroyDialog(hwnd);
    if (ownerDisabled) EnableWindow(ownerRoot, TRUE);
    return result;
}

}  // namespace win32sim

BOOL WINAPI EndDialog(HWND hDlg, INT_PTR nResult) {
    Lock lock(userMutex());
    WindowPtr dlg = findDialogLocked(hDlg);
    if (!dlg) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    dlg->ended = true;
    dlg->endResult = nResult;
    dlg->style &= ~static_cast<DWORD>(WS_VISIBLE);
    dlg->queue->wake.notify_all();
    notifyChangedLocked();
    return TRUE;
}

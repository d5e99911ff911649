// The dialog manager: the focus, keyboard navigation and the user's input to a dialog, as
// Windows' IsDialogMessage handles them. Input reaches nothing while the dialog is disabled
// (a modal box owned by it is open) or not on show, and a disabled control takes none.
#include <windows.h>

#include "user_internal.h"

namespace win32sim::user {
namespace {

bool isTabStop(const Window& c) { return (c.style & WS_TABSTOP) && c.enabled() && c.visible(); }

bool canTakeFocus(const Window& c) {
    return (c.kind == Kind::Button || c.kind == Kind::ComboBox || c.kind == Kind::Edit) &&
           c.enabled() && c.visible();
}

int indexOf(const Window& dialog, HWND child) {
    for (std::size_t i = 0; i < dialog.children.size(); ++i)
        if (dialog.children[i] == child) return static_cast<int>(i);
    return -1;
}

HWND controlLocked(HWND dialog, int id) {
    WindowPtr d = findLocked(dialog);
    WindowPtr c = d ? childByIdLocked(*d, id) : nullptr;
    return c ? c->handle : nullptr;
}

void pressEnter(HWND dialog, HWND focus) {
    {
        Lock lock(userMutex());
        WindowPtr f = findLocked(focus);
        if (f && f->isPushButton()) {
            if (!f->enabled()) return;
            int id = f->id;
            lock.unlock();
            SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                         reinterpret_cast<LPARAM>(focus));
            return;
        }
    }
    LRESULT defId = SendMessageA(dialog, DM_GETDEFID, 0, 0);
    if (HIWORD(defId) == DC_HASDEFID) {
        int id = LOWORD(defId);
        HWND button;
        bool enabled;
        {
            Lock lock(userMutex());
            button = controlLocked(dialog, id);
            WindowPtr b = findLocked(button);
            enabled = !b || b->enabled();
        }
        if (enabled)
            SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                         reinterpret_cast<LPARAM>(button));
    } else {
        HWND ok;
        {
            Lock lock(userMutex());
            ok = controlLocked(dialog, IDOK);
        }
        SendMessageA(dialog, WM_COMMAND, IDOK, reinterpret_cast<LPARAM>(ok));
    }
}

void keyDown(HWND dialog, Key key) {
    if (key == Key::AltF4) {
        SendMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
        return;
    }
    HWND focus;
    Kind focusKind = Kind::Static;
    bool dropped = false;
    {
        Lock lock(userMutex());
        WindowPtr d = findLocked(dialog);
        if (!d) return;
        focus = d->focus;
        if (WindowPtr f = findLocked(focus)) {
            focusKind = f->kind;
            dropped = f->dropped;
        } else {
            focus = nullptr;
        }
    }

    // Keys the focused control wants for itself.
    if (focus && focusKind == Kind::ComboBox) {
        switch (key) {
        case Key::Up: comboMove(focus, -1); return;
        case Key::Down: comboMove(focus, +1); return;
        case Key::AltUp:
        case Key::AltDown: comboToggleList(focus); return;
        case Key::Backspace: comboBackspace(focus); return;
        case Key::Space: comboTypeChar(focus, ' '); return;
        case Key::Enter:
        case Key::Escape:
            if (dropped) {
                comboCloseList(focus, key == Key::Enter);
                return;
            }
            break;
        default: break;
        }
    }
    if (focus && focusKind == Kind::Edit) {
        if (key == Key::Backspace) return editBackspace(focus);
        if (key == Key::Space) return editTypeChar(focus, ' ');
    }

    switch (key) {
    case Key::Tab:
    case Key::ShiftTab:
    case Key::Up:
    case Key::Down: {
        HWND next;
        {
            Lock lock(userMutex());
            WindowPtr d = findLocked(dialog);
            if (!d) return;
            if (key == Key::Tab || key == Key::ShiftTab)
                next = nextTabItemLocked(*d, focus, key == Key::ShiftTab);
            else
                next = nextGroupItemLocked(*d, focus, key == Key::Up);
        }
        if (next) setFocus(dialog, next);
        return;
    }
    case Key::Escape: {
        HWND cancel;
        {
            Lock lock(userMutex());
            cancel = controlLocked(dialog, IDCANCEL);
        }
        SendMessageA(dialog, WM_COMMAND, IDCANCEL, reinterpret_cast<LPARAM>(cancel));
        return;
    }
    case Key::Enter: pressEnter(dialog, focus); return;
    case Key::Space:
        if (focus && focusKind == Kind::Button) buttonClicked(focus);
        return;
    default: return;
    }
}

}  // namespace

HWND nextTabItemLocked(const Window& dialog, HWND from, bool previous) {
    const int n = static_cast<int>(dialog.children.size());
    int start = indexOf(dialog, from);
    if (start < 0) start = previous ? n : -1;
    for (int step = 1; step <= n; ++step) {
        int i = ((previous ? start - step : start + step) % n + n) % n;
        WindowPtr c = findLocked(dialog.children[static_cast<std::size_t>(i)]);
        if (c && isTabStop(*c)) return c->handle;
    }
    return nullptr;
}

HWND nextGroupItemLocked(const Window& dialog, HWND from, bool previous) {
    const int n = static_cast<int>(dialog.children.size());
    if (n == 0) return nullptr;
    auto style = [&](int i) {
        WindowPtr c = findLocked(dialog.children[static_cast<std::size_t>(i)]);
        return c ? c->style : 0;
    };
    int current = indexOf(dialog, from);
    if (current < 0) current = previous ? n - 1 : 0;
    // The group runs from a WS_GROUP control up to the next one.
    int groupStart = 0;
    for (int i = 0; i <= current; ++i)
        if (style(i) & WS_GROUP) groupStart = i;
    int result = current;
    for (int i = current + 1;; ++i) {
        if (i >= n || (style(i) & WS_GROUP)) i = groupStart;
        if (i == current) break;
        WindowPtr c = findLocked(dialog.children[static_cast<std::size_t>(i)]);
        if (c && c->enabled() && c->visible()) {
            result = i;
            if (!previous) break;
        }
    }
    return dialog.children[static_cast<std::size_t>(result)];
}

void restoreFocusOnActivation(HWND dialog) {
    HWND first = nullptr;
    {
        Lock lock(userMutex());
        WindowPtr d = findDialogLocked(dialog);
        if (!d) return;
        WindowPtr focus = findLocked(d->focus);
        if (focus && canTakeFocus(*focus)) return;
        first = nextTabItemLocked(*d, nullptr, false);
    }
    if (first) setFocus(dialog, first);
}

void setFocus(HWND dialog, HWND control) {
    HWND old;
    bool oldDropped = false;
    {
        Lock lock(userMutex());
        WindowPtr d = findDialogLocked(dialog);
        if (!d || d->focus == control) return;
        if (control) {
            WindowPtr c = findLocked(control);
            if (!c || c->parent != dialog || !canTakeFocus(*c)) return;
        }
        old = d->focus;
        if (WindowPtr o = findLocked(old)) oldDropped = o->dropped;
    }
    // A combo box losing the focus closes its list.
    if (oldDropped) comboCloseList(old, false);
    Lock lock(userMutex());
    WindowPtr d = findDialogLocked(dialog);
    if (!d) return;
    if (WindowPtr o = findLocked(old)) o->textSelected = false;
    d->focus = control;
    // Coming into an edit field selects its text, so typing replaces it.
    if (WindowPtr c = findLocked(control)) c->textSelected = true;
    notifyChangedLocked();
}

void handleInput(HWND dialog, const Input& input) {
    HWND control = nullptr;
    Kind kind = Kind::Static;
    {
        Lock lock(userMutex());
        WindowPtr d = findDialogLocked(dialog);
        if (!d || !d->shown || d->ended || !d->enabled()) return;
        if (input.kind == Input::Kind::Click || input.kind == Input::Kind::Focus ||
            input.kind == Input::Kind::SelectEntry) {
            WindowPtr c = childByIdLocked(*d, input.controlId);
            if (!c || !c->enabled() || !c->visible()) return;
            control = c->handle;
            kind = c->kind;
        } else if (input.kind == Input::Kind::Char) {
            WindowPtr f = findLocked(d->focus);
            if (!f) return;
            control = f->handle;
            kind = f->kind;
        }
    }
    switch (input.kind) {
    case Input::Kind::CloseCommand: SendMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0); return;
    case Input::Kind::Key: keyDown(dialog, input.key); return;
    case Input::Kind::Click:
        if (kind == Kind::Button) {
            setFocus(dialog, control);
            buttonClicked(control);
        } else if (kind == Kind::ComboBox || kind == Kind::Edit) {
            setFocus(dialog, control);
        }
        return;
    case Input::Kind::Focus: setFocus(dialog, control); return;
    case Input::Kind::SelectEntry:
        if (kind != Kind::ComboBox) return;
        setFocus(dialog, control);
        comboUserSelect(control, input.index);
        return;
    case Input::Kind::Char:
        if (kind == Kind::ComboBox) comboTypeChar(control, input.ch);
        if (kind == Kind::Edit) editTypeChar(control, input.ch);
        return;
    }
}

}  // namespace win32sim::user

namespace win32sim {

bool deliverInput(HWND dialog, const Input& input, std::chrono::milliseconds wait) {
    using namespace user;
    auto item = std::make_shared<QueueItem>();
    item->type = QueueItem::Type::Task;
    item->hwnd = dialog;
    item->isInput = true;
    item->task = [dialog, input] {
        handleInput(dialog, input);
        return LRESULT(0);
    };
    {
        Lock lock(userMutex());
        WindowPtr d = findDialogLocked(dialog);
        if (!d) return false;
        if (onOwnerThreadLocked(*d)) {
            lock.unlock();
            handleInput(dialog, input);
            return true;
        }
        if (wait.count() <= 0) {
            d->queue->posted.push_back(item);
            d->queue->wake.notify_all();
            return true;
        }
    }
    return sendAndWait(item, SteadyClock::now() + wait).has_value();
}

}  // namespace win32sim

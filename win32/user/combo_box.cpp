// The combo box with an edit field (CBS_DROPDOWN): its list, the selection, the edit text,
// and the user's typing and picking with the notifications Windows' combo box sends.
//
// The edit field shows the selected entry after CB_SETCURSEL and after the user picks an
// entry; typing into it leaves no entry selected while the list is closed (with the list
// open, the first entry starting with the text is selected).
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <cstring>

#include "user_internal.h"

namespace win32sim::user {
namespace {

int foldedChar(char c) { return std::tolower(static_cast<unsigned char>(c)); }

// Case-insensitive order of the list's sorting.
int compareNoCase(const std::string& a, const std::string& b) {
    std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        int d = foldedChar(a[i]) - foldedChar(b[i]);
        if (d) return d < 0 ? -1 : 1;
    }
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}

// Where a sorted list takes a new string: a binary search that stops at an equal entry.
int sortedPosition(const std::vector<std::string>& items, const std::string& s) {
    int low = 0, high = static_cast<int>(items.size()) - 1;
    while (low <= high) {
        int mid = (low + high) / 2;
        int res = compareNoCase(items[static_cast<std::size_t>(mid)], s);
        if (res == 0) return mid;
        if (res > 0)
            high = mid - 1;
        else
            low = mid + 1;
    }
    return low;
}

// The first entry that starts with the text (case-insensitive); -1 for none or no text.
int findPrefix(const Window& c, const std::string& text) {
    if (text.empty()) return -1;
    for (std::size_t i = 0; i < c.items.size(); ++i) {
        const std::string& item = c.items[i];
        if (item.size() < text.size()) continue;
        if (compareNoCase(item.substr(0, text.size()), text) == 0) return static_cast<int>(i);
    }
    return -1;
}

bool validIndex(const Window& c, WPARAM wParam) {
    auto index = static_cast<int>(wParam);
    return index >= 0 && index < static_cast<int>(c.items.size());
}

bool hasFocusLocked(const Window& c) {
    WindowPtr dlg = dialogOfLocked(c);
    return dlg && dlg->focus == c.handle;
}

void showSelectionLocked(Window& c) {
    c.text = c.selection >= 0 ? c.items[static_cast<std::size_t>(c.selection)] : std::string();
    c.textSelected = hasFocusLocked(c);
    notifyChangedLocked();
}

void insertLocked(Window& c, int index, const char* s) {
    c.items.insert(c.items.begin() + index, s);
    if (c.selection >= index) ++c.selection;
    notifyChangedLocked();
}

void dropDown(HWND combo) {
    notifyParent(combo, CBN_DROPDOWN);
    Lock lock(userMutex());
    WindowPtr c = findLocked(combo);
    if (!c || c->dropped) return;
    c->dropped = true;
    // Opening the list selects the entry the edit text begins, and shows it whole.
    int index = findPrefix(*c, c->text);
    c->selection = index;
    if (index >= 0) {
        c->caret = index;
        c->text = c->items[static_cast<std::size_t>(index)];
    }
    notifyChangedLocked();
}

void rollUp(HWND combo, bool accept) {
    notifyParent(combo, accept ? CBN_SELENDOK : CBN_SELENDCANCEL);
    {
        Lock lock(userMutex());
        WindowPtr c = findLocked(combo);
        if (!c || !c->dropped) return;
        c->dropped = false;
        notifyChangedLocked();
    }
    notifyParent(combo, CBN_CLOSEUP);
}

// A selection made in the list: CBN_SELCHANGE first, the edit text after it (a handler
// reading the window text during CBN_SELCHANGE still finds the old text, as on Windows).
void reportSelection(HWND combo) {
    notifyParent(combo, CBN_SELCHANGE);
    Lock lock(userMutex());
    if (WindowPtr c = findLocked(combo)) showSelectionLocked(*c);
}

void editChanged(HWND combo) {
    notifyParent(combo, CBN_EDITUPDATE);
    {
        Lock lock(userMutex());
        WindowPtr c = findLocked(combo);
        if (!c) return;
        int index = findPrefix(*c, c->text);
        c->selection = c->dropped ? index : -1;
        c->caret = index < 0 ? 0 : index;
        notifyChangedLocked();
    }
    notifyParent(combo, CBN_EDITCHANGE);
}

}  // namespace

LRESULT comboProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    Lock lock(userMutex());
    WindowPtr c = findLocked(hwnd);
    if (!c) return 0;
    const auto count = static_cast<int>(c->items.size());
    switch (msg) {
    case CB_ADDSTRING: {
        const char* s = reinterpret_cast<const char*>(lParam);
        if (!s) return CB_ERR;
        int index = (c->style & CBS_SORT) ? sortedPosition(c->items, s) : count;
        insertLocked(*c, index, s);
        return index;
    }
    case CB_INSERTSTRING: {
        const char* s = reinterpret_cast<const char*>(lParam);
        int index = static_cast<int>(wParam);
        if (index == -1) index = count;
        if (!s || index < 0 || index > count) return CB_ERR;
        insertLocked(*c, index, s);
        return index;
    }
    case CB_DELETESTRING: {
        if (!validIndex(*c, wParam)) return CB_ERR;
        int index = static_cast<int>(wParam);
        c->items.erase(c->items.begin() + index);
        if (c->selection == index)
            c->selection = -1;
        else if (c->selection > index)
            --c->selection;
        notifyChangedLocked();
        return count - 1;
    }
    case CB_RESETCONTENT:
        c->items.clear();
        c->selection = -1;
        c->caret = 0;
        c->text.clear();
        notifyChangedLocked();
        return TRUE;
    case CB_GETCOUNT: return count;
    case CB_GETCURSEL: return c->selection;
    case CB_SETCURSEL: {
        int index = static_cast<int>(wParam);
        LRESULT result = CB_ERR;
        if (index >= -1 && index < count) {
            c->selection = index;
            if (index >= 0) c->caret = index;
            result = index;
        }
        // Whether or not it succeeded, the edit field shows the selection (or nothing).
        showSelectionLocked(*c);
        return result;
    }
    case CB_GETLBTEXT: {
        char* buffer = reinterpret_cast<char*>(lParam);
        if (!validIndex(*c, wParam) || !buffer) return CB_ERR;
        const std::string& item = c->items[wParam];
        std::memcpy(buffer, item.c_str(), item.size() + 1);
        return static_cast<LRESULT>(item.size());
    }
    case CB_GETLBTEXTLEN:
        if (!validIndex(*c, wParam)) return CB_ERR;
        return static_cast<LRESULT>(c->items[wParam].size());
    case CB_GETDROPPEDSTATE: return c->dropped ? TRUE : FALSE;
    case CB_SHOWDROPDOWN: {
        bool show = wParam != 0;
        bool dropped = c->dropped;
        lock.unlock();
        if (show && !dropped) dropDown(hwnd);
        if (!show && dropped) rollUp(hwnd, false);
        return TRUE;
    }
    case WM_SETTEXT:
    case WM_GETTEXT:
    case WM_GETTEXTLENGTH:
        // The edit field's text; setting it leaves the list's selection alone.
        return textMessageLocked(c->text, msg, wParam, lParam);
    default: break;
    }
    lock.unlock();
    return defWindowProc(hwnd, msg, wParam, lParam);
}

void comboUserSelect(HWND combo, int index) {
    bool dropped;
    {
        Lock lock(userMutex());
        WindowPtr c = findLocked(combo);
        if (!c || index < 0 || index >= static_cast<int>(c->items.size())) return;
        dropped = c->dropped;
    }
    if (!dropped) dropDown(combo);  // the click on the arrow
    {
        Lock lock(userMutex());
        WindowPtr c = findLocked(combo);
        if (!c || index >= static_cast<int>(c->items.size())) return;
        c->selection = index;
        c->caret = index;
        notifyChangedLocked();
    }
    rollUp(combo, true);  // the click on the entry
    reportSelection(combo);
}

void comboMove(HWND combo, int delta) {
    bool dropped;
    {
        Lock lock(userMutex());
        WindowPtr c = findLocked(combo);
        if (!c || c->items.empty()) return;
        int last = static_cast<int>(c->items.size()) - 1;
        // With nothing selected, the first press selects the entry at the caret.
        int target = c->selection < 0 ? c->caret : c->caret + delta;
        target = std::clamp(target, 0, last);
        if (target == c->selection) return;
        c->selection = target;
        c->caret = target;
        dropped = c->dropped;
        notifyChangedLocked();
    }
    if (!dropped) notifyParent(combo, CBN_SELENDOK);
    reportSelection(combo);
}

void comboToggleList(HWND combo) {
    bool dropped;
    {
        Lock lock(userMutex());
        WindowPtr c = findLocked(combo);
        if (!c) return;
        dropped = c->dropped;
    }
    if (dropped)
        rollUp(combo, false);
    else
        dropDown(combo);
}

void comboCloseList(HWND combo, bool accept) { rollUp(combo, accept); }

void comboTypeChar(HWND combo, char ch) {
    {
        Lock lock(userMutex());
        WindowPtr c = findLocked(combo);
        if (!c) return;
        if (c->textSelected) c->text.clear();
        c->text += ch;
        c->textSelected = false;
        notifyChangedLocked();
    }
    editChanged(combo);
}

void comboBackspace(HWND combo) {
    {
        Lock lock(userMutex());
        WindowPtr c = findLocked(combo);
        if (!c || c->text.empty()) return;
        if (c->textSelected)
            c->text.clear();
        else
            c->text.pop_back();
        c->textSelected = false;
        notifyChangedLocked();
    }
    editChanged(combo);
}

}  // namespace win32sim::user

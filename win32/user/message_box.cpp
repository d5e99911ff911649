// MessageBoxA. Every box is recorded. Without a front-end it answers IDOK at once; with one
// it is shown there and waits, on the calling thread, for the user's answer. Meanwhile that
// thread goes on handling its messages (a box shown by the dialog thread keeps the dialog
// working), and the box's owner window is disabled, so the user's input to it goes nowhere.
#include <windows.h>

#include <algorithm>

#include "user_internal.h"
#include "win32sim/message_boxes.h"

namespace win32sim {
namespace {

struct OpenBox {
    MessageBoxView view;
    bool answered = false;
    int answer = 0;
};

// Guarded by the user side's lock.
std::vector<MessageBoxInfo> g_boxes;
std::vector<std::shared_ptr<OpenBox>> g_open;
std::vector<std::shared_ptr<user::ThreadQueue>> g_boxThreads;  // parallel to g_open
int g_lastBoxId = 0;

std::vector<int> buttonsFor(UINT style) {
    switch (style & MB_TYPEMASK) {
    case MB_OKCANCEL: return {IDOK, IDCANCEL};
    case MB_ABORTRETRYIGNORE: return {IDABORT, IDRETRY, IDIGNORE};
    case MB_YESNOCANCEL: return {IDYES, IDNO, IDCANCEL};
    case MB_YESNO: return {IDYES, IDNO};
    case MB_RETRYCANCEL: return {IDRETRY, IDCANCEL};
    default: return {IDOK};
    }
}

int defaultButtonFor(UINT style, const std::vector<int>& buttons) {
    std::size_t index = (style & MB_DEFMASK) >> 8;
    return index < buttons.size() ? buttons[index] : buttons.front();
}

std::shared_ptr<OpenBox> findOpenLocked(int id) {
    for (auto& box : g_open)
        if (box->view.id == id) return box;
    return nullptr;
}

void answerLocked(std::size_t index, int answer) {
    g_open[index]->answered = true;
    g_open[index]->answer = answer;
    g_boxThreads[index]->wake.notify_all();
    user::notifyChangedLocked();
}

// The last error is the program's: the box's own window calls must not change it.
class KeepLastError {
public:
    KeepLastError() : saved_(GetLastError()) {}
    ~KeepLastError() { SetLastError(saved_); }
    KeepLastError(const KeepLastError&) = delete;
    KeepLastError& operator=(const KeepLastError&) = delete;

private:
    DWORD saved_;
};

}  // namespace

std::vector<MessageBoxInfo> messageBoxes() {
    user::Lock lock(user::userMutex());
    return g_boxes;
}

void clearMessageBoxes() {
    user::Lock lock(user::userMutex());
    g_boxes.clear();
}

std::vector<MessageBoxView> shownMessageBoxes() {
    user::Lock lock(user::userMutex());
    std::vector<MessageBoxView> views;
    for (auto& box : g_open)
        if (!box->answered) views.push_back(box->view);
    return views;
}

bool answerMessageBox(int id, int button) {
    user::Lock lock(user::userMutex());
    for (std::size_t i = 0; i < g_open.size(); ++i) {
        OpenBox& box = *g_open[i];
        if (box.view.id != id || box.answered) continue;
        const std::vector<int>& buttons = box.view.buttons;
        if (std::find(buttons.begin(), buttons.end(), button) != buttons.end()) {
            answerLocked(i, button);
            return true;
        }
        if (button == IDCANCEL && buttons == std::vector<int>{IDOK}) {
            answerLocked(i, IDOK);
            return true;
        }
        return false;
    }
    return false;
}

bool waitForMessageBoxClosed(int id, std::chrono::milliseconds timeout) {
    user::Lock lock(user::userMutex());
    return user::changedSignal().wait_for(lock, timeout, [id] { return !findOpenLocked(id); });
}

namespace user {

void answerAllBoxesLocked() {
    for (std::size_t i = 0; i < g_open.size(); ++i) {
        if (g_open[i]->answered) continue;
        const std::vector<int>& buttons = g_open[i]->view.buttons;
        bool hasOk = std::find(buttons.begin(), buttons.end(), IDOK) != buttons.end();
        answerLocked(i, hasOk ? IDOK : g_open[i]->view.defaultButton);
    }
}

std::optional<MessageBoxView> oldestOpenBoxLocked() {
    for (auto& box : g_open)
        if (!box->answered) return box->view;
    return std::nullopt;
}

std::size_t openBoxCountLocked() {
    return static_cast<std::size_t>(std::count_if(
        g_open.begin(), g_open.end(), [](const auto& box) { return !box->answered; }));
}

}  // namespace user
}  // namespace win32sim

using namespace win32sim::user;

int WINAPI MessageBoxA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType) {
    win32sim::MessageBoxInfo info;
    info.owner = hWnd;
    info.text = lpText ? lpText : "";
    info.caption = lpCaption ? lpCaption : "Error";
    info.style = uType;
    info.threadId = GetCurrentThreadId();

    HWND owner = nullptr;
    {
        Lock lock(userMutex());
        if (hWnd && !findLocked(hWnd)) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return 0;
        }
        win32sim::g_boxes.push_back(info);
        if (!frontEndAttachedLocked()) return IDOK;
        owner = hWnd ? rootLocked(hWnd) : nullptr;
    }

    win32sim::KeepLastError keepLastError;
    // The box disables its owner (through the owner's thread) while it is open.
    bool ownerDisabled = false;
    if (owner && IsWindowEnabled(owner)) {
        EnableWindow(owner, FALSE);
        ownerDisabled = true;
    }

    auto box = std::make_shared<win32sim::OpenBox>();
    box->view.info = info;
    box->view.buttons = win32sim::buttonsFor(uType);
    box->view.defaultButton = win32sim::defaultButtonFor(uType, box->view.buttons);
    int answer;
    {
        Lock lock(userMutex());
        box->view.id = ++win32sim::g_lastBoxId;
        if (!frontEndAttachedLocked()) {
            box->answered = true;  // the front-end went away meanwhile
            box->answer = IDOK;
        }
        win32sim::g_open.push_back(box);
        win32sim::g_boxThreads.push_back(currentQueue());
        // Input being handled on this thread has now reached the box: its sender may go on.
        for (auto& item : currentQueue()->inputsInProgress) completeLocked(*item, 0);
        notifyChangedLocked();
        pumpUntil(lock, [&box] { return box->answered; }, true);
        answer = box->answer;
    }
    if (ownerDisabled) {
        EnableWindow(owner, TRUE);
        runOnOwnerThread(owner, [owner] {
            restoreFocusOnActivation(owner);
            return LRESULT{0};
        });
    }
    {
        Lock lock(userMutex());
        auto it = std::find(win32sim::g_open.begin(), win32sim::g_open.end(), box);
        if (it != win32sim::g_open.end()) {
            win32sim::g_boxThreads.erase(win32sim::g_boxThreads.begin() +
                                         (it - win32sim::g_open.begin()));
            win32sim::g_open.erase(it);
        }
        notifyChangedLocked();
    }
    return answer;
}

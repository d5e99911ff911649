// The front-end attached to the user side, change notifications and dialog snapshots.
#include <windows.h>

#include "user_internal.h"

namespace win32sim::user {
namespace {
FrontEnd* g_frontEnd = nullptr;
std::uint64_t g_changes = 0;
}  // namespace

std::condition_variable& changedSignal() {
    static std::condition_variable signal;
    return signal;
}

void notifyChangedLocked() {
    ++g_changes;
    changedSignal().notify_all();
    if (g_frontEnd) g_frontEnd->changed();
}

bool frontEndAttachedLocked() { return g_frontEnd != nullptr; }

}  // namespace win32sim::user

namespace win32sim {

using namespace user;

bool attachFrontEnd(FrontEnd* frontEnd) {
    Lock lock(userMutex());
    if (g_frontEnd && g_frontEnd != frontEnd) return false;
    g_frontEnd = frontEnd;
    notifyChangedLocked();
    return true;
}

void detachFrontEnd(FrontEnd* frontEnd) {
    Lock lock(userMutex());
    if (g_frontEnd != frontEnd) return;
    g_frontEnd = nullptr;
    answerAllBoxesLocked();
    notifyChangedLocked();
}

bool frontEndAttached() {
    Lock lock(userMutex());
    return g_frontEnd != nullptr;
}

std::optional<DialogView> shownDialog() {
    Lock lock(userMutex());
    WindowPtr dlg = latestDialogLocked(true);
    if (!dlg) return std::nullopt;
    return viewLocked(*dlg);
}

std::optional<DialogView> viewDialog(HWND dialog) {
    Lock lock(userMutex());
    WindowPtr dlg = findDialogLocked(dialog);
    if (!dlg) return std::nullopt;
    return viewLocked(*dlg);
}

std::uint64_t changeCount() {
    Lock lock(userMutex());
    return g_changes;
}

bool waitForChange(std::uint64_t seen, std::chrono::milliseconds timeout) {
    Lock lock(userMutex());
    return changedSignal().wait_for(lock, timeout, [seen] { return g_changes != seen; });
}

}  // namespace win32sim

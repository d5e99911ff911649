// The user side's internals: windows, the per-thread message queues and the class
// procedures. Shared by the files of win32/user only.
//
// One lock guards every window, queue and message box. It is never held while a window or
// dialog procedure runs, nor while a thread waits for another thread.
#pragma once

#include <windows.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "win32sim/front_end.h"

namespace win32sim::user {

using SteadyClock = std::chrono::steady_clock;
using Lock = std::unique_lock<std::mutex>;
std::mutex& userMutex();

// --- Threads and their queues ----------------------------------------------------------
struct ThreadQueue;

struct QueueItem {
    enum class Type { Message, Task };
    Type type = Type::Message;
    HWND hwnd = nullptr;  // target; the item is dropped (result 0) when it is destroyed
    UINT msg = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    std::function<LRESULT()> task;
    bool isInput = false;
    bool done = false;
    LRESULT result = 0;
    std::shared_ptr<ThreadQueue> waiter;  // woken when done; null for posted items
};

struct ThreadQueue {
    DWORD threadId = 0;
    std::condition_variable wake;
    std::deque<std::shared_ptr<QueueItem>> sent;    // handled before anything posted
    std::deque<std::shared_ptr<QueueItem>> posted;  // posted messages and input, in order
    std::vector<std::shared_ptr<QueueItem>> inputsInProgress;
};

std::shared_ptr<ThreadQueue> currentQueue();

// Marks an item done and wakes whoever waits for it. Lock held.
void completeLocked(QueueItem& item, LRESULT result);

// Processes the calling thread's queue until done() holds (evaluated with the lock held):
// sent messages always, posted messages and input only with includePosted. False when the
// deadline passed first.
bool pumpUntil(Lock& lock, const std::function<bool()>& done, bool includePosted,
               std::optional<SteadyClock::time_point> deadline = std::nullopt);

// Queues an item to the thread owning hwnd and waits for its result, handling messages
// sent to this thread meanwhile. nullopt on time-out; 0 when the window went away.
std::optional<LRESULT> sendAndWait(const std::shared_ptr<QueueItem>& item,
                                   std::optional<SteadyClock::time_point> deadline);

// Runs fn on the thread owning hwnd (directly when that is this thread) and returns its
// result; 0 when the window is invalid or destroyed before fn ran.
LRESULT runOnOwnerThread(HWND hwnd, std::function<LRESULT()> fn);

// SendMessageA with a deadline for the wait.
std::optional<LRESULT> sendMessageUntil(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam,
                                        std::optional<SteadyClock::time_point> deadline);
bool postMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

// Drops the queued items aimed at hwnd, releasing their senders with 0. Lock held.
void dropItemsForLocked(HWND hwnd, ThreadQueue& queue);

// --- Windows ---------------------------------------------------------------------------
enum class Kind { Dialog, Button, Static, Edit, ComboBox, Progress };

struct Window {
    HWND handle = nullptr;
    Kind kind = Kind::Static;
    std::string className;
    int id = 0;
    DWORD style = 0;
    DWORD exStyle = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    std::string text;
    HWND parent = nullptr;
    std::vector<HWND> children;  // creation order
    DWORD threadId = 0;
    std::shared_ptr<ThreadQueue> queue;
    LONG_PTR userData = 0;

    // Dialog
    DLGPROC dlgProc = nullptr;
    LONG_PTR msgResult = 0;
    LONG_PTR dlgUser = 0;
    bool shown = false;
    bool ended = false;
    INT_PTR endResult = 0;
    HWND focus = nullptr;
    int defId = IDOK;
    std::uint64_t shownOrder = 0;

    // Edit field (an Edit control, or a combo box's edit part)
    bool textSelected = false;  // all text selected: typing replaces it

    // Combo box
    std::vector<std::string> items;
    int selection = -1;
    int caret = 0;
    bool dropped = false;

    // Progress bar
    int low = 0, high = 100, pos = 0, step = 10;
    std::vector<int> history;

    // Static
    std::optional<WORD> imageId;

    bool enabled() const { return (style & WS_DISABLED) == 0; }
    bool visible() const { return (style & WS_VISIBLE) != 0; }
    bool isPushButton() const;
};

using WindowPtr = std::shared_ptr<Window>;

// Lock held for all of these.
WindowPtr findLocked(HWND hwnd);
WindowPtr findDialogLocked(HWND hwnd);
HWND addWindowLocked(const WindowPtr& window);  // gives it a handle
void removeWindowLocked(HWND hwnd);
WindowPtr childByIdLocked(const Window& dialog, int id);
HWND rootLocked(HWND hwnd);
WindowPtr dialogOfLocked(const Window& window);  // the dialog itself, or a control's dialog
bool onOwnerThreadLocked(const Window& window);
void notifyChangedLocked();
std::uint64_t nextShownOrderLocked();
void rememberLastDialogLocked(const Window& dialog);  // kept for reads after it is gone
std::optional<DialogView> lastDialogViewLocked();
void forgetLastDialogLocked();
// The most recently shown dialog still existing (ended or not), or, with onShowOnly, only
// one on show.
WindowPtr latestDialogLocked(bool onShowOnly);
DialogView viewLocked(const Window& dialog);

// --- Message handling (owner thread, lock not held) -------------------------------------
LRESULT dispatch(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
LRESULT defWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
LRESULT dialogWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
LRESULT buttonProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
LRESULT staticProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
LRESULT editProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
LRESULT comboProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
LRESULT progressProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

// WM_SETTEXT / WM_GETTEXT / WM_GETTEXTLENGTH on a text. Lock held.
LRESULT textMessageLocked(std::string& text, UINT msg, WPARAM wParam, LPARAM lParam);

// WM_COMMAND from a control to its dialog.
void notifyParent(HWND control, WORD code);

// Dialog navigation (lock held): the next enabled, visible control with WS_TABSTOP after
// `from` (the first one for null), wrapping around; the next one within from's group.
HWND nextTabItemLocked(const Window& dialog, HWND from, bool previous);
HWND nextGroupItemLocked(const Window& dialog, HWND from, bool previous);

// --- The user's actions (dialog thread, lock not held) ----------------------------------
void setFocus(HWND dialog, HWND control);
// A dialog that becomes active again (its modal box has closed) and has no control with the
// focus gives it to its first tab stop, as DefDlgProc does when the dialog gets the focus.
void restoreFocusOnActivation(HWND dialog);
void buttonClicked(HWND button);  // the press is complete: BN_CLICKED to the dialog
void editTypeChar(HWND edit, char ch);
void editBackspace(HWND edit);
void comboTypeChar(HWND combo, char ch);
void comboBackspace(HWND combo);
void comboUserSelect(HWND combo, int index);  // a click on an entry of the list
void comboMove(HWND combo, int delta);        // Up/Down
void comboToggleList(HWND combo);             // Alt+Up/Down
void comboCloseList(HWND combo, bool accept); // Enter/Esc with the list open
void handleInput(HWND dialog, const Input& input);

// --- Classes ---------------------------------------------------------------------------
// The kind behind a class name (case-insensitive), if it is registered.
std::optional<Kind> classKind(const std::string& className);

// --- Front-end (front_end.cpp) -----------------------------------------------------------
bool frontEndAttachedLocked();
// Signalled with every change on show (notifyChangedLocked).
std::condition_variable& changedSignal();

// Open message boxes (message_box.cpp). Lock held.
void answerAllBoxesLocked();
std::optional<MessageBoxView> oldestOpenBoxLocked();  // not answered yet
std::size_t openBoxCountLocked();

}  // namespace win32sim::user

// Messages between threads, as on Windows: a window belongs to the thread that created it
// and its procedure only ever runs there. A message sent from another thread is queued to
// the owner thread and the sender waits until it has been handled (handling messages sent
// to itself meanwhile); the owner thread handles sent messages in any message loop it runs
// (a modal dialog's, a message box's) and whenever it waits in SendMessage itself.
#include <windows.h>

#include <algorithm>

#include "user_internal.h"
#include "win32sim/dialogs.h"

namespace win32sim::user {

std::shared_ptr<ThreadQueue> currentQueue() {
    thread_local std::shared_ptr<ThreadQueue> queue;
    if (!queue) {
        queue = std::make_shared<ThreadQueue>();
        queue->threadId = GetCurrentThreadId();
    }
    return queue;
}

void completeLocked(QueueItem& item, LRESULT result) {
    if (item.done) return;
    item.done = true;
    item.result = result;
    if (item.waiter) item.waiter->wake.notify_all();
}

namespace {

void process(const std::shared_ptr<QueueItem>& item) {
    auto queue = currentQueue();
    if (item->isInput) {
        Lock lock(userMutex());
        queue->inputsInProgress.push_back(item);
    }
    LRESULT result = 0;
    if (item->type == QueueItem::Type::Task) {
        bool alive;
        {
            Lock lock(userMutex());
            alive = !item->hwnd || findLocked(item->hwnd) != nullptr;
        }
        if (alive) result = item->task();
    } else {
        result = dispatch(item->hwnd, item->msg, item->wParam, item->lParam);
    }
    Lock lock(userMutex());
    auto& inProgress = queue->inputsInProgress;
    inProgress.erase(std::remove(inProgress.begin(), inProgress.end(), item), inProgress.end());
    completeLocked(*item, result);
}

}  // namespace

bool pumpUntil(Lock& lock, const std::function<bool()>& done, bool includePosted,
               std::optional<SteadyClock::time_point> deadline) {
    auto queue = currentQueue();
    for (;;) {
        if (done()) return true;
        std::shared_ptr<QueueItem> item;
        if (!queue->sent.empty()) {
            item = queue->sent.front();
            queue->sent.pop_front();
        } else if (includePosted && !queue->posted.empty()) {
            item = queue->posted.front();
            queue->posted.pop_front();
        }
        if (item) {
            lock.unlock();
            process(item);
            lock.lock();
            continue;
        }
        if (deadline) {
            if (queue->wake.wait_until(lock, *deadline) == std::cv_status::timeout)
                return done();
        } else {
            queue->wake.wait(lock);
        }
    }
}

std::optional<LRESULT> sendAndWait(const std::shared_ptr<QueueItem>& item,
                                   std::optional<SteadyClock::time_point> deadline) {
    Lock lock(userMutex());
    WindowPtr w = findLocked(item->hwnd);
    if (!w) return LRESULT(0);
    item->waiter = currentQueue();
    if (item->isInput)
        w->queue->posted.push_back(item);
    else
        w->queue->sent.push_back(item);
    w->queue->wake.notify_all();
    if (!pumpUntil(lock, [&] { return item->done; }, false, deadline)) return std::nullopt;
    return item->result;
}

LRESULT runOnOwnerThread(HWND hwnd, std::function<LRESULT()> fn) {
    {
        Lock lock(userMutex());
        WindowPtr w = findLocked(hwnd);
        if (!w) return 0;
        if (onOwnerThreadLocked(*w)) {
            lock.unlock();
            return fn();
        }
    }
    auto item = std::make_shared<QueueItem>();
    item->type = QueueItem::Type::Task;
    item->hwnd = hwnd;
    item->task = std::move(fn);
    return sendAndWait(item, std::nullopt).value_or(0);
}

std::optional<LRESULT> sendMessageUntil(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam,
                                        std::optional<SteadyClock::time_point> deadline) {
    {
        Lock lock(userMutex());
        WindowPtr w = findLocked(hwnd);
        if (!w) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return LRESULT(0);
        }
        if (onOwnerThreadLocked(*w)) {
            lock.unlock();
            return dispatch(hwnd, msg, wParam, lParam);
        }
    }
    auto item = std::make_shared<QueueItem>();
    item->hwnd = hwnd;
    item->msg = msg;
    item->wParam = wParam;
    item->lParam = lParam;
    return sendAndWait(item, deadline);
}

bool postMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    Lock lock(userMutex());
    WindowPtr w = findLocked(hwnd);
    if (!w) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return false;
    }
    auto item = std::make_shared<QueueItem>();
    item->hwnd = hwnd;
    item->msg = msg;
    item->wParam = wParam;
    item->lParam = lParam;
    w->queue->posted.push_back(item);
    w->queue->wake.notify_all();
    return true;
}

void dropItemsForLocked(HWND hwnd, ThreadQueue& queue) {
    auto drop = [hwnd](std::deque<std::shared_ptr<QueueItem>>& items) {
        for (auto it = items.begin(); it != items.end();) {
            if ((*it)->hwnd == hwnd) {
                completeLocked(**it, 0);
                it = items.erase(it);
            } else {
                ++it;
            }
        }
    };
    drop(queue.sent);
    drop(queue.posted);
}

LRESULT dispatch(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    Kind kind;
    {
        Lock lock(userMutex());
        WindowPtr w = findLocked(hwnd);
        if (!w) return 0;
        kind = w->kind;
    }
    switch (kind) {
    case Kind::Dialog: return dialogWindowProc(hwnd, msg, wParam, lParam);
    case Kind::Button: return buttonProc(hwnd, msg, wParam, lParam);
    case Kind::Static: return staticProc(hwnd, msg, wParam, lParam);
    case Kind::Edit: return editProc(hwnd, msg, wParam, lParam);
    case Kind::ComboBox: return comboProc(hwnd, msg, wParam, lParam);
    case Kind::Progress: return progressProc(hwnd, msg, wParam, lParam);
    }
    return 0;
}

LRESULT textMessageLocked(std::string& text, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_SETTEXT: {
        const char* s = reinterpret_cast<const char*>(lParam);
        text = s ? s : "";
        notifyChangedLocked();
        return TRUE;
    }
    case WM_GETTEXT: {
        char* buffer = reinterpret_cast<char*>(lParam);
        if (!buffer || wParam == 0) return 0;
        std::size_t n = std::min<std::size_t>(text.size(), wParam - 1);
        std::copy_n(text.data(), n, buffer);
        buffer[n] = '\0';
        return static_cast<LRESULT>(n);
    }
    case WM_GETTEXTLENGTH: return static_cast<LRESULT>(text.size());
    default: return 0;
    }
}

LRESULT defWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_SETTEXT:
    case WM_GETTEXT:
    case WM_GETTEXTLENGTH: {
        Lock lock(userMutex());
        WindowPtr w = findLocked(hwnd);
        return w ? textMessageLocked(w->text, msg, wParam, lParam) : 0;
    }
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == SC_CLOSE) SendMessageA(hwnd, WM_CLOSE, 0, 0);
        return 0;
    case WM_QUERYENDSESSION: return TRUE;
    default: return 0;
    }
}

void notifyParent(HWND control, WORD code) {
    HWND parent;
    int id;
    {
        Lock lock(userMutex());
        WindowPtr w = findLocked(control);
        if (!w || !w->parent) return;
        parent = w->parent;
        id = w->id;
    }
    SendMessageA(parent, WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(control));
}

}  // namespace win32sim::user

std::size_t win32sim::queuedMessages(HWND window) {
    using namespace win32sim::user;
    Lock lock(userMutex());
    WindowPtr w = findLocked(window);
    return w ? w->queue->sent.size() + w->queue->posted.size() : 0;
}

using namespace win32sim::user;

LRESULT WINAPI SendMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    return sendMessageUntil(hWnd, Msg, wParam, lParam, std::nullopt).value_or(0);
}

LRESULT WINAPI SendDlgItemMessageA(HWND hDlg, int nIDDlgItem, UINT Msg, WPARAM wParam,
                                   LPARAM lParam) {
    HWND control = GetDlgItem(hDlg, nIDDlgItem);
    return control ? SendMessageA(control, Msg, wParam, lParam) : 0;
}

BOOL WINAPI PostMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    return postMessage(hWnd, Msg, wParam, lParam) ? TRUE : FALSE;
}

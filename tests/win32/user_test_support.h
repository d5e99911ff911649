// Dialogs for the user-side tests: template data built in code, a dialog procedure that
// records every call it gets, and a fixture that runs the dialog on its own thread with the
// scripted user at the screen. Every wait is bounded.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "support/stand_in.h"
#include "win32sim/dialogs.h"
#include "win32sim/scripted_user.h"

namespace user_tests {

using namespace std::chrono_literals;

constexpr int kCombo = 1001;
constexpr int kProgress = 1009;
constexpr int kStart = 1014;
constexpr int kExit = 1015;
constexpr int kLogo = -1;
constexpr WORD kLogoBitmap = 107;

constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;

class TemplateBuilder {
public:
    TemplateBuilder() {
        t_.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT;
        t_.cx = 238;
        t_.cy = 99;
        t_.title = "Test dialog";
    }
    TemplateBuilder& item(std::string className, int id, DWORD style, std::string title = "") {
        win32sim::DialogItemTemplate item;
        item.className = std::move(className);
        item.id = id;
        item.style = style;
        item.title = std::move(title);
        item.x = 6;
        item.y = static_cast<short>(5 + 20 * t_.items.size());
        item.cx = 100;
        item.cy = 14;
        t_.items.push_back(item);
        return *this;
    }
    TemplateBuilder& combo(int id, DWORD extra = CBS_DROPDOWN | CBS_SORT) {
        return item("ComboBox", id, kChild | WS_TABSTOP | WS_VSCROLL | extra);
    }
    TemplateBuilder& button(int id, std::string text, DWORD extra = BS_PUSHBUTTON) {
        return item("Button", id, kChild | WS_TABSTOP | extra, std::move(text));
    }
    TemplateBuilder& progress(int id) { return item(PROGRESS_CLASSA, id, kChild | WS_BORDER); }
    TemplateBuilder& bitmap(int id, WORD imageId) {
        item("Static", id, kChild | SS_BITMAP);
        t_.items.back().titleId = imageId;
        return *this;
    }
    win32sim::DialogTemplate build() const { return t_; }

private:
    win32sim::DialogTemplate t_;
};

// Laid out as the program's dialog: the drive list, the progress bar, START, EXIT, the logo.
inline win32sim::DialogTemplate programLikeDialog() {
    return TemplateBuilder()
        .combo(kCombo)
        .button(kStart, "S T A R T")
        .button(kExit, "E X I T")
        .progress(kProgress)
        .bitmap(kLogo, kLogoBitmap)
        .build();
}

struct ProcCall {
    UINT msg;
    WPARAM wParam;
    LPARAM lParam;
    DWORD threadId;
};

// The dialog procedure of the tests. It records every call; a handler may answer a message
// (returning a value), otherwise WM_INITDIALOG answers TRUE and WM_CLOSE ends the dialog
// with kClosedByWmClose, as the program's procedure does.
class RecordingProc {
public:
    static constexpr INT_PTR kClosedByWmClose = 77;
    using Handler = std::function<std::optional<INT_PTR>(HWND, UINT, WPARAM, LPARAM)>;

    RecordingProc() { instance() = this; }
    ~RecordingProc() { instance() = nullptr; }
    RecordingProc(const RecordingProc&) = delete;
    RecordingProc& operator=(const RecordingProc&) = delete;

    void setHandler(Handler handler) {
        std::lock_guard<std::mutex> lock(mutex_);
        handler_ = std::move(handler);
    }

    std::vector<ProcCall> calls() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return calls_;
    }
    std::vector<ProcCall> callsOf(UINT msg) const {
        std::vector<ProcCall> found;
        for (const ProcCall& c : calls())
            if (c.msg == msg) found.push_back(c);
        return found;
    }
    // wParam of every WM_COMMAND, in order.
    std::vector<WPARAM> commands() const {
        std::vector<WPARAM> found;
        for (const ProcCall& c : callsOf(WM_COMMAND)) found.push_back(c.wParam);
        return found;
    }
    void clear() {
        std::lock_guard<std::mutex> lock(mutex_);
        calls_.clear();
    }

    static INT_PTR CALLBACK proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
        RecordingProc* self = instance();
        if (!self) return FALSE;
        Handler handler;
        {
            std::lock_guard<std::mutex> lock(self->mutex_);
            self->calls_.push_back({msg, wParam, lParam, GetCurrentThreadId()});
            handler = self->handler_;
        }
        if (handler)
            if (std::optional<INT_PTR> r = handler(hwnd, msg, wParam, lParam)) return *r;
        if (msg == WM_INITDIALOG) return TRUE;
        if (msg == WM_CLOSE) EndDialog(hwnd, kClosedByWmClose);
        return FALSE;
    }

private:
    static RecordingProc*& instance() {
        static RecordingProc* current = nullptr;
        return current;
    }

    mutable std::mutex mutex_;
    Handler handler_;
    std::vector<ProcCall> calls_;
};

// Runs fn on a thread of its own; waits for its result are bounded.
template <class T>
class Background {
public:
    explicit Background(std::function<T()> fn) {
        std::promise<T> promise;
        future_ = promise.get_future().share();
        thread_ = std::thread([p = std::move(promise), fn = std::move(fn)]() mutable {
            p.set_value(fn());
        });
    }
    ~Background() {
        if (!thread_.joinable()) return;
        if (finished(10s))
            thread_.join();
        else
            thread_.detach();  // the test has failed already; do not hang the suite
    }
    Background(const Background&) = delete;
    Background& operator=(const Background&) = delete;

    bool finished(std::chrono::milliseconds timeout = 0ms) const {
        return future_.wait_for(timeout) == std::future_status::ready;
    }
    std::optional<T> result(std::chrono::milliseconds timeout = 10s) {
        if (!finished(timeout)) return std::nullopt;
        return future_.get();
    }

private:
    std::shared_future<T> future_;
    std::thread thread_;
};

// Waits (bounded) until the condition holds.
inline bool eventually(const std::function<bool()>& condition,
                       std::chrono::milliseconds timeout = 10s) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

class UserDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        testing_support::resetStandIn();
        INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_PROGRESS_CLASS};
        InitCommonControlsEx(&controls);
        user = std::make_unique<win32sim::ScriptedUser>();
    }

    void TearDown() override {
        if (dialogRun_ && !dialogRun_->finished()) {
            EndDialog(dialog, 0);
            if (!dialogRun_->finished(10s)) ADD_FAILURE() << "the dialog never ended";
        }
        dialogRun_.reset();
        // The dialog procedure only ever runs on the dialog's thread.
        for (const ProcCall& c : proc.calls())
            EXPECT_EQ(c.threadId, dialogThread.load()) << "message " << c.msg;
        user.reset();
    }

    // Runs the dialog on a thread of its own and waits until it is on show.
    HWND run(const win32sim::DialogTemplate& dialogTemplate, LPARAM initParam = 0) {
        dialogRun_ = std::make_unique<Background<INT_PTR>>([this, dialogTemplate, initParam] {
            dialogThread = GetCurrentThreadId();
            return win32sim::dialogBoxFromTemplate(dialogTemplate, nullptr, RecordingProc::proc,
                                                   initParam);
        });
        dialog = user->waitForDialog();
        return dialog;
    }

    // DialogBoxParamA's result once the dialog has ended.
    std::optional<INT_PTR> dialogResult(std::chrono::milliseconds timeout = 10s) {
        return dialogRun_ ? dialogRun_->result(timeout) : std::nullopt;
    }
    bool dialogEnded() const { return dialogRun_ && dialogRun_->finished(); }

    HWND item(int id) const { return GetDlgItem(dialog, id); }
    LRESULT send(int id, UINT msg, WPARAM wParam = 0, LPARAM lParam = 0) {
        return SendDlgItemMessageA(dialog, id, msg, wParam, lParam);
    }
    void addEntries(const std::vector<std::string>& entries) {
        for (const std::string& e : entries)
            send(kCombo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(e.c_str()));
    }

    RecordingProc proc;
    std::unique_ptr<win32sim::ScriptedUser> user;
    HWND dialog = nullptr;
    std::atomic<DWORD> dialogThread{0};

private:
    std::unique_ptr<Background<INT_PTR>> dialogRun_;
};

}  // namespace user_tests

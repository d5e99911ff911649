// Messages across threads, window lifetime and the errors of calls on invalid windows.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>

#include "user_test_support.h"

namespace user_tests {
namespace {

constexpr UINT kBlockingMessage = WM_USER + 100;
constexpr UINT kOtherMessage = WM_USER + 101;

// Lets a test hold the dialog thread inside a message handler.
class Gate {
public:
    void enter() {
        std::unique_lock<std::mutex> lock(mutex_);
        inside_ = true;
        changed_.notify_all();
        changed_.wait_for(lock, 10s, [this] { return open_; });
    }
    bool waitUntilInside() {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, 10s, [this] { return inside_; });
    }
    void open() {
        std::lock_guard<std::mutex> lock(mutex_);
        open_ = true;
        changed_.notify_all();
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool inside_ = false;
    bool open_ = false;
};

class CrossThreadTest : public UserDialogTest {
protected:
    Gate gate;
    std::atomic<int> sequence{0};
    std::atomic<int> handledAt{0};
};

TEST_F(CrossThreadTest, SendMessageWaitsUntilTheDialogThreadHasHandledIt) {
    proc.setHandler([this](HWND, UINT msg, WPARAM wParam, LPARAM) -> std::optional<INT_PTR> {
        if (msg != kBlockingMessage) return std::nullopt;
        gate.enter();
        handledAt = ++sequence;
        return static_cast<INT_PTR>(wParam * 2);  // no DWLP_MSGRESULT: 0 back
    });
    ASSERT_TRUE(run(programLikeDialog()));
    DWORD senderThread = 0;
    int returnedAt = 0;
    Background<LRESULT> sender([&] {
        senderThread = GetCurrentThreadId();
        LRESULT r = SendMessageA(dialog, kBlockingMessage, 21, 0);
        returnedAt = ++sequence;
        return r;
    });
    ASSERT_TRUE(gate.waitUntilInside());
    EXPECT_FALSE(sender.finished());  // the handler has not returned: neither has the sender
    gate.open();
    ASSERT_TRUE(sender.result());
    EXPECT_LT(handledAt.load(), returnedAt);
    std::vector<ProcCall> calls = proc.callsOf(kBlockingMessage);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].wParam, 21u);
    EXPECT_EQ(calls[0].threadId, dialogThread.load());
    EXPECT_NE(calls[0].threadId, senderThread);
}

TEST_F(CrossThreadTest, TheResultComesBackFromTheDialogThread) {
    proc.setHandler([](HWND hwnd, UINT msg, WPARAM wParam, LPARAM) -> std::optional<INT_PTR> {
        if (msg != kOtherMessage) return std::nullopt;
        SetWindowLongPtrA(hwnd, DWLP_MSGRESULT, static_cast<LONG_PTR>(wParam) + 1);
        return TRUE;
    });
    ASSERT_TRUE(run(programLikeDialog()));
    Background<LRESULT> sender([this] { return SendMessageA(dialog, kOtherMessage, 41, 0); });
    EXPECT_EQ(sender.result(), LRESULT(42));
    // A control's answer crosses threads the same way.
    addEntries({"a", "b"});
    Background<LRESULT> reader(
        [this] { return SendDlgItemMessageA(dialog, kCombo, CB_GETCOUNT, 0, 0); });
    EXPECT_EQ(reader.result(), LRESULT(2));
}

TEST_F(CrossThreadTest, ASenderWaitingWhenTheDialogEndsGetsZero) {
    proc.setHandler([this](HWND hwnd, UINT msg, WPARAM, LPARAM) -> std::optional<INT_PTR> {
        if (msg == kBlockingMessage) {
            gate.enter();
            EndDialog(hwnd, 5);
            SetWindowLongPtrA(hwnd, DWLP_MSGRESULT, 9);
            return TRUE;
        }
        if (msg == kOtherMessage) {
            SetWindowLongPtrA(hwnd, DWLP_MSGRESULT, 1234);
            return TRUE;
        }
        return std::nullopt;
    });
    ASSERT_TRUE(run(programLikeDialog()));
    Background<LRESULT> first([this] { return SendMessageA(dialog, kBlockingMessage, 0, 0); });
    ASSERT_TRUE(gate.waitUntilInside());
    Background<LRESULT> second([this] { return SendMessageA(dialog, kOtherMessage, 0, 0); });
    ASSERT_TRUE(eventually([this] { return win32sim::queuedMessages(dialog) == 1; }));
    gate.open();
    EXPECT_EQ(first.result(), LRESULT(9));   // handled: its own result
    EXPECT_EQ(second.result(), LRESULT(0));  // never handled: released with 0
    EXPECT_EQ(dialogResult(), INT_PTR(5));
    EXPECT_TRUE(proc.callsOf(kOtherMessage).empty());
}

TEST_F(CrossThreadTest, EndDialogFromAnotherThreadEndsTheModalLoop) {
    ASSERT_TRUE(run(programLikeDialog()));
    Background<BOOL> ender([this] { return EndDialog(dialog, 31); });
    EXPECT_EQ(ender.result(), TRUE);
    EXPECT_EQ(dialogResult(), INT_PTR(31));
    EXPECT_FALSE(IsWindow(dialog));
}

TEST_F(CrossThreadTest, PostedMessagesArriveAfterwardsOnTheDialogThread) {
    ASSERT_TRUE(run(programLikeDialog()));
    EXPECT_EQ(PostMessageA(dialog, kOtherMessage, 7, 8), TRUE);
    ASSERT_TRUE(eventually([this] { return !proc.callsOf(kOtherMessage).empty(); }));
    EXPECT_EQ(proc.callsOf(kOtherMessage)[0].wParam, 7u);
}

TEST_F(CrossThreadTest, ReadsAfterTheDialogEndedSeeItsLastState) {
    ASSERT_TRUE(run(programLikeDialog()));
    addEntries({"only"});
    SendDlgItemMessageA(dialog, kProgress, PBM_SETPOS, 30, 0);
    SendDlgItemMessageA(dialog, kProgress, PBM_SETPOS, 100, 0);
    SendMessageA(dialog, WM_CLOSE, 0, 0);
    ASSERT_TRUE(dialogResult());
    EXPECT_FALSE(user->dialogOpen());
    EXPECT_EQ(user->dialog(), nullptr);
    EXPECT_EQ(user->progressHistory(kProgress), (std::vector<int>{30, 100}));
    EXPECT_EQ(user->entries(kCombo), (std::vector<std::string>{"only"}));
}

class WindowErrorsTest : public UserDialogTest {};

TEST_F(WindowErrorsTest, CallsOnAnInvalidWindowFailWithInvalidWindowHandle) {
    ASSERT_TRUE(run(programLikeDialog()));
    HWND control = item(kStart);
    EndDialog(dialog, 0);
    ASSERT_TRUE(dialogResult());
    const HWND made_up = reinterpret_cast<HWND>(static_cast<uintptr_t>(0x7777));
    struct Call {
        const char* name;
        std::function<LONG_PTR(HWND)> call;
    };
    const Call calls[] = {
        {"SendMessageA", [](HWND h) { return SendMessageA(h, WM_USER, 0, 0); }},
        {"SendDlgItemMessageA",
         [](HWND h) { return SendDlgItemMessageA(h, kCombo, CB_GETCOUNT, 0, 0); }},
        {"PostMessageA", [](HWND h) { return LONG_PTR(PostMessageA(h, WM_USER, 0, 0)); }},
        {"EnableWindow", [](HWND h) { return LONG_PTR(EnableWindow(h, FALSE)); }},
        {"IsWindowEnabled", [](HWND h) { return LONG_PTR(IsWindowEnabled(h)); }},
        {"GetDlgItem", [](HWND h) { return reinterpret_cast<LONG_PTR>(GetDlgItem(h, kStart)); }},
        {"EndDialog", [](HWND h) { return LONG_PTR(EndDialog(h, 0)); }},
        {"GetWindowLongPtrA", [](HWND h) { return GetWindowLongPtrA(h, GWL_STYLE); }},
        {"SetWindowLongPtrA", [](HWND h) { return SetWindowLongPtrA(h, DWLP_MSGRESULT, 1); }},
        {"MessageBoxA", [](HWND h) { return LONG_PTR(MessageBoxA(h, "text", "caption", MB_OK)); }},
    };
    for (HWND h : {dialog, control, made_up}) {
        EXPECT_FALSE(IsWindow(h));
        for (const Call& c : calls) {
            SetLastError(0);
            EXPECT_EQ(c.call(h), 0) << c.name;
            EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE)) << c.name;
        }
    }
    EXPECT_TRUE(win32sim::messageBoxes().empty());  // a box with an invalid owner never shows
}

TEST_F(WindowErrorsTest, OtherFailuresTellWhatWentWrong) {
    ASSERT_TRUE(run(programLikeDialog()));
    SetLastError(0);
    EXPECT_EQ(GetDlgItem(dialog, 4242), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CONTROL_ID_NOT_FOUND));
    SetLastError(0);
    EXPECT_EQ(SendDlgItemMessageA(dialog, 4242, WM_GETTEXTLENGTH, 0, 0), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CONTROL_ID_NOT_FOUND));
    SetLastError(0);
    // DWLP_MSGRESULT belongs to dialogs only.
    EXPECT_EQ(GetWindowLongPtrA(item(kStart), DWLP_MSGRESULT), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_INDEX));
    SetLastError(0);
    EXPECT_EQ(EndDialog(item(kStart), 0), FALSE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
}

TEST_F(WindowErrorsTest, WindowLongsReadAndSwapTheirFields) {
    ASSERT_TRUE(run(programLikeDialog()));
    EXPECT_EQ(GetWindowLongPtrA(item(kStart), GWLP_ID), kStart);
    EXPECT_EQ(GetDlgCtrlID(item(kExit)), kExit);
    EXPECT_EQ(GetWindowLongPtrA(dialog, DWLP_DLGPROC),
              reinterpret_cast<LONG_PTR>(&RecordingProc::proc));
    EXPECT_EQ(SetWindowLongPtrA(dialog, DWLP_USER, 5), 0);
    EXPECT_EQ(SetWindowLongPtrA(dialog, DWLP_USER, 6), 5);
    EXPECT_EQ(GetWindowLongPtrA(dialog, DWLP_USER), 6);
    // WS_DISABLED in the style is the enabled state itself.
    LONG_PTR style = GetWindowLongPtrA(item(kExit), GWL_STYLE);
    EXPECT_TRUE(style & WS_TABSTOP);
    EXPECT_FALSE(style & WS_DISABLED);
    SetWindowLongPtrA(item(kExit), GWL_STYLE, style | WS_DISABLED);
    EXPECT_FALSE(user->isEnabled(kExit));
}

}  // namespace
}  // namespace user_tests

// MessageBoxA: what is recorded, the answers, the owner disabled while a box is open, and a
// box on the dialog thread that keeps the thread handling messages.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>

#include "user_test_support.h"
#include "win32sim/front_end.h"
#include "win32sim/message_boxes.h"

namespace user_tests {
namespace {

TEST(MessageBoxWithoutFrontEnd, IsRecordedAndAnsweredOkAtOnce) {
    testing_support::resetStandIn();
    ASSERT_FALSE(win32sim::frontEndAttached());
    EXPECT_EQ(MessageBoxA(nullptr, "No drive found", nullptr, MB_OK | MB_ICONERROR), IDOK);
    EXPECT_EQ(MessageBoxA(nullptr, "Really?", "Question", MB_YESNO), IDOK);
    std::vector<win32sim::MessageBoxInfo> boxes = win32sim::messageBoxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].text, "No drive found");
    EXPECT_EQ(boxes[0].caption, "Error");  // no caption: Windows says "Error"
    EXPECT_EQ(boxes[0].style, static_cast<UINT>(MB_OK | MB_ICONERROR));
    EXPECT_EQ(boxes[0].owner, nullptr);
    EXPECT_EQ(boxes[0].threadId, GetCurrentThreadId());
    EXPECT_EQ(boxes[1].caption, "Question");
    win32sim::clearMessageBoxes();
    EXPECT_TRUE(win32sim::messageBoxes().empty());
}

class MessageBoxTest : public UserDialogTest {};

TEST_F(MessageBoxTest, AnOwnedBoxDisablesItsOwnerAndInputGoesNowhereMeanwhile) {
    ASSERT_TRUE(run(programLikeDialog()));
    DWORD workerThread = 0;
    Background<int> worker([&] {
        workerThread = GetCurrentThreadId();
        return MessageBoxA(dialog, "Update failed", "Error", MB_ICONWARNING);
    });
    std::optional<win32sim::MessageBoxInfo> box = user->waitForMessageBox();
    ASSERT_TRUE(box);
    EXPECT_EQ(box->owner, dialog);
    EXPECT_EQ(box->text, "Update failed");
    EXPECT_EQ(box->threadId, workerThread);
    EXPECT_FALSE(user->dialogEnabled());
    EXPECT_EQ(user->openMessageBoxes(), 1);

    proc.clear();
    user->click(kStart);
    user->pressEnter();
    user->pressEscape();
    user->closeFromCaption();
    EXPECT_TRUE(proc.commands().empty());
    EXPECT_TRUE(proc.callsOf(WM_CLOSE).empty());
    EXPECT_FALSE(worker.finished());

    EXPECT_TRUE(user->answerMessageBox(IDOK));
    EXPECT_TRUE(user->dialogEnabled());  // enabled again by the time the answer returns
    EXPECT_EQ(user->openMessageBoxes(), 0);
    EXPECT_EQ(worker.result(), IDOK);
    // The owner was disabled and enabled again on its own thread.
    std::vector<ProcCall> enables = proc.callsOf(WM_ENABLE);
    ASSERT_EQ(enables.size(), 1u);
    EXPECT_EQ(enables[0].wParam, static_cast<WPARAM>(TRUE));
    user->click(kStart);
    EXPECT_EQ(proc.commands(), (std::vector<WPARAM>{MAKEWPARAM(kStart, BN_CLICKED)}));
}

TEST_F(MessageBoxTest, AClosedBoxGivesTheFocusToTheFirstTabStopIfNothingHasIt) {
    ASSERT_TRUE(run(programLikeDialog()));
    user->focus(kStart);
    Background<int> worker([&] {
        EnableWindow(GetDlgItem(dialog, kStart), FALSE);  // takes the focus away
        return MessageBoxA(dialog, "Update failed", "Error", MB_ICONWARNING);
    });
    ASSERT_TRUE(user->waitForMessageBox());
    EXPECT_EQ(user->focusedControl(), 0);
    EXPECT_TRUE(user->answerMessageBox(IDOK));
    EXPECT_EQ(worker.result(), IDOK);
    EXPECT_EQ(user->focusedControl(), kCombo);
}

TEST_F(MessageBoxTest, AClosedBoxLeavesTheFocusWhereItWas) {
    ASSERT_TRUE(run(programLikeDialog()));
    user->focus(kExit);
    Background<int> worker([&] { return MessageBoxA(dialog, "Note", "Error", MB_OK); });
    ASSERT_TRUE(user->waitForMessageBox());
    EXPECT_TRUE(user->answerMessageBox(IDOK));
    EXPECT_EQ(worker.result(), IDOK);
    EXPECT_EQ(user->focusedControl(), kExit);
}

TEST_F(MessageBoxTest, AnOwnerlessBoxDisablesNothing) {
    ASSERT_TRUE(run(programLikeDialog()));
    Background<int> worker([] { return MessageBoxA(nullptr, "ERROR text", "ERROR", MB_OK); });
    ASSERT_TRUE(user->waitForMessageBox());
    EXPECT_TRUE(user->dialogEnabled());
    proc.clear();
    user->click(kExit);
    EXPECT_EQ(proc.commands(), (std::vector<WPARAM>{MAKEWPARAM(kExit, BN_CLICKED)}));
    EXPECT_TRUE(proc.callsOf(WM_ENABLE).empty());
    EXPECT_TRUE(user->answerMessageBox());
    EXPECT_EQ(worker.result(), IDOK);
}

TEST_F(MessageBoxTest, ABoxDuringWmInitDialogKeepsTheDialogThreadHandlingMessages) {
    std::atomic<HWND> created{nullptr};
    proc.setHandler([&](HWND hwnd, UINT msg, WPARAM, LPARAM) -> std::optional<INT_PTR> {
        if (msg == WM_INITDIALOG) {
            created = hwnd;
            MessageBoxA(nullptr, "No target drive", "ERROR", MB_OK);
            return TRUE;
        }
        if (msg == WM_USER) {
            SetWindowLongPtrA(hwnd, DWLP_MSGRESULT, 99);
            return TRUE;
        }
        return std::nullopt;
    });
    Background<INT_PTR> dialogRun([this] {
        dialogThread = GetCurrentThreadId();
        return win32sim::dialogBoxFromTemplate(programLikeDialog(), nullptr, RecordingProc::proc,
                                               0);
    });
    std::optional<win32sim::MessageBoxInfo> box = user->waitForMessageBox();
    ASSERT_TRUE(box);
    EXPECT_EQ(box->threadId, dialogThread.load());
    EXPECT_EQ(user->dialog(), nullptr);  // not on show before WM_INITDIALOG is over
    // A message sent to the dialog from another thread is handled by the box's loop.
    Background<LRESULT> sender([&] { return SendMessageA(created.load(), WM_USER, 0, 0); });
    EXPECT_EQ(sender.result(), LRESULT(99));
    EXPECT_EQ(user->openMessageBoxes(), 1);

    EXPECT_TRUE(user->answerMessageBox());
    HWND shown = user->waitForDialog();
    EXPECT_EQ(shown, created.load());
    EXPECT_EQ(user->focusedControl(), kCombo);
    EndDialog(shown, 3);
    EXPECT_EQ(dialogRun.result(), INT_PTR(3));
}

struct AnswerCase {
    const char* name;
    UINT style;
    int answer;
    bool accepted;
    int returned;  // what MessageBoxA returns once accepted
};

class MessageBoxAnswerTest : public UserDialogTest,
                             public ::testing::WithParamInterface<AnswerCase> {};

TEST_P(MessageBoxAnswerTest, TakesOnlyTheBoxsButtons) {
    const AnswerCase& c = GetParam();
    Background<int> caller([&c] { return MessageBoxA(nullptr, "text", "caption", c.style); });
    ASSERT_TRUE(user->waitForMessageBox());
    EXPECT_EQ(user->answerMessageBox(c.answer), c.accepted);
    if (!c.accepted) {
        EXPECT_EQ(user->openMessageBoxes(), 1);
        EXPECT_FALSE(caller.finished());
        user.reset();  // detaching answers what is left
        EXPECT_EQ(caller.result(), c.returned);
        return;
    }
    EXPECT_EQ(caller.result(), c.returned);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MessageBoxAnswerTest,
    ::testing::Values(AnswerCase{"OkBoxTakesOk", MB_OK, IDOK, true, IDOK},
                      AnswerCase{"OkBoxTurnsCancelIntoOk", MB_OK, IDCANCEL, true, IDOK},
                      AnswerCase{"OkBoxRefusesNo", MB_OK, IDNO, false, IDOK},
                      AnswerCase{"OkCancelTakesCancel", MB_OKCANCEL, IDCANCEL, true, IDCANCEL},
                      AnswerCase{"YesNoTakesNo", MB_YESNO, IDNO, true, IDNO},
                      AnswerCase{"YesNoRefusesCancel", MB_YESNO, IDCANCEL, false, IDYES}),
    [](const auto& param) { return std::string(param.param.name); });

TEST_F(MessageBoxTest, BoxesQueueUpOldestFirst) {
    Background<int> first([] { return MessageBoxA(nullptr, "first", "c", MB_OKCANCEL); });
    ASSERT_TRUE(user->waitForMessageBox());
    Background<int> second([] { return MessageBoxA(nullptr, "second", "c", MB_OKCANCEL); });
    ASSERT_TRUE(eventually([this] { return user->openMessageBoxes() == 2; }));
    EXPECT_EQ(user->waitForMessageBox()->text, "first");
    EXPECT_TRUE(user->answerMessageBox(IDCANCEL));
    EXPECT_EQ(first.result(), IDCANCEL);
    std::optional<win32sim::MessageBoxInfo> next = user->acknowledgeMessageBox();
    ASSERT_TRUE(next);
    EXPECT_EQ(next->text, "second");
    EXPECT_EQ(second.result(), IDOK);
    EXPECT_FALSE(user->waitForMessageBox(0ms));
}

}  // namespace
}  // namespace user_tests

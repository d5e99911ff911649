// The dialog manager: Enter, Esc, Tab, the initial focus, the close command with its Cancel
// follow-up, WM_QUERYENDSESSION through DWLP_MSGRESULT, and input to a disabled dialog.
#include <windows.h>

#include <gtest/gtest.h>

#include "user_test_support.h"

namespace user_tests {
namespace {

struct EnterCase {
    const char* name;
    win32sim::DialogTemplate dialogTemplate;
    int focus;    // control to focus first, 0 for none
    int disable;  // control to disable after that, 0 for none
    std::optional<WPARAM> command;  // the WM_COMMAND Enter gives, if any
};

class EnterKeyTest : public UserDialogTest, public ::testing::WithParamInterface<EnterCase> {};

TEST_P(EnterKeyTest, GivesTheCommandOfTheFocusedOrDefaultButton) {
    const EnterCase& c = GetParam();
    ASSERT_TRUE(run(c.dialogTemplate));
    if (c.focus) user->focus(c.focus);
    if (c.disable) EnableWindow(item(c.disable), FALSE);
    proc.clear();
    user->pressEnter();
    std::vector<WPARAM> commands = proc.commands();
    if (!c.command) {
        EXPECT_TRUE(commands.empty());
        return;
    }
    ASSERT_EQ(commands.size(), 1u);
    EXPECT_EQ(commands[0], *c.command);
    EXPECT_FALSE(dialogEnded());
}

win32sim::DialogTemplate withDefaultStart() {
    return TemplateBuilder()
        .combo(kCombo)
        .button(kStart, "S T A R T", BS_DEFPUSHBUTTON)
        .button(kExit, "E X I T")
        .build();
}

INSTANTIATE_TEST_SUITE_P(
    Cases, EnterKeyTest,
    ::testing::Values(
        EnterCase{"ComboFocusedGivesIdok", programLikeDialog(), kCombo, 0, WPARAM(IDOK)},
        EnterCase{"PushButtonFocusedPressesIt", programLikeDialog(), kExit, 0,
                  MAKEWPARAM(kExit, BN_CLICKED)},
        EnterCase{"NoFocusGivesIdok", programLikeDialog(), kStart, kStart, WPARAM(IDOK)},
        EnterCase{"DefaultButtonWinsOverIdok", withDefaultStart(), kCombo, 0,
                  MAKEWPARAM(kStart, BN_CLICKED)},
        EnterCase{"FocusedButtonWinsOverTheDefault", withDefaultStart(), kExit, 0,
                  MAKEWPARAM(kExit, BN_CLICKED)},
        EnterCase{"DisabledDefaultButtonGivesNothing", withDefaultStart(), kCombo, kStart,
                  std::nullopt}),
    [](const auto& param) { return std::string(param.param.name); });

class DialogKeysTest : public UserDialogTest {};

TEST_F(DialogKeysTest, EscapeGivesIdcancel) {
    ASSERT_TRUE(run(programLikeDialog()));
    user->focus(kStart);  // whatever has the focus
    proc.clear();
    user->pressEscape();
    ASSERT_EQ(proc.callsOf(WM_COMMAND).size(), 1u);
    EXPECT_EQ(proc.callsOf(WM_COMMAND)[0].wParam, WPARAM(IDCANCEL));
    EXPECT_EQ(proc.callsOf(WM_COMMAND)[0].lParam, 0);  // no IDCANCEL control
}

TEST_F(DialogKeysTest, TabMovesThroughEnabledTabStopsBothWaysAndWraps) {
    ASSERT_TRUE(run(programLikeDialog()));
    ASSERT_EQ(user->focusedControl(), kCombo);
    struct Step {
        bool backwards;
        int focus;
    };
    const Step steps[] = {{false, kStart}, {false, kExit}, {false, kCombo},
                          {true, kExit},   {true, kStart}, {true, kCombo}};
    for (const Step& s : steps) {
        s.backwards ? user->pressShiftTab() : user->pressTab();
        EXPECT_EQ(user->focusedControl(), s.focus);
    }
    EnableWindow(item(kStart), FALSE);
    user->pressTab();
    EXPECT_EQ(user->focusedControl(), kExit);
    EXPECT_TRUE(proc.commands().empty());
}

TEST_F(DialogKeysTest, TabFromNoFocusGoesToTheFirstOrLastTabStop) {
    ASSERT_TRUE(run(programLikeDialog()));
    user->focus(kStart);
    EnableWindow(item(kStart), FALSE);
    ASSERT_EQ(user->focusedControl(), 0);
    user->pressTab();
    EXPECT_EQ(user->focusedControl(), kCombo);
    user->focus(kExit);
    EnableWindow(item(kExit), FALSE);
    user->pressShiftTab();
    EXPECT_EQ(user->focusedControl(), kCombo);  // the last enabled tab stop
}

class InitialFocusTest : public UserDialogTest {};

TEST_F(InitialFocusTest, TrueFromWmInitDialogFocusesTheFirstTabStop) {
    ASSERT_TRUE(run(programLikeDialog(), 1234));
    EXPECT_EQ(user->focusedControl(), kCombo);
    ASSERT_EQ(proc.callsOf(WM_INITDIALOG).size(), 1u);
    ProcCall init = proc.callsOf(WM_INITDIALOG)[0];
    EXPECT_EQ(reinterpret_cast<HWND>(init.wParam), item(kCombo));
    EXPECT_EQ(init.lParam, 1234);
    EXPECT_EQ(proc.calls().front().msg, static_cast<UINT>(WM_INITDIALOG));
}

TEST_F(InitialFocusTest, FalseFromWmInitDialogLeavesTheFocusAlone) {
    proc.setHandler([](HWND, UINT msg, WPARAM, LPARAM) -> std::optional<INT_PTR> {
        if (msg == WM_INITDIALOG) return FALSE;
        return std::nullopt;
    });
    ASSERT_TRUE(run(programLikeDialog()));
    EXPECT_EQ(user->focusedControl(), 0);
}

TEST_F(InitialFocusTest, ADisabledFirstControlIsSkipped) {
    win32sim::DialogTemplate t = programLikeDialog();
    t.items[0].style |= WS_DISABLED;
    ASSERT_TRUE(run(t));
    EXPECT_EQ(user->focusedControl(), kStart);
    EXPECT_FALSE(user->isEnabled(kCombo));
}

class CloseCommandTest : public UserDialogTest {};

TEST_F(CloseCommandTest, BecomesWmCloseThenACancelPressWhenTheProcedureDeclines) {
    proc.setHandler([](HWND, UINT msg, WPARAM, LPARAM) -> std::optional<INT_PTR> {
        if (msg == WM_CLOSE) return FALSE;  // refuses to close, like the program mid-update
        return std::nullopt;
    });
    ASSERT_TRUE(run(programLikeDialog()));
    proc.clear();
    user->closeFromCaption();
    std::vector<ProcCall> calls = proc.calls();
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0].msg, static_cast<UINT>(WM_SYSCOMMAND));
    EXPECT_EQ(calls[0].wParam, static_cast<WPARAM>(SC_CLOSE));
    EXPECT_EQ(calls[1].msg, static_cast<UINT>(WM_CLOSE));
    EXPECT_EQ(calls[2].msg, static_cast<UINT>(WM_COMMAND));
    EXPECT_EQ(calls[2].wParam, MAKEWPARAM(IDCANCEL, BN_CLICKED));
    EXPECT_TRUE(user->dialogOpen());
}

TEST_F(CloseCommandTest, AHandledWmCloseHasNoFollowUp) {
    proc.setHandler([](HWND, UINT msg, WPARAM, LPARAM) -> std::optional<INT_PTR> {
        if (msg == WM_CLOSE) return TRUE;
        return std::nullopt;
    });
    ASSERT_TRUE(run(programLikeDialog()));
    proc.clear();
    user->closeFromCaption();
    user->pressTab();  // handled after anything the close command could have posted
    EXPECT_TRUE(proc.commands().empty());
}

TEST_F(CloseCommandTest, EndsTheDialogWhenTheProcedureCallsEndDialog) {
    ASSERT_TRUE(run(programLikeDialog()));
    user->closeFromCaption();
    EXPECT_EQ(dialogResult(), RecordingProc::kClosedByWmClose);
    EXPECT_FALSE(user->dialogOpen());
    EXPECT_FALSE(IsWindow(dialog));
    // The Cancel press posted after WM_CLOSE died with the dialog.
    EXPECT_TRUE(proc.commands().empty());
}

TEST_F(CloseCommandTest, AltF4IsTheSameCommand) {
    ASSERT_TRUE(run(programLikeDialog()));
    user->press(win32sim::Key::AltF4);
    EXPECT_EQ(dialogResult(), RecordingProc::kClosedByWmClose);
    EXPECT_EQ(proc.callsOf(WM_SYSCOMMAND).size(), 1u);
}

struct EndSessionCase {
    const char* name;
    std::optional<INT_PTR> procResult;  // nullopt: the procedure does not handle it
    LONG_PTR msgResult;                 // DWLP_MSGRESULT it sets first
    bool answer;
};

class QueryEndSessionTest : public UserDialogTest,
                            public ::testing::WithParamInterface<EndSessionCase> {};

TEST_P(QueryEndSessionTest, AnswersThroughDwlpMsgResult) {
    const EndSessionCase& c = GetParam();
    proc.setHandler([c](HWND hwnd, UINT msg, WPARAM, LPARAM) -> std::optional<INT_PTR> {
        if (msg != WM_QUERYENDSESSION) return std::nullopt;
        SetWindowLongPtrA(hwnd, DWLP_MSGRESULT, c.msgResult);
        return c.procResult ? c.procResult : std::optional<INT_PTR>(FALSE);
    });
    ASSERT_TRUE(run(programLikeDialog()));
    EXPECT_EQ(user->queryEndSession(), c.answer);
    EXPECT_EQ(proc.callsOf(WM_QUERYENDSESSION).size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, QueryEndSessionTest,
    ::testing::Values(EndSessionCase{"UnhandledLetsTheSessionEnd", std::nullopt, FALSE, true},
                      EndSessionCase{"HandledWithFalseRefuses", INT_PTR(TRUE), FALSE, false},
                      EndSessionCase{"HandledWithTrueAgrees", INT_PTR(TRUE), TRUE, true}),
    [](const auto& param) { return std::string(param.param.name); });

TEST_F(QueryEndSessionTest, NoDialogNoObjection) { EXPECT_TRUE(user->queryEndSession()); }

class DisabledDialogTest : public UserDialogTest {};

TEST_F(DisabledDialogTest, InputGoesNowhereButMessagesStillArrive) {
    ASSERT_TRUE(run(programLikeDialog()));
    addEntries({"a", "b"});
    EnableWindow(dialog, FALSE);
    ASSERT_FALSE(user->dialogEnabled());
    proc.clear();
    user->click(kStart);
    user->pressEnter();
    user->pressEscape();
    user->pressTab();
    user->typeText(kCombo, "x");
    user->selectEntry(kCombo, 1);
    user->closeFromCaption();
    EXPECT_TRUE(proc.commands().empty());
    EXPECT_TRUE(proc.callsOf(WM_CLOSE).empty());
    EXPECT_EQ(user->focusedControl(), kCombo);
    EXPECT_EQ(user->selection(kCombo), CB_ERR);
    EXPECT_TRUE(user->dialogOpen());
    // Not input: the session's question still gets through.
    EXPECT_TRUE(user->queryEndSession());
    EXPECT_EQ(proc.callsOf(WM_QUERYENDSESSION).size(), 1u);

    EnableWindow(dialog, TRUE);
    user->click(kStart);
    EXPECT_EQ(proc.commands(), (std::vector<WPARAM>{MAKEWPARAM(kStart, BN_CLICKED)}));
}

}  // namespace
}  // namespace user_tests

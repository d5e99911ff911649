// DialogBoxParamA: the program's dialog from its resources, the failures that return -1,
// and the common controls' registration the progress bar needs.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include "user_test_support.h"
#include "win32sim/resources.h"

namespace user_tests {
namespace {

constexpr WORD kMainDialog = 101;

class DialogBoxTest : public UserDialogTest {
protected:
    void TearDown() override {
        win32sim::resetResources();
        UserDialogTest::TearDown();
    }

    INT_PTR dialogBoxFromResources(WORD id) {
        dialogThread = GetCurrentThreadId();
        return DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id), nullptr,
                               RecordingProc::proc, 0);
    }
};

TEST_F(DialogBoxTest, LoadsTheProgramsDialogWithItsControlsInTemplateOrder) {
    Background<INT_PTR> run([this] { return dialogBoxFromResources(kMainDialog); });
    HWND shown = user->waitForDialog();
    ASSERT_TRUE(shown);
    std::optional<win32sim::DialogView> view = user->view();
    ASSERT_TRUE(view);
    EXPECT_FALSE(view->caption.empty());
    EXPECT_TRUE(view->style & WS_CAPTION);
    std::vector<std::pair<int, std::string>> controls;
    for (const win32sim::ControlView& c : view->controls) controls.emplace_back(c.id, c.className);
    ASSERT_EQ(controls.size(), 5u);
    EXPECT_EQ(controls[0].first, kCombo);
    EXPECT_EQ(controls[1].first, kStart);
    EXPECT_EQ(controls[2].first, kExit);
    EXPECT_EQ(controls[3].first, kProgress);
    EXPECT_EQ(controls[4].first, kLogo);
    EXPECT_EQ(view->control(kLogo)->imageId, std::optional<WORD>(kLogoBitmap));
    EXPECT_EQ(view->focusId, kCombo);
    EndDialog(shown, 12);
    EXPECT_EQ(run.result(), INT_PTR(12));
}

TEST_F(DialogBoxTest, AMissingOrUnreadableTemplateGivesMinusOne) {
    EXPECT_EQ(dialogBoxFromResources(999), -1);
    win32sim::overrideResource(5 /* RT_DIALOG */, kMainDialog, {0x01, 0x00, 0xFF, 0xFF, 0x00});
    EXPECT_EQ(dialogBoxFromResources(kMainDialog), -1);
    win32sim::removeResource(5, kMainDialog);
    EXPECT_EQ(dialogBoxFromResources(kMainDialog), -1);
    EXPECT_TRUE(proc.calls().empty());  // no dialog was made
}

TEST_F(DialogBoxTest, TheProgressClassNeedsInitCommonControlsEx) {
    win32sim::resetCommonControls();
    SetLastError(0);
    EXPECT_EQ(win32sim::dialogBoxFromTemplate(programLikeDialog(), nullptr, RecordingProc::proc, 0),
              -1);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CANNOT_FIND_WND_CLASS));
    EXPECT_EQ(dialogBoxFromResources(kMainDialog), -1);

    struct Call {
        const char* what;
        std::optional<INITCOMMONCONTROLSEX> init;
        BOOL result;
        bool registers;
    };
    const Call calls[] = {
        {"no structure", std::nullopt, FALSE, false},
        {"wrong size", INITCOMMONCONTROLSEX{sizeof(INITCOMMONCONTROLSEX) + 1, ICC_PROGRESS_CLASS},
         FALSE, false},
        {"other classes", INITCOMMONCONTROLSEX{sizeof(INITCOMMONCONTROLSEX), 0x1}, TRUE, false},
        {"progress class", INITCOMMONCONTROLSEX{sizeof(INITCOMMONCONTROLSEX), ICC_PROGRESS_CLASS},
         TRUE, true},
    };
    for (const Call& c : calls) {
        EXPECT_EQ(InitCommonControlsEx(c.init ? &*c.init : nullptr), c.result) << c.what;
        EXPECT_EQ(win32sim::progressClassRegistered(), c.registers) << c.what;
    }
    EXPECT_TRUE(proc.calls().empty());
    EXPECT_TRUE(run(programLikeDialog()));
}

TEST_F(DialogBoxTest, AnUnknownClassGivesMinusOne) {
    win32sim::DialogTemplate t = TemplateBuilder().combo(kCombo).item("ListBox", 7, kChild).build();
    EXPECT_EQ(win32sim::dialogBoxFromTemplate(t, nullptr, RecordingProc::proc, 0), -1);
    t.items.back().className = "NoSuchClass";
    EXPECT_EQ(win32sim::dialogBoxFromTemplate(t, nullptr, RecordingProc::proc, 0), -1);
    EXPECT_TRUE(proc.calls().empty());
}

TEST_F(DialogBoxTest, EndDialogDuringWmInitDialogNeverShowsIt) {
    proc.setHandler([](HWND hwnd, UINT msg, WPARAM, LPARAM) -> std::optional<INT_PTR> {
        if (msg == WM_INITDIALOG) EndDialog(hwnd, 4);
        return std::nullopt;
    });
    dialogThread = GetCurrentThreadId();
    std::uint64_t before = win32sim::changeCount();
    EXPECT_EQ(win32sim::dialogBoxFromTemplate(programLikeDialog(), nullptr, RecordingProc::proc,
                                              0),
              4);
    EXPECT_NE(win32sim::changeCount(), before);
    EXPECT_EQ(user->dialog(), nullptr);
    EXPECT_EQ(proc.calls().back().msg, static_cast<UINT>(WM_DESTROY));
}

TEST_F(DialogBoxTest, AnOwnedDialogDisablesItsOwnerWhileItRuns) {
    std::atomic<INT_PTR> innerResult{-2};
    proc.setHandler([&](HWND hwnd, UINT msg, WPARAM wParam, LPARAM) -> std::optional<INT_PTR> {
        if (msg == WM_COMMAND && wParam == MAKEWPARAM(kStart, BN_CLICKED)) {
            innerResult = win32sim::dialogBoxFromTemplate(
                TemplateBuilder().button(IDOK, "OK").build(), hwnd, RecordingProc::proc, 0);
            return TRUE;
        }
        return std::nullopt;
    });
    ASSERT_TRUE(run(programLikeDialog()));
    user->click(kStart);  // returns once the second dialog is on show
    HWND inner = user->dialog();
    ASSERT_NE(inner, nullptr);
    ASSERT_NE(inner, dialog);
    EXPECT_EQ(IsWindowEnabled(dialog), FALSE);
    EXPECT_EQ(user->focusedControl(), IDOK);
    user->closeFromCaption();  // goes to the dialog on show: the second one
    ASSERT_TRUE(eventually([&] { return innerResult.load() == RecordingProc::kClosedByWmClose; }));
    EXPECT_EQ(IsWindowEnabled(dialog), TRUE);
    EXPECT_EQ(user->dialog(), dialog);
}

}  // namespace
}  // namespace user_tests

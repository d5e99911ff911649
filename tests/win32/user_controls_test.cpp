// The controls' messages and the user's actions on them: the combo box with its edit field,
// the progress bar, push buttons and the bitmap static.
#include <windows.h>
#include <commctrl.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "user_test_support.h"

namespace user_tests {
namespace {

using ::testing::ElementsAre;

class ComboBoxTest : public UserDialogTest {};

TEST_F(ComboBoxTest, SortedListInsertsCaseInsensitivelyAndReturnsThePosition) {
    ASSERT_TRUE(run(programLikeDialog()));
    struct Case {
        const char* entry;
        LRESULT index;
    };
    const Case cases[] = {{"delta", 0}, {"Alpha", 0}, {"charlie", 1}, {"BRAVO", 1},
                          {"echo", 4},  {"alpha2", 1}, {"1 : ZELT", 0}};
    for (const Case& c : cases)
        EXPECT_EQ(send(kCombo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(c.entry)), c.index)
            << c.entry;
    EXPECT_EQ(user->entries(kCombo),
              (std::vector<std::string>{"1 : ZELT", "Alpha", "alpha2", "BRAVO", "charlie",
                                        "delta", "echo"}));
    EXPECT_EQ(send(kCombo, CB_GETCOUNT), 7);
}

TEST_F(ComboBoxTest, UnsortedListAppends) {
    ASSERT_TRUE(run(TemplateBuilder().combo(kCombo, CBS_DROPDOWN).build()));
    addEntries({"b", "a", "c"});
    EXPECT_EQ(user->entries(kCombo), (std::vector<std::string>{"b", "a", "c"}));
}

TEST_F(ComboBoxTest, AddingBeforeTheSelectionKeepsTheSameEntrySelected) {
    ASSERT_TRUE(run(programLikeDialog()));
    addEntries({"b", "c"});
    send(kCombo, CB_SETCURSEL, 1);
    addEntries({"a"});
    EXPECT_EQ(send(kCombo, CB_GETCURSEL), 2);
    EXPECT_EQ(user->editText(kCombo), "c");
}

TEST_F(ComboBoxTest, SetCurSelShowsTheEntryAndMinusOneClearsIt) {
    ASSERT_TRUE(run(programLikeDialog()));
    EXPECT_EQ(send(kCombo, CB_GETCURSEL), CB_ERR);  // a new list has no selection
    addEntries({"0 : ZELT    QX-57N8RV       1.00", "1 : OTHER"});
    EXPECT_EQ(send(kCombo, CB_SETCURSEL, 0), 0);
    EXPECT_EQ(user->editText(kCombo), "0 : ZELT    QX-57N8RV       1.00");
    EXPECT_EQ(send(kCombo, CB_GETCURSEL), 0);
    // -1 succeeds but still answers CB_ERR, as on Windows.
    EXPECT_EQ(send(kCombo, CB_SETCURSEL, static_cast<WPARAM>(-1)), CB_ERR);
    EXPECT_EQ(send(kCombo, CB_GETCURSEL), CB_ERR);
    EXPECT_EQ(user->editText(kCombo), "");
}

TEST_F(ComboBoxTest, BadIndexesAnswerCbErrAndChangeNothing) {
    ASSERT_TRUE(run(programLikeDialog()));
    addEntries({"a", "b", "c"});
    send(kCombo, CB_SETCURSEL, 1);
    char buffer[256] = "untouched";
    struct Case {
        const char* what;
        UINT msg;
        WPARAM index;
        LPARAM lParam;
    };
    const Case cases[] = {
        {"GETLBTEXT past the end", CB_GETLBTEXT, 3, reinterpret_cast<LPARAM>(buffer)},
        {"GETLBTEXT -1", CB_GETLBTEXT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(buffer)},
        {"GETLBTEXT without buffer", CB_GETLBTEXT, 0, 0},
        {"GETLBTEXTLEN past the end", CB_GETLBTEXTLEN, 3, 0},
        {"GETLBTEXTLEN -2", CB_GETLBTEXTLEN, static_cast<WPARAM>(-2), 0},
        {"SETCURSEL past the end", CB_SETCURSEL, 3, 0},
        {"SETCURSEL -2", CB_SETCURSEL, static_cast<WPARAM>(-2), 0},
        {"DELETESTRING past the end", CB_DELETESTRING, 3, 0},
        {"INSERTSTRING past the end", CB_INSERTSTRING, 4, reinterpret_cast<LPARAM>("x")},
        {"ADDSTRING without text", CB_ADDSTRING, 0, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(send(kCombo, c.msg, c.index, c.lParam), CB_ERR) << c.what;
        EXPECT_EQ(send(kCombo, CB_GETCURSEL), 1) << c.what;
        EXPECT_EQ(send(kCombo, CB_GETCOUNT), 3) << c.what;
    }
    EXPECT_STREQ(buffer, "untouched");
}

TEST_F(ComboBoxTest, GetLbTextCopiesTheEntryAndReturnsItsLength) {
    ASSERT_TRUE(run(programLikeDialog()));
    const std::string entry = "0 : ZELT    QX-57N8RV       1.00";
    addEntries({entry, "9 : last"});
    EXPECT_EQ(send(kCombo, CB_GETLBTEXTLEN, 0), static_cast<LRESULT>(entry.size()));
    char buffer[256];
    std::fill(std::begin(buffer), std::end(buffer), 'x');
    EXPECT_EQ(send(kCombo, CB_GETLBTEXT, 0, reinterpret_cast<LPARAM>(buffer)),
              static_cast<LRESULT>(entry.size()));
    EXPECT_EQ(std::string(buffer), entry);
    EXPECT_EQ(send(kCombo, CB_GETLBTEXT, 1, reinterpret_cast<LPARAM>(buffer)), 8);
    EXPECT_STREQ(buffer, "9 : last");
}

TEST_F(ComboBoxTest, ResetContentEmptiesTheListAndTheEditField) {
    ASSERT_TRUE(run(programLikeDialog()));
    addEntries({"a", "b"});
    send(kCombo, CB_SETCURSEL, 1);
    EXPECT_NE(send(kCombo, CB_RESETCONTENT), CB_ERR);
    EXPECT_EQ(send(kCombo, CB_GETCOUNT), 0);
    EXPECT_EQ(send(kCombo, CB_GETCURSEL), CB_ERR);
    EXPECT_EQ(user->editText(kCombo), "");
    EXPECT_EQ(send(kCombo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("c")), 0);
}

TEST_F(ComboBoxTest, DeletingEntriesMovesOrDropsTheSelection) {
    ASSERT_TRUE(run(programLikeDialog()));
    addEntries({"a", "b", "c"});
    send(kCombo, CB_SETCURSEL, 2);
    EXPECT_EQ(send(kCombo, CB_DELETESTRING, 0), 2);  // the count left
    EXPECT_EQ(send(kCombo, CB_GETCURSEL), 1);
    EXPECT_EQ(send(kCombo, CB_DELETESTRING, 1), 1);
    EXPECT_EQ(send(kCombo, CB_GETCURSEL), CB_ERR);
}

TEST_F(ComboBoxTest, TypingLeavesNoEntrySelected) {
    ASSERT_TRUE(run(programLikeDialog()));
    addEntries({"0 : ZELT", "1 : OTHER"});
    send(kCombo, CB_SETCURSEL, 0);
    // Even a text naming an entry exactly selects nothing while the list is closed.
    user->typeText(kCombo, "1 : OTHER");
    EXPECT_EQ(user->editText(kCombo), "1 : OTHER");
    EXPECT_EQ(user->selection(kCombo), CB_ERR);
    EXPECT_EQ(send(kCombo, CB_GETCURSEL), CB_ERR);
    EXPECT_EQ(user->entries(kCombo).size(), 2u);
    EXPECT_EQ(proc.commands().back(), MAKEWPARAM(kCombo, CBN_EDITCHANGE));
}

TEST_F(ComboBoxTest, TypingWithTheListOpenSelectsTheFirstEntryStartingWithTheText) {
    ASSERT_TRUE(run(programLikeDialog()));
    addEntries({"0 : ZELT", "1 : OTHER", "1 : THIRD"});
    user->focus(kCombo);
    user->press(win32sim::Key::AltDown);
    ASSERT_TRUE(user->view()->control(kCombo)->dropped);
    user->typeText(kCombo, "1");  // the field has the focus already: typing adds to it
    EXPECT_EQ(user->selection(kCombo), 1);
    user->typeText(kCombo, " : t");
    EXPECT_EQ(user->editText(kCombo), "1 : t");
    EXPECT_EQ(user->selection(kCombo), 2);
    user->typeText(kCombo, "x");
    EXPECT_EQ(user->selection(kCombo), CB_ERR);
}

TEST_F(ComboBoxTest, PickingAnEntryShowsItAndTellsTheDialog) {
    ASSERT_TRUE(run(programLikeDialog()));
    addEntries({"a", "b", "c"});
    // The text the dialog can read while handling CBN_SELCHANGE is still the old one.
    std::string textDuringSelChange;
    proc.setHandler([&](HWND hwnd, UINT msg, WPARAM wParam, LPARAM) -> std::optional<INT_PTR> {
        if (msg == WM_COMMAND && wParam == MAKEWPARAM(kCombo, CBN_SELCHANGE)) {
            char buffer[64] = "";
            SendDlgItemMessageA(hwnd, kCombo, WM_GETTEXT, sizeof(buffer),
                                reinterpret_cast<LPARAM>(buffer));
            textDuringSelChange = buffer;
        }
        return std::nullopt;
    });
    user->typeText(kCombo, "typed");
    proc.clear();
    user->selectEntry(kCombo, 2);
    EXPECT_EQ(user->selection(kCombo), 2);
    EXPECT_EQ(user->editText(kCombo), "c");
    EXPECT_EQ(textDuringSelChange, "typed");
    EXPECT_EQ(proc.commands(),
              (std::vector<WPARAM>{MAKEWPARAM(kCombo, CBN_DROPDOWN),
                                   MAKEWPARAM(kCombo, CBN_SELENDOK),
                                   MAKEWPARAM(kCombo, CBN_CLOSEUP),
                                   MAKEWPARAM(kCombo, CBN_SELCHANGE)}));
    EXPECT_EQ(user->focusedControl(), kCombo);
}

TEST_F(ComboBoxTest, PickingAMissingEntryOrFromADisabledComboDoesNothing) {
    ASSERT_TRUE(run(programLikeDialog()));
    addEntries({"a", "b"});
    send(kCombo, CB_SETCURSEL, 0);
    proc.clear();
    user->selectEntry(kCombo, 5);
    EnableWindow(item(kCombo), FALSE);
    user->selectEntry(kCombo, 1);
    EXPECT_EQ(user->selection(kCombo), 0);
    EXPECT_TRUE(proc.commands().empty());
}

TEST_F(ComboBoxTest, ArrowKeysMoveThroughTheListAndStopAtItsEnds) {
    ASSERT_TRUE(run(programLikeDialog()));
    addEntries({"a", "b", "c"});
    send(kCombo, CB_SETCURSEL, 0);
    user->focus(kCombo);
    using win32sim::Key;
    struct Step {
        Key key;
        int selection;
        const char* text;
    };
    const Step steps[] = {{Key::Down, 1, "b"}, {Key::Down, 2, "c"}, {Key::Down, 2, "c"},
                          {Key::Up, 1, "b"},   {Key::Up, 0, "a"},   {Key::Up, 0, "a"}};
    for (const Step& s : steps) {
        user->press(s.key);
        EXPECT_EQ(user->selection(kCombo), s.selection);
        EXPECT_EQ(user->editText(kCombo), s.text);
    }
    // Each real move reported one CBN_SELCHANGE; the presses at the ends none.
    int selChanges = 0;
    for (WPARAM w : proc.commands()) selChanges += w == MAKEWPARAM(kCombo, CBN_SELCHANGE);
    EXPECT_EQ(selChanges, 4);
}

TEST_F(ComboBoxTest, AltDownOpensTheListAndEnterClosesItWithoutPressingAnything) {
    ASSERT_TRUE(run(programLikeDialog()));
    addEntries({"a", "b"});
    user->focus(kCombo);
    user->press(win32sim::Key::AltDown);
    EXPECT_TRUE(user->view()->control(kCombo)->dropped);
    EXPECT_EQ(send(kCombo, CB_GETDROPPEDSTATE), TRUE);
    user->press(win32sim::Key::Down);
    user->pressEnter();
    EXPECT_FALSE(user->view()->control(kCombo)->dropped);
    EXPECT_EQ(user->selection(kCombo), 0);
    for (WPARAM w : proc.commands()) EXPECT_NE(LOWORD(w), IDOK);
}

class ProgressBarTest : public UserDialogTest {};

TEST_F(ProgressBarTest, SetPosClampsToTheRangeReturnsThePreviousPositionAndIsRecorded) {
    ASSERT_TRUE(run(programLikeDialog()));
    EXPECT_EQ(user->progressRange(kProgress), std::make_pair(0, 100));  // the default range
    struct Case {
        int requested;
        LRESULT previous;
        int position;
    };
    const Case cases[] = {{50, 0, 50}, {150, 50, 100}, {100, 100, 100}, {-5, 100, 0}, {0, 0, 0}};
    for (const Case& c : cases) {
        EXPECT_EQ(send(kProgress, PBM_SETPOS, static_cast<WPARAM>(c.requested)), c.previous)
            << c.requested;
        EXPECT_EQ(send(kProgress, PBM_GETPOS), c.position) << c.requested;
    }
    EXPECT_THAT(user->progressHistory(kProgress), ElementsAre(50, 150, 100, -5, 0));
    EXPECT_EQ(user->progressPos(kProgress), 0);
}

TEST_F(ProgressBarTest, SetRangeTakesLowAndHighWordsAndClampsThePosition) {
    ASSERT_TRUE(run(programLikeDialog()));
    send(kProgress, PBM_SETPOS, 80);
    // The previous range comes back as MAKELONG(low, high).
    EXPECT_EQ(send(kProgress, PBM_SETRANGE, 0, MAKELPARAM(10, 40)), MAKELONG(0, 100));
    EXPECT_EQ(send(kProgress, PBM_GETPOS), 40);
    PBRANGE range{};
    EXPECT_EQ(send(kProgress, PBM_GETRANGE, TRUE, reinterpret_cast<LPARAM>(&range)), 10);
    EXPECT_EQ(range.iLow, 10);
    EXPECT_EQ(range.iHigh, 40);
    EXPECT_EQ(send(kProgress, PBM_GETRANGE, FALSE, 0), 40);

    EXPECT_EQ(send(kProgress, PBM_SETRANGE32, 0, 1000), MAKELONG(10, 40));
    EXPECT_EQ(user->progressRange(kProgress), std::make_pair(0, 1000));
    send(kProgress, PBM_SETPOS, 700);
    EXPECT_EQ(user->progressPos(kProgress), 700);
    // The program's range: MAKELPARAM(0, 100).
    send(kProgress, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
    EXPECT_EQ(user->progressPos(kProgress), 100);
}

TEST_F(ProgressBarTest, StepsAndDeltasStayInTheRange) {
    ASSERT_TRUE(run(programLikeDialog()));
    EXPECT_EQ(send(kProgress, PBM_DELTAPOS, 30), 0);
    EXPECT_EQ(send(kProgress, PBM_DELTAPOS, 300), 30);
    EXPECT_EQ(send(kProgress, PBM_GETPOS), 100);
    EXPECT_EQ(send(kProgress, PBM_SETSTEP, 25), 10);
    send(kProgress, PBM_SETPOS, 90);
    EXPECT_EQ(send(kProgress, PBM_STEPIT), 90);
    EXPECT_EQ(send(kProgress, PBM_GETPOS), 15);  // past the end wraps around
    EXPECT_THAT(user->progressHistory(kProgress), ElementsAre(90));  // only PBM_SETPOS
}

class ButtonTest : public UserDialogTest {};

TEST_F(ButtonTest, AClickOnAnEnabledButtonReportsItAndTakesTheFocus) {
    ASSERT_TRUE(run(programLikeDialog()));
    user->click(kStart);
    ASSERT_EQ(proc.callsOf(WM_COMMAND).size(), 1u);
    ProcCall call = proc.callsOf(WM_COMMAND)[0];
    EXPECT_EQ(call.wParam, MAKEWPARAM(kStart, BN_CLICKED));
    EXPECT_EQ(reinterpret_cast<HWND>(call.lParam), item(kStart));
    EXPECT_EQ(user->focusedControl(), kStart);
}

TEST_F(ButtonTest, ADisabledButtonIgnoresClicksSpaceAndBmClick) {
    ASSERT_TRUE(run(programLikeDialog()));
    user->focus(kStart);
    ASSERT_EQ(user->focusedControl(), kStart);
    EXPECT_EQ(EnableWindow(item(kStart), FALSE), FALSE);  // it was enabled
    EXPECT_FALSE(user->isEnabled(kStart));
    EXPECT_EQ(user->focusedControl(), 0);  // a disabled control loses the focus
    proc.clear();
    user->click(kStart);
    user->pressSpace();
    user->focus(kStart);
    SendMessageA(item(kStart), BM_CLICK, 0, 0);
    EXPECT_TRUE(proc.commands().empty());
    EXPECT_EQ(user->focusedControl(), 0);

    EXPECT_EQ(EnableWindow(item(kStart), TRUE), TRUE);  // it was disabled
    user->focus(kStart);
    user->pressSpace();
    SendMessageA(item(kStart), BM_CLICK, 0, 0);
    EXPECT_EQ(proc.commands(), (std::vector<WPARAM>{MAKEWPARAM(kStart, BN_CLICKED),
                                                    MAKEWPARAM(kStart, BN_CLICKED)}));
}

TEST_F(ButtonTest, EnableWindowFromAnotherThreadRunsOnTheDialogThread) {
    ASSERT_TRUE(run(programLikeDialog()));
    proc.clear();
    Background<BOOL> worker([this] { return EnableWindow(dialog, FALSE); });
    ASSERT_EQ(worker.result(), FALSE);
    ASSERT_EQ(proc.callsOf(WM_ENABLE).size(), 1u);  // the dialog is told, on its thread
    EXPECT_EQ(proc.callsOf(WM_ENABLE)[0].wParam, static_cast<WPARAM>(FALSE));
    EXPECT_FALSE(user->dialogEnabled());
    EXPECT_EQ(IsWindowEnabled(dialog), FALSE);
    EXPECT_EQ(EnableWindow(dialog, FALSE), TRUE);  // already disabled: no new WM_ENABLE
    EXPECT_EQ(proc.callsOf(WM_ENABLE).size(), 1u);
}

class TextTest : public UserDialogTest {};

TEST_F(TextTest, EveryControlKeepsItsWindowText) {
    ASSERT_TRUE(run(programLikeDialog()));
    for (int id : {kCombo, kStart, kExit, kProgress, kLogo}) {
        ASSERT_EQ(send(id, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("hello")), TRUE) << id;
        EXPECT_EQ(send(id, WM_GETTEXTLENGTH), 5) << id;
        char buffer[4];
        // A short buffer gets what fits, terminated.
        EXPECT_EQ(send(id, WM_GETTEXT, sizeof(buffer), reinterpret_cast<LPARAM>(buffer)), 3)
            << id;
        EXPECT_STREQ(buffer, "hel") << id;
        EXPECT_EQ(send(id, WM_GETTEXT, 0, reinterpret_cast<LPARAM>(buffer)), 0) << id;
    }
    EXPECT_EQ(user->text(kStart), "hello");
    EXPECT_EQ(SendMessageA(dialog, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("Caption")), TRUE);
    EXPECT_EQ(user->caption(), "Caption");
}

TEST_F(TextTest, TemplateTextsAndTheLogoBitmapAreKept) {
    ASSERT_TRUE(run(programLikeDialog()));
    std::optional<win32sim::DialogView> view = user->view();
    ASSERT_TRUE(view);
    EXPECT_EQ(view->caption, "Test dialog");
    EXPECT_EQ(view->control(kStart)->text, "S T A R T");
    EXPECT_EQ(view->control(kExit)->text, "E X I T");
    EXPECT_EQ(view->control(kLogo)->imageId, std::optional<WORD>(kLogoBitmap));
    EXPECT_EQ(view->control(kLogo)->text, "");
    // Controls in template order.
    std::vector<int> ids;
    for (const auto& c : view->controls) ids.push_back(c.id);
    EXPECT_EQ(ids, (std::vector<int>{kCombo, kStart, kExit, kProgress, kLogo}));
}

TEST_F(TextTest, SettingTheComboTextLeavesTheSelectionAlone) {
    ASSERT_TRUE(run(programLikeDialog()));
    addEntries({"a", "b"});
    send(kCombo, CB_SETCURSEL, 1);
    send(kCombo, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("free text"));
    EXPECT_EQ(user->editText(kCombo), "free text");
    EXPECT_EQ(send(kCombo, CB_GETCURSEL), 1);
}

}  // namespace
}  // namespace user_tests

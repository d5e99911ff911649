// The program from start to end without an update: what the dialog lists, and how it
// closes.
#include <windows.h>
#include <commctrl.h>

#include "main_dialog.h"
#include "scenario/scenario.h"

namespace {

using scenario::ScenarioTest;

const std::string kOrdinaryEntry0 = "0 : GENERIC DVD-RW DRIVE    1.00";
const std::string kTargetEntry1 = "1 : ZELT    QX-57N8RV       1.00";

class MainDialog : public ScenarioTest {};

TEST_F(MainDialog, ListsEveryOpticalDriveAndCountsTheTargets) {
    emulated().addOrdinary('E');
    emulated().addOther('F', win32sim::DriveKind::Network);
    emulated().addTarget('G');
    startProgram();

    EXPECT_EQ(user->entries(IDC_DRIVE_LIST), (std::vector<std::string>{kOrdinaryEntry0, kTargetEntry1}));
    EXPECT_EQ(user->selection(IDC_DRIVE_LIST), 0);
    EXPECT_EQ(user->editText(IDC_DRIVE_LIST), kOrdinaryEntry0);
    EXPECT_EQ(g_TargetDriveCount, 1);
    EXPECT_EQ(user->progressRange(IDC_PROGRESS), std::make_pair(0, 100));
    EXPECT_EQ(user->progressPos(IDC_PROGRESS), 0);
    EXPECT_TRUE(user->isEnabled(IDC_START));
    EXPECT_TRUE(user->isEnabled(IDC_EXIT));
    EXPECT_EQ(user->focusedControl(), IDC_DRIVE_LIST);
    EXPECT_TRUE(win32sim::messageBoxes().empty());
}

TEST_F(MainDialog, CountsEveryTargetDrive) {
    emulated().addTarget('D');
    emulated().addOrdinary('E');
    emulated().addTarget('F');
    startProgram();
    EXPECT_EQ(user->entries(IDC_DRIVE_LIST).size(), 3u);
    EXPECT_EQ(g_TargetDriveCount, 2);
}

TEST_F(MainDialog, NoOpticalDriveGivesAnEmptyList) {
    startProgram();
    EXPECT_TRUE(user->entries(IDC_DRIVE_LIST).empty());
    EXPECT_EQ(user->selection(IDC_DRIVE_LIST), CB_ERR);
    EXPECT_EQ(g_TargetDriveCount, 0);
}

TEST_F(MainDialog, ADriveThatCannotBeOpenedIsListedByItsIndexAfterTheErrorBox) {
    drivesim::TargetDriveConfig locked;
    locked.faults.denyOpen = {1, drivesim::kEveryLater, drivesim::win_error::kAccessDenied};
    emulated().addTarget('E', locked);
    startProgramAnswering(1);

    ASSERT_EQ(errorBoxes.size(), 1u);
    EXPECT_EQ(errorBoxes[0].text, "Error occur during getting the handle of Device\nError Code 5");
    EXPECT_EQ(errorBoxes[0].caption, "ERROR");
    EXPECT_EQ(errorBoxes[0].owner, nullptr);
    EXPECT_EQ(user->entries(IDC_DRIVE_LIST), std::vector<std::string>{"0 : "});
    EXPECT_EQ(g_TargetDriveCount, 0);
}

TEST_F(MainDialog, EscapeAndEnterOnTheListLeaveTheDialogOpen) {
    emulated().addTarget('E');
    startProgram();
    user->pressEscape();
    user->focus(IDC_DRIVE_LIST);
    user->pressEnter();
    EXPECT_TRUE(user->dialogOpen());
    EXPECT_FALSE(program->ended());
    EXPECT_TRUE(win32sim::messageBoxes().empty()) << "and START was not pressed either";
}

TEST_F(MainDialog, TabRunsOverTheListStartAndExit) {
    startProgram();
    std::vector<int> focus{user->focusedControl()};
    for (int i = 0; i < 3; ++i) {
        user->pressTab();
        focus.push_back(user->focusedControl());
    }
    EXPECT_EQ(focus, (std::vector<int>{IDC_DRIVE_LIST, IDC_START, IDC_EXIT, IDC_DRIVE_LIST}));
}

struct CloseCase {
    const char* how;
    void (*close)(win32sim::ScriptedUser&);
};

class ClosingTheProgram : public ScenarioTest, public ::testing::WithParamInterface<CloseCase> {};

TEST_P(ClosingTheProgram, EndsItWithCodeZero) {
    emulated().addTarget('E');
    startProgram();
    GetParam().close(*user);
    EXPECT_EQ(program->waitForExit(), std::optional<int>(0));
    EXPECT_FALSE(user->dialogOpen());
}

INSTANTIATE_TEST_SUITE_P(
    EveryWay, ClosingTheProgram,
    ::testing::Values(CloseCase{"ExitClicked", [](win32sim::ScriptedUser& u) { u.click(IDC_EXIT); }},
                      CloseCase{"ExitByKeyboard",
                                [](win32sim::ScriptedUser& u) {
                                    u.focus(IDC_EXIT);
                                    u.pressEnter();
                                }},
                      CloseCase{"CloseCommand",
                                [](win32sim::ScriptedUser& u) { u.closeFromCaption(); }}),
    [](const ::testing::TestParamInfo<CloseCase>& param) { return std::string(param.param.how); });

TEST_F(MainDialog, TheSessionMayEndWhenNoUpdateRuns) {
    startProgram();
    EXPECT_TRUE(user->queryEndSession());
}

}  // namespace

// What keeps an update from being cut short: no close and no end of session while it runs,
// and a worker that cannot be started is reported instead of leaving the buttons dead.
#include "update_fixture.h"

namespace {

using drivesim::CommandKind;
using drivesim::TargetDriveConfig;
using update_test::UpdateScenario;

class UpdateSafety : public UpdateScenario {
protected:
    // Starts an update that stops at an unowned "ERROR" box during the tray wait: the worker
    // waits there while the dialog stays usable.
    void startUpdateHeldAtErrorBox() {
        TargetDriveConfig config;
        config.faults.commands = {drivesim::passThroughFault(CommandKind::TestUnitReady, 1, 31)};
        startWithTarget(config);
        user->click(IDC_START);
        held = user->waitForMessageBox();
        ASSERT_TRUE(held);
        ASSERT_EQ(held->caption, "ERROR");
        ASSERT_TRUE(user->dialogEnabled());
    }

    std::optional<win32sim::MessageBoxInfo> held;
};

TEST_F(UpdateSafety, TheCloseCommandIsRefusedWhileTheUpdateRuns) {
    startUpdateHeldAtErrorBox();
    user->closeFromCaption();
    user->click(IDC_EXIT);
    EXPECT_TRUE(user->dialogOpen());
    EXPECT_FALSE(program->ended());

    user->answerMessageBox();
    auto done = user->waitForMessageBox();
    ASSERT_TRUE(done);
    EXPECT_EQ(done->text, "FW Updating Completed Sucessfully");
    user->closeFromCaption();  // the completion box disables the dialog: nothing happens
    EXPECT_FALSE(program->ended());
    user->answerMessageBox();
    EXPECT_EQ(program->waitForExit(), std::optional<int>(0)) << "the worker's own close ends it";
    EXPECT_EQ(target->installedIdentityCode(), "KT7");
}

TEST_F(UpdateSafety, TheSessionMayNotEndWhileTheUpdateRuns) {
    startUpdateHeldAtErrorBox();
    EXPECT_FALSE(user->queryEndSession());
    user->answerMessageBox();
    nextBox();
    EXPECT_EQ(program->waitForExit(), std::optional<int>(0));
}

TEST_F(UpdateSafety, TheSessionMayEndAgainAfterAnEarlyEnd) {
    TargetDriveConfig config;
    drivesim::setIdentityCode(config.firmware, "KT7");
    startWithTarget(config);
    startAndGetFinalBox();
    expectRestored();
    EXPECT_TRUE(user->queryEndSession());
    user->closeFromCaption();
    EXPECT_EQ(program->waitForExit(), std::optional<int>(0));
}

TEST_F(UpdateSafety, AWorkerThatCannotBeStartedIsReportedAndStartWorksAgain) {
    startWithTarget();
    win32sim::failNextThreadCreation(ERROR_NOT_ENOUGH_MEMORY);
    user->click(IDC_START);
    auto box = user->waitForMessageBox();
    ASSERT_TRUE(box);
    EXPECT_EQ(box->text, "Could not start the update.\nError Code 8");
    EXPECT_EQ(box->caption, "Error");
    EXPECT_EQ(box->style, static_cast<UINT>(MB_ICONERROR));
    EXPECT_EQ(box->owner, user->dialog());
    EXPECT_FALSE(user->isEnabled(IDC_START));
    user->answerMessageBox();
    // The dialog thread gives the buttons back once its box has closed.
    EXPECT_TRUE(scenario::eventually([&] { return user->isEnabled(IDC_EXIT); }));
    EXPECT_TRUE(user->isEnabled(IDC_START));
    EXPECT_EQ(targetLog(), std::vector<std::string>{}) << "the drive was not touched";

    EXPECT_EQ(startAndGetFinalBox().text, "FW Updating Completed Sucessfully");
    EXPECT_EQ(program->waitForExit(), std::optional<int>(0));
}

}  // namespace

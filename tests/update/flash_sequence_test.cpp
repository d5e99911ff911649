// The flash sequence's waits: the tray, the progress the drive reports, and the bounded
// poll for its reset.
#include <commctrl.h>

#include "update_fixture.h"

namespace {

using drivesim::CommandKind;
using drivesim::PollAnswer;
using drivesim::TargetDriveConfig;
using update_test::UpdateScenario;

class FlashSequence : public UpdateScenario {
protected:
    // Runs START to its completion box and the program's end.
    void runToCompletion() {
        auto box = startAndGetFinalBox();
        EXPECT_EQ(box.text, "FW Updating Completed Sucessfully");
        EXPECT_EQ(program->waitForExit(), std::optional<int>(0));
    }

    // The TEST UNIT READYs between the tray opening and the download start.
    std::vector<std::string> trayWait() const {
        std::vector<std::string> lines;
        bool inWait = false;
        for (const auto& line : targetLog()) {
            if (line == "SSU 2 -> GOOD") inWait = true;
            else if (line.rfind("BEGIN", 0) == 0) break;
            else if (inWait) lines.push_back(line);
        }
        return lines;
    }
};

TEST_F(FlashSequence, TheTrayWaitStopsAtTheOpenTray) {
    TargetDriveConfig config;
    config.timings.trayOpenMs = 1500;  // open by the third attempt
    startWithTarget(config);
    runToCompletion();
    EXPECT_EQ(trayWait(),
              (std::vector<std::string>{"TUR -> 02/04/01", "TUR -> 02/04/01", "TUR -> 02/3A/02"}));
}

TEST_F(FlashSequence, ATrayNeverSeenOpenCostsFiveAttemptsAndTheDownloadGoesOn) {
    TargetDriveConfig config;
    config.timings.trayOpenMs = 60 * 60 * 1000;
    startWithTarget(config);
    runToCompletion();
    EXPECT_EQ(trayWait(), std::vector<std::string>(5, "TUR -> 02/04/01"));
    auto polls = targetCommands(CommandKind::TestUnitReady);
    auto begin = targetCommands(CommandKind::DownloadBegin);
    EXPECT_EQ(begin.at(0).timeMs - polls.at(0).timeMs, 5 * 1001u) << "five pauses of a second";
}

TEST_F(FlashSequence, ProgressFollowsTheDrivesCountAndIsClampedTo100) {
    TargetDriveConfig config;
    config.pollScript = {PollAnswer::writing(0x100000), PollAnswer::writing(20971),
                         PollAnswer::writing(20972),    PollAnswer::writing(0x200000),
                         PollAnswer::writing(0x600000), PollAnswer::writing(0xFFFFFFFF),
                         PollAnswer::reset()};
    startWithTarget(config);
    runToCompletion();
    EXPECT_EQ(user->progressHistory(IDC_PROGRESS), (std::vector<int>{50, 0, 1, 100, 100, 100, 100}));
}

TEST_F(FlashSequence, GoodAnswersArePolledAgainAtOnce) {
    TargetDriveConfig config;
    config.pollScript = {PollAnswer::good(), PollAnswer::good(), PollAnswer::good(),
                         PollAnswer::writing(0x100000), PollAnswer::reset()};
    startWithTarget(config);
    runToCompletion();
    auto polls = targetCommands(CommandKind::TestUnitReady);
    auto commit = targetCommands(CommandKind::DownloadCommit).at(0);
    std::vector<std::uint64_t> times;
    for (const auto& poll : polls)
        if (poll.timeMs > commit.timeMs) times.push_back(poll.timeMs - commit.timeMs);
    ASSERT_GE(times.size(), 5u);
    EXPECT_EQ(std::vector<std::uint64_t>(times.begin(), times.begin() + 5),
              (std::vector<std::uint64_t>{1, 2, 3, 4, 505}))
        << "no pause after GOOD, half a second after writing";
    EXPECT_EQ(user->progressHistory(IDC_PROGRESS), (std::vector<int>{50, 100}));
}

TEST_F(FlashSequence, AResetThatNeverComesEndsThePollAfterTenMinutes) {
    TargetDriveConfig config;
    config.resetNeverComes = true;
    startWithTarget(config);
    auto box = startAndGetFinalBox();
    EXPECT_EQ(box.text, update_test::kNoEndReported);
    EXPECT_EQ(box.caption, "Error");
    EXPECT_EQ(box.style, static_cast<UINT>(MB_ICONERROR));
    expectRestored();

    auto commit = targetCommands(CommandKind::DownloadCommit).at(0);
    auto lastPoll = targetCommands(CommandKind::TestUnitReady).back();
    EXPECT_GE(lastPoll.timeMs - commit.timeMs, 10 * 60 * 1000u - 501);
    EXPECT_LT(lastPoll.timeMs - commit.timeMs, 10 * 60 * 1000u);
    EXPECT_EQ(targetCommands(CommandKind::StartStopUnit).size(), 1u) << "the tray stays open";
    EXPECT_TRUE(program->waitForExit(std::chrono::milliseconds(0)) == std::nullopt);
}

TEST_F(FlashSequence, ADriveThatStaysGoodIsPolledWithinTheBound) {
    TargetDriveConfig config;
    config.pollScript = {PollAnswer::good()};
    config.repeatLastPollAnswer = true;
    config.timings.busy.testUnitReadyMs = 100;  // keeps the number of polls small
    startWithTarget(config);
    EXPECT_EQ(startAndGetFinalBox().text, update_test::kNoEndReported);
    expectRestored();
}

TEST_F(FlashSequence, ADriveThatDisappearsAfterItsResetEndsThePollAfterThreeFailures) {
    TargetDriveConfig config;
    config.vanishAtReset = true;
    startWithTarget(config);
    auto box = startAndGetFinalBox();
    EXPECT_EQ(box.text, update_test::kNoEndReported);
    ASSERT_EQ(errorBoxes.size(), 3u);
    for (const auto& error : errorBoxes)
        EXPECT_EQ(error.text, "DeviceIoControl Error: Error Code 1167\nI can't issue Command through SPTI");
    ASSERT_TRUE(win32sim::waitForThreads(std::chrono::seconds(10)));
    EXPECT_TRUE(user->isEnabled(IDC_START));
    EXPECT_TRUE(user->isEnabled(IDC_EXIT));
}

TEST_F(FlashSequence, APassThroughFailureBetweenGoodPollsDoesNotCountTowardsTheLimit) {
    TargetDriveConfig config;
    // The tray wait takes three TEST UNIT READYs; then the poll: two failures, an answer,
    // two failures, and the drive carries on to its reset.
    config.faults.commands = {drivesim::passThroughFault(CommandKind::TestUnitReady, 4, 31).forTimes(2),
                              drivesim::passThroughFault(CommandKind::TestUnitReady, 7, 31).forTimes(2)};
    startWithTarget(config);
    auto box = startAndGetFinalBox();
    EXPECT_EQ(box.text, "FW Updating Completed Sucessfully");
    EXPECT_EQ(errorBoxes.size(), 4u);
    EXPECT_EQ(program->waitForExit(), std::optional<int>(0));
}

}  // namespace

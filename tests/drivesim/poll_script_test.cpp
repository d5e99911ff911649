// Scripted answers to the polls after a commit, for drives that report their write phase
// oddly, and the drive that drops off the bus at its reset.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "drive_host.h"
#include "drivesim/clock.h"
#include "drivesim/target_drive.h"

namespace {

using namespace drivesim;
using drivesim_test::Host;
using drivesim_test::hasSense;
using drivesim_test::summarize;

const FirmwareImage& updateImage() {
    static const FirmwareImage image = makeFirmwareImage("QX2", 7);
    return image;
}

struct ScriptCase {
    const char* name;
    std::vector<PollAnswer> script;
    bool repeatLast;
    bool resetNeverComes;
    std::uint64_t waitBeforePollingMs;  // after the commit
    std::vector<std::string> expectedPolls;
    bool updated;  // the new firmware is installed after the polls
};

class PollScript : public ::testing::TestWithParam<ScriptCase> {};

TEST_P(PollScript, AnswersThePollsAfterTheCommit) {
    const ScriptCase& c = GetParam();
    ManualClock clock(0);
    TargetDriveConfig config;
    config.pollScript = c.script;
    config.repeatLastPollAnswer = c.repeatLast;
    config.resetNeverComes = c.resetNeverComes;
    TargetDrive drive(config, clock.clock());
    Host host(drive);

    ASSERT_EQ(summarize(host.download(updateImage())), "GOOD");
    clock.advance(c.waitBeforePollingMs);
    std::vector<std::string> polls;
    for (std::size_t i = 0; i < c.expectedPolls.size(); ++i) {
        polls.push_back(summarize(host.testUnitReady()));
    }
    EXPECT_EQ(polls, c.expectedPolls) << drive.transcript().dump();
    EXPECT_EQ(drive.installedIdentityCode(), c.updated ? "QX2" : "KT8");
}

const std::uint64_t kLongAfter = 100000;  // well past the 20 s write time

INSTANTIATE_TEST_SUITE_P(
    Scripts, PollScript,
    ::testing::Values(
        ScriptCase{"GoodWhileWritingThenReset",
                   {PollAnswer::good(), PollAnswer::good(), PollAnswer::reset()},
                   false, false, 0,
                   {"GOOD", "GOOD", "CHECK 06/29/00", "CHECK 02/3A/01"}, true},
        ScriptCase{"OddInformationValues",
                   {PollAnswer::writing(0x300000), PollAnswer::writing(0xFFFFFFFF),
                    PollAnswer::writing(0), PollAnswer::reset()},
                   false, false, 0,
                   {"CHECK 02/04/08 info=0x300000", "CHECK 02/04/08 info=0xFFFFFFFF",
                    "CHECK 02/04/08 info=0x0", "CHECK 06/29/00"},
                   true},
        // The clock ran out long ago, but the script is answered first.
        ScriptCase{"ScriptRunsOutThenTheClockDecides",
                   {PollAnswer::writing(7), PollAnswer::writing(8)}, false, false, kLongAfter,
                   {"CHECK 02/04/08 info=0x7", "CHECK 02/04/08 info=0x8", "CHECK 06/29/00",
                    "CHECK 02/3A/01"},
                   true},
        ScriptCase{"ScriptRunsOutBeforeTheWriteTime", {PollAnswer::good()}, false, false, 5000,
                   {"GOOD", "CHECK 02/04/08 info=0x80000"}, false},
        ScriptCase{"LastAnswerRepeatsAndNeverResets", {PollAnswer::writing(0x200000)}, true,
                   false, kLongAfter,
                   {"CHECK 02/04/08 info=0x200000", "CHECK 02/04/08 info=0x200000",
                    "CHECK 02/04/08 info=0x200000"},
                   false},
        ScriptCase{"GoodForever", {PollAnswer::writing(5), PollAnswer::good()}, true, false,
                   kLongAfter, {"CHECK 02/04/08 info=0x5", "GOOD", "GOOD", "GOOD"}, false},
        ScriptCase{"ScriptedSense",
                   {PollAnswer::withSense(SenseCode{0x02, 0x04, 0x07}),
                    PollAnswer::withSense(SenseCode{0x04, 0x44, 0x00}, 9), PollAnswer::reset()},
                   false, false, 0,
                   {"CHECK 02/04/07", "CHECK 04/44/00 info=0x9", "CHECK 06/29/00"}, true},
        ScriptCase{"ResetNeverComes", {}, false, true, kLongAfter,
                   {"CHECK 02/04/08 info=0x200000", "CHECK 02/04/08 info=0x200000"}, false},
        ScriptCase{"ResetNeverComesAfterTheScript", {PollAnswer::good()}, false, true,
                   kLongAfter, {"GOOD", "CHECK 02/04/08 info=0x200000"}, false}),
    [](const auto& tp) { return std::string(tp.param.name); });

TEST(PollScriptRestart, ASecondCommitStartsTheScriptAgain) {
    ManualClock clock(0);
    TargetDriveConfig config;
    config.pollScript = {PollAnswer::writing(1), PollAnswer::reset()};
    TargetDrive drive(config, clock.clock());
    Host host(drive);
    for (int round = 0; round < 2; ++round) {
        ASSERT_EQ(summarize(host.download(updateImage())), "GOOD");
        EXPECT_EQ(summarize(host.testUnitReady()), "CHECK 02/04/08 info=0x1") << round;
        EXPECT_EQ(summarize(host.testUnitReady()), "CHECK 06/29/00") << round;
    }
}

class VanishAtReset : public ::testing::Test {
protected:
    void SetUp() override {
        config.vanishAtReset = true;
        config.reappearAfterResetMs = 3000;
        drive = std::make_unique<TargetDrive>(config, clock.clock());
        host = std::make_unique<Host>(*drive);
        ASSERT_EQ(summarize(host->download(updateImage())), "GOOD");
    }
    ManualClock clock{0};
    TargetDriveConfig config;
    std::unique_ptr<TargetDrive> drive;
    std::unique_ptr<Host> host;
};

TEST_F(VanishAtReset, GoneFromTheResetUntilItComesBackReportingTheReset) {
    clock.advance(config.timings.writeMs - 1);
    EXPECT_TRUE(drive->present());
    clock.advance(1);
    EXPECT_FALSE(drive->present());
    EXPECT_EQ(drive->openError(), 2u);
    EXPECT_EQ(summarize(host->testUnitReady()), "FAILED 1167");
    EXPECT_EQ(drive->installedIdentityCode(), "QX2") << "installed before it went";

    clock.advance(2999);
    EXPECT_FALSE(drive->present());
    clock.advance(1);
    EXPECT_TRUE(drive->present());
    EXPECT_EQ(drive->openError(), 0u);
    EXPECT_TRUE(hasSense(host->testUnitReady(), sense::kPowerOnReset));
    EXPECT_TRUE(hasSense(host->testUnitReady(), sense::kNoMedium));
}

TEST_F(VanishAtReset, ReappearanceCountsFromTheResetNotFromWhenSomeoneLooks) {
    clock.advance(config.timings.writeMs + 3000);
    EXPECT_TRUE(drive->present());
}

TEST(VanishAtScriptedReset, TheResettingPollFails) {
    ManualClock clock(0);
    TargetDriveConfig config;
    config.vanishAtReset = true;
    config.pollScript = {PollAnswer::reset()};
    TargetDrive drive(config, clock.clock());
    Host host(drive);
    ASSERT_EQ(summarize(host.download(updateImage())), "GOOD");
    EXPECT_EQ(summarize(host.testUnitReady()), "FAILED 1167");
    EXPECT_FALSE(drive.present());
    clock.advance(kLongAfter);
    EXPECT_FALSE(drive.present()) << "gone for good without a reappearance time";
    EXPECT_EQ(drive.installedIdentityCode(), "QX2");
}

}  // namespace

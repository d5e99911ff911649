// Faults as data: which command they hit, what the host sees, and the device-level faults.
#include "drivesim/faults.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "drive_host.h"
#include "drivesim/clock.h"
#include "drivesim/target_drive.h"

namespace {

using namespace drivesim;
using drivesim_test::Host;
using drivesim_test::summarize;

using K = CommandKind;

struct MatchCase {
    const char* name;
    CommandFault fault;
    CommandKind kind;
    std::uint32_t ordinalOfKind;
    std::uint32_t ordinalOfAll;
    bool expected;
};

class FaultMatch : public ::testing::TestWithParam<MatchCase> {};

TEST_P(FaultMatch, SelectsByKindAndCount) {
    const MatchCase& c = GetParam();
    EXPECT_EQ(c.fault.matches(c.kind, c.ordinalOfKind, c.ordinalOfAll), c.expected);
}

const SenseCode kMediumError{0x03, 0x11, 0x00};

INSTANTIATE_TEST_SUITE_P(
    Cases, FaultMatch,
    ::testing::Values(
        MatchCase{"NthOfKind", hangFault(K::TestUnitReady, 2), K::TestUnitReady, 2, 9, true},
        MatchCase{"BeforeNth", hangFault(K::TestUnitReady, 2), K::TestUnitReady, 1, 9, false},
        MatchCase{"AfterNthOnce", hangFault(K::TestUnitReady, 2), K::TestUnitReady, 3, 9, false},
        MatchCase{"OtherKind", hangFault(K::TestUnitReady, 2), K::Inquiry, 2, 2, false},
        MatchCase{"EveryLater", hangFault(K::TestUnitReady, 2).everyLater(), K::TestUnitReady,
                  1000, 1000, true},
        MatchCase{"LastOfCount", hangFault(K::ReadBuffer, 2).forTimes(3), K::ReadBuffer, 4, 4,
                  true},
        MatchCase{"PastCount", hangFault(K::ReadBuffer, 2).forTimes(3), K::ReadBuffer, 5, 5,
                  false},
        MatchCase{"AnyCommandCountsAll", hangFault(kAnyCommand, 3), K::Inquiry, 1, 3, true},
        MatchCase{"AnyCommandIgnoresKindCount", hangFault(kAnyCommand, 3), K::Inquiry, 3, 2,
                  false},
        MatchCase{"NthZeroIsOff", hangFault(K::Inquiry, 0).everyLater(), K::Inquiry, 1, 1,
                  false}),
    [](const auto& tp) { return std::string(tp.param.name); });

// A fault list, the commands sent, and what the host saw of each.
struct FaultCase {
    const char* name;
    std::vector<CommandFault> faults;
    std::vector<CommandKind> commands;
    std::vector<std::string> expected;
};

class CommandFaults : public ::testing::TestWithParam<FaultCase> {};

TEST_P(CommandFaults, AnswerInsteadOfTheDrive) {
    const FaultCase& c = GetParam();
    TargetDriveConfig config;
    config.faults.commands = c.faults;
    TargetDrive drive(config, ManualClock().clock());
    Host host(drive);
    std::vector<std::string> seen;
    for (CommandKind kind : c.commands) seen.push_back(summarize(host.ofKind(kind)));
    EXPECT_EQ(seen, c.expected) << drive.transcript().dump();
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CommandFaults,
    ::testing::Values(
        FaultCase{"CheckConditionOnNthOfKind",
                  {checkConditionFault(K::TestUnitReady, 2, kMediumError)},
                  {K::TestUnitReady, K::Inquiry, K::TestUnitReady, K::TestUnitReady},
                  {"CHECK 02/3A/01", "GOOD", "CHECK 03/11/00", "CHECK 02/3A/01"}},
        FaultCase{"CheckConditionWithInformation",
                  {checkConditionFault(K::Inquiry, 1, SenseCode{0x04, 0x40, 0x80}, 0x1234)},
                  {K::Inquiry, K::Inquiry},
                  {"CHECK 04/40/80 info=0x1234", "GOOD"}},
        FaultCase{"EveryLater",
                  {checkConditionFault(K::TestUnitReady, 2, kMediumError).everyLater()},
                  {K::TestUnitReady, K::TestUnitReady, K::TestUnitReady, K::Inquiry},
                  {"CHECK 02/3A/01", "CHECK 03/11/00", "CHECK 03/11/00", "GOOD"}},
        FaultCase{"Count",
                  {checkConditionFault(K::TestUnitReady, 1, kMediumError).forTimes(2)},
                  {K::TestUnitReady, K::TestUnitReady, K::TestUnitReady},
                  {"CHECK 03/11/00", "CHECK 03/11/00", "CHECK 02/3A/01"}},
        FaultCase{"AnyCommand", {passThroughFault(kAnyCommand, 3, 1117)},
                  {K::Inquiry, K::TestUnitReady, K::Inquiry, K::TestUnitReady},
                  {"GOOD", "CHECK 02/3A/01", "FAILED 1117", "CHECK 02/3A/01"}},
        FaultCase{"PassThroughFailure", {passThroughFault(K::Inquiry, 1, 31)},
                  {K::Inquiry, K::Inquiry}, {"FAILED 31", "GOOD"}},
        FaultCase{"Hang", {hangFault(K::ReadBuffer, 1)}, {K::ReadBuffer, K::ReadBuffer},
                  {"HUNG", "GOOD"}},
        FaultCase{"VanishOnNthCommand", {vanishFault(K::TestUnitReady, 2)},
                  {K::TestUnitReady, K::TestUnitReady, K::Inquiry, K::TestUnitReady},
                  {"CHECK 02/3A/01", "FAILED 1167", "FAILED 1167", "FAILED 1167"}},
        FaultCase{"FirstMatchingFaultWins",
                  {hangFault(K::Inquiry, 1), passThroughFault(kAnyCommand, 1, 31)},
                  {K::Inquiry}, {"HUNG"}},
        // A refused START STOP UNIT did not move the tray.
        FaultCase{"FaultedCommandIsNotExecuted",
                  {checkConditionFault(K::StartStopUnit, 1, kMediumError)},
                  {K::StartStopUnit, K::TestUnitReady, K::StartStopUnit, K::TestUnitReady},
                  {"CHECK 03/11/00", "CHECK 02/3A/01", "GOOD", "CHECK 02/04/01"}},
        FaultCase{"FaultedChunkIsNotStored",
                  {hangFault(K::DownloadChunk, 1)},
                  {K::DownloadBegin, K::DownloadChunk, K::DownloadChunk},
                  {"GOOD", "HUNG", "GOOD"}}),
    [](const auto& tp) { return std::string(tp.param.name); });

TEST(VanishFault, GoneForTheOperatingSystemToo) {
    ManualClock clock(0);
    TargetDriveConfig config;
    config.faults.commands = {vanishFault(K::Inquiry, 1, 4000)};
    TargetDrive drive(config, clock.clock());
    Host host(drive);
    EXPECT_EQ(summarize(host.inquiry()), "FAILED 1167");
    EXPECT_FALSE(drive.present());
    EXPECT_EQ(drive.openError(), win_error::kFileNotFound);
    EXPECT_EQ(drive.mediaChangeControl(true), win_error::kDeviceNotConnected);
    clock.advance(4000);
    EXPECT_TRUE(drive.present());
    EXPECT_EQ(summarize(host.inquiry()), "GOOD");
}

TEST(CheckConditionFault, TakesTheDrivesTimeOtherFailuresDoNot) {
    TargetDriveConfig config;
    config.timings.busy.testUnitReadyMs = 7;
    config.faults.commands = {checkConditionFault(K::TestUnitReady, 1, kMediumError),
                              passThroughFault(K::TestUnitReady, 2, 31)};
    TargetDrive drive(config, ManualClock().clock());
    Host host(drive);
    EXPECT_EQ(host.testUnitReady().result.busyMs, 7u);
    EXPECT_EQ(host.testUnitReady().result.busyMs, 0u);
    EXPECT_EQ(host.testUnitReady().result.busyMs, 7u);
}

struct OpenCase {
    const char* name;
    OpenFault fault;
    std::vector<std::uint32_t> expected;  // openError() of successive opens
};

class DenyOpen : public ::testing::TestWithParam<OpenCase> {};

TEST_P(DenyOpen, FailsTheOpensItCovers) {
    const OpenCase& c = GetParam();
    TargetDriveConfig config;
    config.faults.denyOpen = c.fault;
    TargetDrive drive(config, ManualClock().clock());
    std::vector<std::uint32_t> seen;
    for (std::size_t i = 0; i < c.expected.size(); ++i) seen.push_back(drive.openError());
    EXPECT_EQ(seen, c.expected);
    EXPECT_TRUE(drive.present()) << "a refused open does not make the drive absent";
}

INSTANTIATE_TEST_SUITE_P(Cases, DenyOpen,
                         ::testing::Values(OpenCase{"Never", OpenFault{}, {0, 0, 0}},
                                           OpenCase{"Always", OpenFault{1, kEveryLater, 5},
                                                    {5, 5, 5}},
                                           OpenCase{"FromSecond", OpenFault{2, kEveryLater, 5},
                                                    {0, 5, 5}},
                                           OpenCase{"FirstOnly", OpenFault{1, 1, 32}, {32, 0, 0}}),
                         [](const auto& tp) { return std::string(tp.param.name); });

TEST(AbsentDrive, IsNotThereFromTheStart) {
    TargetDriveConfig config;
    config.faults.absent = true;
    TargetDrive drive(config, ManualClock().clock());
    EXPECT_FALSE(drive.present());
    EXPECT_EQ(drive.openError(), win_error::kFileNotFound);
    EXPECT_EQ(summarize(Host(drive).inquiry()), "FAILED 1167");
}

struct MediaChangeCase {
    const char* name;
    std::uint32_t offError;
    std::uint32_t onError;
    std::uint32_t expectedOff;
    bool pollingOffAfterOff;
    std::uint32_t expectedOn;
};

class MediaChangeFaults : public ::testing::TestWithParam<MediaChangeCase> {};

TEST_P(MediaChangeFaults, FailedSwitchChangesNothing) {
    const MediaChangeCase& c = GetParam();
    TargetDriveConfig config;
    config.faults.mediaChangeOffError = c.offError;
    config.faults.mediaChangeOnError = c.onError;
    TargetDrive drive(config, ManualClock().clock());

    EXPECT_EQ(drive.mediaChangeControl(true), c.expectedOff);
    EXPECT_EQ(drive.mediaPollingOff(), c.pollingOffAfterOff);
    EXPECT_EQ(drive.mediaChangeControl(false), c.expectedOn);
    EXPECT_EQ(drive.mediaPollingOff(), c.pollingOffAfterOff && c.expectedOn != 0);
    auto history = drive.mediaChangeHistory();
    ASSERT_EQ(history.size(), 2u);
    EXPECT_EQ(history[0].errorCode, c.expectedOff);
    EXPECT_EQ(history[1].errorCode, c.expectedOn);
}

INSTANTIATE_TEST_SUITE_P(Cases, MediaChangeFaults,
                         ::testing::Values(MediaChangeCase{"Works", 0, 0, 0, true, 0},
                                           MediaChangeCase{"OffFails", 50, 0, 50, false, 0},
                                           MediaChangeCase{"OnFails", 0, 50, 0, true, 50}),
                         [](const auto& tp) { return std::string(tp.param.name); });

}  // namespace

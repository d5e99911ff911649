// What the transcript keeps of each request, and its one-line form.
#include "drivesim/transcript.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "drive_host.h"
#include "drivesim/clock.h"
#include "drivesim/hash.h"
#include "drivesim/target_drive.h"

namespace {

using namespace drivesim;
using drivesim_test::Host;
using drivesim_test::summarize;

TEST(Fnv1a, KnownValues) {
    EXPECT_EQ(fnv1a64(nullptr, 0), 0xcbf29ce484222325ull);
    const std::uint8_t a[] = {'a'};
    EXPECT_EQ(fnv1a64(a, 1), 0xaf63dc4c8601ec8cull);
    const std::uint8_t foobar[] = {'f', 'o', 'o', 'b', 'a', 'r'};
    EXPECT_EQ(fnv1a64(foobar, 6), 0x85944171f73967e8ull);
}

class TranscriptTest : public ::testing::Test {
protected:
    ManualClock clock{100};
    FirmwareImage image = makeFirmwareImage("QX2", 3);
};

TEST_F(TranscriptTest, RecordsCommandsAndMediaChangeSwitchesInOrder) {
    TargetDrive drive(TargetDriveConfig{}, clock.clock());
    Host host(drive);

    drive.mediaChangeControl(true);
    clock.advance(10);
    host.inquiry(0xC0, 0xC0);
    clock.advance(10);
    host.begin();
    host.chunk(image, 0);
    host.chunk(image, 0x8000);  // out of order
    clock.advance(10);
    drive.mediaChangeControl(false);

    const auto entries = drive.transcript().entries();
    ASSERT_EQ(entries.size(), 6u) << drive.transcript().dump();
    EXPECT_EQ(entries[0].type, EntryType::MediaChange);
    EXPECT_TRUE(entries[0].pollingOff);
    EXPECT_EQ(entries[0].timeMs, 100u);

    const TranscriptEntry& inquiry = entries[1];
    EXPECT_EQ(inquiry.type, EntryType::Command);
    EXPECT_EQ(inquiry.kind, CommandKind::Inquiry);
    EXPECT_EQ(inquiry.cdb, (std::vector<std::uint8_t>{0x12, 0, 0, 0, 0xC0, 0}));
    EXPECT_EQ(inquiry.direction, DataDirection::In);
    EXPECT_EQ(inquiry.length, 0xC0u);
    EXPECT_EQ(inquiry.transferred, 36u);
    EXPECT_EQ(inquiry.dataOutHash, 0u) << "no data was sent";
    EXPECT_EQ(inquiry.timeMs, 110u);

    const TranscriptEntry& chunk = entries[3];
    EXPECT_EQ(chunk.kind, CommandKind::DownloadChunk);
    EXPECT_EQ(chunk.cdb.size(), 12u);
    EXPECT_EQ(chunk.timeoutSeconds, 60u);
    EXPECT_EQ(chunk.dataOutHash, fnv1a64(image.data(), kChunkSize));
    EXPECT_NE(entries[4].dataOutHash, chunk.dataOutHash) << "hash of the bytes actually sent";

    const TranscriptEntry& refused = entries[4];
    EXPECT_EQ(refused.status, kStatusCheckCondition);
    EXPECT_EQ(refused.sense, sense::kSequenceError);
    EXPECT_FALSE(refused.informationValid);
    EXPECT_EQ(refused.answeredBy, AnsweredBy::Drive);

    EXPECT_EQ(entries[5].type, EntryType::MediaChange);
    EXPECT_FALSE(entries[5].pollingOff);
    EXPECT_EQ(entries[5].timeMs, 130u);

    EXPECT_EQ(drive.transcript().commands().size(), 4u);
    EXPECT_EQ(drive.transcript().commands(CommandKind::DownloadChunk).size(), 2u);
}

TEST_F(TranscriptTest, KeepsInformationOfProgressAnswers) {
    TargetDrive drive(TargetDriveConfig{}, clock.clock());
    Host host(drive);
    ASSERT_EQ(summarize(host.download(image)), "GOOD");
    clock.advance(10000);
    host.testUnitReady();
    const TranscriptEntry last = drive.transcript().commands().back();
    EXPECT_EQ(last.sense, sense::kLongWriteInProgress);
    EXPECT_TRUE(last.informationValid);
    EXPECT_EQ(last.information, 0x100000u);
}

TEST_F(TranscriptTest, MarksWhatAFaultOrAbsenceAnswered) {
    TargetDriveConfig config;
    config.faults.commands = {passThroughFault(CommandKind::TestUnitReady, 1, 31),
                              vanishFault(CommandKind::TestUnitReady, 2)};
    TargetDrive drive(config, clock.clock());
    Host host(drive);
    host.testUnitReady();
    host.testUnitReady();
    host.testUnitReady();
    drive.openError();

    const auto entries = drive.transcript().entries();
    ASSERT_EQ(entries.size(), 4u);
    EXPECT_EQ(entries[0].answeredBy, AnsweredBy::Fault);
    EXPECT_EQ(entries[0].faultIndex, 0);
    EXPECT_EQ(entries[0].faultAction, FaultAction::PassThroughFailure);
    EXPECT_EQ(entries[0].transport, Transport::Failed);
    EXPECT_EQ(entries[0].errorCode, 31u);
    EXPECT_EQ(entries[1].faultIndex, 1);
    EXPECT_EQ(entries[1].faultAction, FaultAction::Vanish);
    EXPECT_EQ(entries[2].answeredBy, AnsweredBy::Gone);
    EXPECT_EQ(entries[3].type, EntryType::Open);
    EXPECT_EQ(entries[3].errorCode, win_error::kFileNotFound);
}

TEST_F(TranscriptTest, OneLineForm) {
    TargetDriveConfig config;
    config.faults.commands = {hangFault(CommandKind::ReadBuffer, 1)};
    TargetDrive drive(config, clock.clock());
    Host host(drive);
    host.begin();
    host.chunk(image, 0);
    host.readBuffer(0, 0x100);
    drive.mediaChangeControl(true);
    clock.advance(5);
    host.testUnitReady();

    const auto entries = drive.transcript().entries();
    ASSERT_EQ(entries.size(), 5u);
    EXPECT_EQ(entries[1].toString(),
              "3B 06 00 00 00 00 00 40 00 00 00 00 out 16384 t60 -> GOOD 16384B @100");
    EXPECT_EQ(entries[2].toString(),
              "3C 06 00 00 00 00 00 01 00 00 in 256 t10 -> HUNG [fault 0 Hang] @100");
    EXPECT_EQ(entries[3].toString(), "media change polling off @100");
    EXPECT_EQ(entries[4].toString(), "00 00 00 00 00 00 none 0 t10 -> CHECK 02/3A/01 @105");

    const std::string dump = drive.transcript().dump();
    EXPECT_EQ(std::count(dump.begin(), dump.end(), '\n'), 5);
}

}  // namespace

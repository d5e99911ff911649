// The download: begin, chunks, commit, the write phase, the reset, and the refusals.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "drive_host.h"
#include "drivesim/bytes.h"
#include "drivesim/clock.h"
#include "drivesim/target_drive.h"

namespace {

using namespace drivesim;
using drivesim_test::Host;
using drivesim_test::Reply;
using drivesim_test::hasSense;
using drivesim_test::summarize;

const FirmwareImage& updateImage() {
    static const FirmwareImage image = makeFirmwareImage("QX2", 7);
    return image;
}

class TargetDownload : public ::testing::Test {
protected:
    TargetDownload() { reset(); }
    void reset() {
        drive = std::make_unique<TargetDrive>(config, clock.clock());
        host = std::make_unique<Host>(*drive);
    }
    std::uint32_t progressOf(const Reply& reply) {
        DecodedSense sense = decodeSense(reply.result);
        EXPECT_TRUE(sense.parsed && sense.code == sense::kLongWriteInProgress)
            << summarize(reply);
        EXPECT_TRUE(sense.informationValid);
        return sense.information;
    }

    ManualClock clock{50000};
    TargetDriveConfig config;
    std::unique_ptr<TargetDrive> drive;
    std::unique_ptr<Host> host;
};

TEST_F(TargetDownload, WholeUpdateReplacesTheInstalledFirmware) {
    config.revisionAfterUpdate = "1.10";
    reset();
    ASSERT_EQ(drive->installedIdentityCode(), "KT8");

    ASSERT_EQ(summarize(host->begin()), "GOOD");
    for (std::uint32_t offset = 0; offset < kImageSize; offset += kChunkSize) {
        Reply reply = host->chunk(updateImage(), offset);
        ASSERT_EQ(summarize(reply), "GOOD") << "chunk at " << offset;
        ASSERT_EQ(reply.result.transferred, kChunkSize);
    }
    EXPECT_EQ(drive->chunksReceived(), kChunkCount);
    EXPECT_EQ(drive->downloadBuffer(), updateImage());
    ASSERT_EQ(summarize(host->commit()), "GOOD");
    EXPECT_TRUE(drive->writing());

    // Progress rises linearly over writeMs (20 s) on a scale where 0x200000 means done.
    EXPECT_EQ(progressOf(host->testUnitReady()), 0u);
    clock.advance(5000);
    EXPECT_EQ(progressOf(host->testUnitReady()), 0x80000u);
    clock.advance(5000);
    Reply half = host->testUnitReady();
    EXPECT_EQ(progressOf(half), 0x100000u);
    EXPECT_EQ(half.result.sense[0], 0xF0) << "VALID bit";
    EXPECT_EQ(readBe32(&half.result.sense[3]), 0x100000u) << "big-endian INFORMATION";
    clock.advance(9999);
    EXPECT_EQ(progressOf(host->testUnitReady()), std::uint64_t{19999} * 0x200000 / 20000);

    // Still writing: the old firmware runs, READ BUFFER is refused.
    EXPECT_EQ(drive->installedIdentityCode(), "KT8");
    EXPECT_TRUE(hasSense(host->readBuffer(0, 0x100), sense::kLongWriteInProgress));
    EXPECT_EQ(host->inquiry().data.at(32), '1') << "INQUIRY still answers while writing";

    clock.advance(1);
    EXPECT_TRUE(hasSense(host->testUnitReady(), sense::kPowerOnReset));
    EXPECT_TRUE(hasSense(host->testUnitReady(), sense::kNoMedium)) << "the reset is reported once";
    EXPECT_EQ(drive->installedFirmware(), updateImage());
    EXPECT_EQ(drive->resets(), 1u);

    Reply block = host->readBuffer(kIdentityBlockOffset, kIdentityBlockSize);
    ASSERT_EQ(summarize(block), "GOOD");
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&block.data[kIdentityCodeOffset]), 3),
              "QX2");
    Reply inquiry = host->inquiry();
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&inquiry.data[32]), 4), "1.10");
}

TEST_F(TargetDownload, WriteEndsByTheClockEvenWithoutPolling) {
    ASSERT_EQ(summarize(host->download(updateImage())), "GOOD");
    clock.advance(config.timings.writeMs);
    EXPECT_FALSE(drive->writing());
    EXPECT_EQ(drive->installedIdentityCode(), "QX2");
    EXPECT_FALSE(drive->resetReported());
    EXPECT_TRUE(hasSense(host->testUnitReady(), sense::kPowerOnReset));
    EXPECT_TRUE(drive->resetReported());
}

TEST_F(TargetDownload, TrayStaysOpenAcrossTheReset) {
    host->startStop(2);
    clock.advance(config.timings.trayOpenMs);
    ASSERT_EQ(summarize(host->download(updateImage())), "GOOD");
    clock.advance(config.timings.writeMs);
    EXPECT_TRUE(hasSense(host->testUnitReady(), sense::kPowerOnReset));
    EXPECT_TRUE(hasSense(host->testUnitReady(), sense::kTrayOpen));
}

TEST_F(TargetDownload, ResetIsReportedToTheFirstCommandButNotToInquiry) {
    ASSERT_EQ(summarize(host->download(updateImage())), "GOOD");
    clock.advance(config.timings.writeMs);
    EXPECT_EQ(summarize(host->inquiry()), "GOOD");
    EXPECT_TRUE(hasSense(host->readBuffer(0, 16), sense::kPowerOnReset));
    EXPECT_EQ(summarize(host->readBuffer(0, 16)), "GOOD");
}

TEST_F(TargetDownload, BeginRestartsADownload) {
    host->begin();
    host->chunk(updateImage(), 0);
    host->chunk(updateImage(), kChunkSize);
    ASSERT_EQ(summarize(host->begin()), "GOOD");
    EXPECT_EQ(drive->chunksReceived(), 0u);
    EXPECT_TRUE(hasSense(host->chunk(updateImage(), 2 * kChunkSize), sense::kSequenceError));
    host->begin();
    EXPECT_EQ(summarize(host->chunk(updateImage(), 0)), "GOOD");
}

TEST_F(TargetDownload, SecondUpdateAfterTheFirst) {
    ASSERT_EQ(summarize(host->download(updateImage())), "GOOD");
    clock.advance(config.timings.writeMs);
    host->testUnitReady();
    FirmwareImage again = makeFirmwareImage("KT8", 9);
    ASSERT_EQ(summarize(host->download(again)), "GOOD");
    clock.advance(config.timings.writeMs);
    EXPECT_TRUE(hasSense(host->testUnitReady(), sense::kPowerOnReset));
    EXPECT_EQ(drive->installedFirmware(), again);
    EXPECT_EQ(drive->resets(), 2u);
}

// ---- refusals ----

enum class Prepared { Nothing, Begun, TwoChunks, AllChunks };

struct RefusalCase {
    const char* name;
    Prepared setup;
    std::vector<std::uint8_t> cdb;
    DataDirection direction;
    std::uint32_t length;
    SenseCode expected;
    bool abandons;  // the download cannot go on afterwards
};

class TargetRefusal : public TargetDownload, public ::testing::WithParamInterface<RefusalCase> {
protected:
    void prepare(Prepared setup) {
        if (setup == Prepared::Nothing) return;
        ASSERT_EQ(summarize(host->begin()), "GOOD");
        const std::uint32_t chunks = setup == Prepared::Begun       ? 0
                                     : setup == Prepared::TwoChunks ? 2
                                                                 : kChunkCount;
        for (std::uint32_t i = 0; i < chunks; ++i) {
            ASSERT_EQ(summarize(host->chunk(updateImage(), i * kChunkSize)), "GOOD");
        }
    }
    // The step that would come next in a good download.
    Reply carryOn(Prepared setup) {
        switch (setup) {
        case Prepared::Begun: return host->chunk(updateImage(), 0);
        case Prepared::TwoChunks: return host->chunk(updateImage(), 2 * kChunkSize);
        case Prepared::AllChunks: return host->commit();
        case Prepared::Nothing: break;
        }
        return {};
    }
};

TEST_P(TargetRefusal, AnswersWithSenseAndAbandonsTheDownloadWhereItShould) {
    const RefusalCase& c = GetParam();
    prepare(c.setup);
    std::vector<std::uint8_t> data(c.length, 0x5A);
    Reply reply = host->send(c.cdb, c.direction, c.length, data.data());
    EXPECT_TRUE(hasSense(reply, c.expected));
    EXPECT_FALSE(drive->writing());
    EXPECT_EQ(drive->installedIdentityCode(), "KT8");

    if (c.setup == Prepared::Nothing) return;
    Reply next = carryOn(c.setup);
    if (c.abandons) {
        EXPECT_TRUE(hasSense(next, sense::kSequenceError)) << "download should be abandoned";
        EXPECT_FALSE(drive->downloadActive());
    } else {
        EXPECT_EQ(summarize(next), "GOOD") << "download should go on";
    }
}

using drivesim_test::beginCdb;
using drivesim_test::chunkCdb;
using drivesim_test::commitCdb;

std::vector<std::uint8_t> withByte(std::vector<std::uint8_t> cdb, std::size_t index,
                                   std::uint8_t value) {
    cdb[index] = value;
    return cdb;
}

const DataDirection kOut = DataDirection::Out;
const DataDirection kNone = DataDirection::Unspecified;

INSTANTIATE_TEST_SUITE_P(
    Cases, TargetRefusal,
    ::testing::Values(
        RefusalCase{"ChunkBeforeBegin", Prepared::Nothing, chunkCdb(0), kOut, 0x4000,
                    sense::kSequenceError, true},
        RefusalCase{"ChunkSkipsAhead", Prepared::Begun, chunkCdb(0x8000), kOut, 0x4000,
                    sense::kSequenceError, true},
        RefusalCase{"ChunkRepeated", Prepared::TwoChunks, chunkCdb(0x4000), kOut, 0x4000,
                    sense::kSequenceError, true},
        RefusalCase{"ChunkTooSmall", Prepared::Begun, chunkCdb(0, 0x2000), kOut, 0x2000,
                    sense::kInvalidField, true},
        RefusalCase{"ChunkLengthFieldDiffersFromTransfer", Prepared::Begun, chunkCdb(0), kOut,
                    0x2000, sense::kInvalidField, true},
        RefusalCase{"ChunkToOtherBuffer", Prepared::Begun, chunkCdb(0, 0x4000, 1), kOut, 0x4000,
                    sense::kInvalidField, true},
        RefusalCase{"ChunkWithoutDataOut", Prepared::Begun, chunkCdb(0), DataDirection::In,
                    0x4000, sense::kInvalidField, true},
        RefusalCase{"ChunkPastTheEnd", Prepared::AllChunks, chunkCdb(0x200000), kOut, 0x4000,
                    sense::kInvalidField, true},
        RefusalCase{"CommitBeforeAllChunks", Prepared::TwoChunks, commitCdb(), kNone, 0,
                    sense::kSequenceError, true},
        RefusalCase{"CommitWithoutBegin", Prepared::Nothing, commitCdb(), kNone, 0,
                    sense::kSequenceError, true},
        RefusalCase{"CommitWithoutItsMarker", Prepared::AllChunks, withByte(commitCdb(), 11, 0),
                    kNone, 0, sense::kInvalidField, true},
        RefusalCase{"CommitWithData", Prepared::AllChunks, commitCdb(), kOut, 16,
                    sense::kInvalidField, true},
        RefusalCase{"BeginWithoutItsMarker", Prepared::Begun, withByte(beginCdb(), 9, 0), kNone, 0,
                    sense::kInvalidField, true},
        RefusalCase{"BeginWithData", Prepared::Nothing, beginCdb(), kOut, 16,
                    sense::kInvalidField, true},
        RefusalCase{"OtherWriteBufferMode", Prepared::AllChunks, withByte(commitCdb(), 1, 5), kNone,
                    0, sense::kInvalidField, true},
        RefusalCase{"UnknownOpcode", Prepared::TwoChunks, {0x28, 0, 0, 0, 0, 0, 0, 0, 1, 0},
                    kNone, 0, sense::kInvalidOpcode, false},
        RefusalCase{"ReadBufferOtherMode", Prepared::TwoChunks,
                    drivesim_test::readBufferCdb(0, 0x100, 2), DataDirection::In, 0x100,
                    sense::kInvalidField, false}),
    [](const auto& tp) { return std::string(tp.param.name); });

// ---- READ BUFFER ----

struct ReadCase {
    const char* name;
    std::vector<std::uint8_t> cdb;
    std::uint32_t hostLength;
    std::uint32_t offset;  // where the data should come from
    std::uint32_t expectedTransferred;
    bool refused;  // 05/24/00
};

class TargetReadBuffer : public ::testing::TestWithParam<ReadCase> {};

TEST_P(TargetReadBuffer, ReturnsInstalledFirmwareWithinTheImage) {
    const ReadCase& c = GetParam();
    TargetDrive drive(TargetDriveConfig{}, ManualClock().clock());
    Reply reply = Host(drive).send(c.cdb, DataDirection::In, c.hostLength);
    if (c.refused) {
        EXPECT_TRUE(hasSense(reply, sense::kInvalidField));
        return;
    }
    ASSERT_EQ(summarize(reply), "GOOD");
    ASSERT_EQ(reply.result.transferred, c.expectedTransferred);
    const FirmwareImage& image = defaultInstalledFirmware();
    EXPECT_TRUE(std::equal(reply.data.begin(), reply.data.end(), image.begin() + c.offset));
}

using drivesim_test::readBufferCdb;

INSTANTIATE_TEST_SUITE_P(
    Bounds, TargetReadBuffer,
    ::testing::Values(
        ReadCase{"Start", readBufferCdb(0, 0x100), 0x100, 0, 0x100, false},
        ReadCase{"IdentityBlock", readBufferCdb(0x1EC000, 0x100), 0x100, 0x1EC000, 0x100, false},
        ReadCase{"LastBytes", readBufferCdb(0x1FFF00, 0x100), 0x100, 0x1FFF00, 0x100, false},
        ReadCase{"WholeImage", readBufferCdb(0, 0x200000), 0x200000, 0, 0x200000, false},
        ReadCase{"HostBufferSmaller", readBufferCdb(0x1000, 0x1000), 0x100, 0x1000, 0x100, false},
        ReadCase{"NothingAtTheEnd", readBufferCdb(0x200000, 0), 0, 0, 0, false},
        ReadCase{"OneBytePastTheEnd", readBufferCdb(0x1FFF00, 0x101), 0x101, 0, 0, true},
        ReadCase{"OffsetPastTheEnd", readBufferCdb(0x200000, 1), 1, 0, 0, true},
        ReadCase{"OtherMode", readBufferCdb(0, 0x100, 2), 0x100, 0, 0, true},
        ReadCase{"OtherBuffer", readBufferCdb(0, 0x100, 6, 1), 0x100, 0, 0, true}),
    [](const auto& tp) { return std::string(tp.param.name); });

}  // namespace

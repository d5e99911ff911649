#include "drivesim/command_kind.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using drivesim::CommandKind;

struct KindCase {
    const char* name;
    std::vector<std::uint8_t> cdb;
    CommandKind expected;
};

class ClassifyTest : public ::testing::TestWithParam<KindCase> {};

TEST_P(ClassifyTest, ClassifiesByOpcodeAndBufferMode) {
    const KindCase& c = GetParam();
    EXPECT_EQ(drivesim::classify(c.cdb.data(), c.cdb.size()), c.expected)
        << "got " << drivesim::toString(drivesim::classify(c.cdb.data(), c.cdb.size()));
}

INSTANTIATE_TEST_SUITE_P(
    Cdbs, ClassifyTest,
    ::testing::Values(
        KindCase{"Inquiry", {0x12, 0, 0, 0, 0xC0, 0}, CommandKind::Inquiry},
        KindCase{"TestUnitReady", {0x00, 0, 0, 0, 0, 0}, CommandKind::TestUnitReady},
        KindCase{"StartStopUnit", {0x1B, 0, 0, 0, 2, 0}, CommandKind::StartStopUnit},
        KindCase{"ReadBuffer", {0x3C, 6, 0, 0, 0, 0, 0, 1, 0, 0}, CommandKind::ReadBuffer},
        KindCase{"Begin", {0x3B, 1, 0, 0, 0, 0, 0, 0, 0, 0x0B}, CommandKind::DownloadBegin},
        KindCase{"Chunk", {0x3B, 6, 0, 0, 0, 0, 0, 0x40, 0, 0}, CommandKind::DownloadChunk},
        KindCase{"Commit", {0x3B, 7, 0, 0, 0, 0, 0, 0, 0, 0, 0x1B, 0x12},
                 CommandKind::DownloadCommit},
        // The mode is the low five bits; the upper bits of byte 1 do not change it.
        KindCase{"ChunkWithUpperBits", {0x3B, 0xE6, 0, 0, 0, 0, 0, 0x40, 0, 0},
                 CommandKind::DownloadChunk},
        KindCase{"WriteBufferOtherMode", {0x3B, 5, 0, 0, 0, 0, 0, 0, 0, 0},
                 CommandKind::WriteBuffer},
        KindCase{"WriteBufferWithoutMode", {0x3B}, CommandKind::WriteBuffer},
        KindCase{"RequestSense", {0x03, 0, 0, 0, 18, 0}, CommandKind::Other},
        KindCase{"Read10", {0x28, 0, 0, 0, 0, 0, 0, 0, 1, 0}, CommandKind::Other},
        KindCase{"Empty", {}, CommandKind::Other}),
    [](const auto& tp) { return std::string(tp.param.name); });

}  // namespace

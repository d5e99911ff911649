// Any other optical drive: identifies itself, has no medium, knows no update commands.
#include "drivesim/ordinary_drive.h"

#include <gtest/gtest.h>

#include <string>

#include "drive_host.h"
#include "drivesim/clock.h"

namespace {

using namespace drivesim;
using drivesim_test::Host;
using drivesim_test::Reply;
using drivesim_test::hasSense;
using drivesim_test::summarize;

std::string text(const Reply& reply, std::size_t offset, std::size_t length) {
    return std::string(reinterpret_cast<const char*>(reply.data.data() + offset), length);
}

TEST(OrdinaryDrive, IdentifiesAsAnotherVendor) {
    OrdinaryDrive drive(OrdinaryDriveConfig{}, ManualClock().clock());
    Reply reply = Host(drive).inquiry();
    ASSERT_EQ(reply.result.transferred, 36u);
    EXPECT_EQ(reply.data[0], 0x05);
    EXPECT_EQ(text(reply, 8, 8), "GENERIC ");
    EXPECT_EQ(text(reply, 16, 16), "DVD-RW DRIVE    ");
}

TEST(OrdinaryDrive, IdentityIsConfigurable) {
    OrdinaryDriveConfig config;
    config.identity = Identity{"ZELT", "QX-57N8RW", "2.00", 36};  // a close relative
    OrdinaryDrive drive(config, ManualClock().clock());
    Reply reply = Host(drive).inquiry();
    EXPECT_EQ(text(reply, 8, 24), "ZELT    QX-57N8RW       ");
    EXPECT_EQ(text(reply, 32, 4), "2.00");
}

TEST(OrdinaryDrive, HasNoMedium) {
    OrdinaryDrive drive(OrdinaryDriveConfig{}, ManualClock().clock());
    EXPECT_TRUE(hasSense(Host(drive).testUnitReady(), sense::kNoMedium));
}

class OrdinaryDriveRefuses : public ::testing::TestWithParam<CommandKind> {};

TEST_P(OrdinaryDriveRefuses, AsAnInvalidOpcode) {
    OrdinaryDrive drive(OrdinaryDriveConfig{}, ManualClock().clock());
    EXPECT_TRUE(hasSense(Host(drive).ofKind(GetParam()), sense::kInvalidOpcode));
}

INSTANTIATE_TEST_SUITE_P(Kinds, OrdinaryDriveRefuses,
                         ::testing::Values(CommandKind::StartStopUnit, CommandKind::ReadBuffer,
                                           CommandKind::DownloadBegin, CommandKind::DownloadChunk,
                                           CommandKind::DownloadCommit, CommandKind::WriteBuffer,
                                           CommandKind::Other),
                         [](const auto& tp) { return std::string(toString(tp.param)); });

TEST(OrdinaryDrive, SharesFaultsAndTranscript) {
    OrdinaryDriveConfig config;
    config.faults.commands = {hangFault(CommandKind::Inquiry, 1)};
    config.faults.mediaChangeOffError = 50;
    OrdinaryDrive drive(config, ManualClock().clock());
    Host host(drive);
    EXPECT_EQ(summarize(host.inquiry()), "HUNG");
    EXPECT_EQ(summarize(host.inquiry()), "GOOD");
    EXPECT_EQ(drive.mediaChangeControl(true), 50u);
    EXPECT_EQ(drive.transcript().size(), 3u);
    EXPECT_EQ(drive.commandsReceived(CommandKind::Inquiry), 2u);
}

}  // namespace

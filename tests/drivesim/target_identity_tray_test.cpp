// The target drive's INQUIRY data and its tray over the clock.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "drive_host.h"
#include "drivesim/clock.h"
#include "drivesim/target_drive.h"

namespace {

using namespace drivesim;
using drivesim_test::Host;
using drivesim_test::Reply;
using drivesim_test::hasSense;

std::string text(const Reply& reply, std::size_t offset, std::size_t length) {
    return std::string(reinterpret_cast<const char*>(reply.data.data() + offset), length);
}

TEST(TargetInquiry, StandardDataLayout) {
    TargetDriveConfig config;
    config.identity.revision = "1.0";  // padded to four characters
    TargetDrive drive(config, ManualClock().clock());
    Host host(drive);

    Reply reply = host.inquiry();
    ASSERT_EQ(reply.result.status, kStatusGood);
    ASSERT_EQ(reply.result.transferred, 36u);
    ASSERT_EQ(reply.data.size(), 36u);
    EXPECT_EQ(reply.data[0], 0x05) << "CD/DVD device";
    EXPECT_EQ(reply.data[1] & 0x80, 0x80) << "removable";
    EXPECT_EQ(reply.data[3] & 0x0F, 0x02) << "response data format";
    EXPECT_EQ(reply.data[4], 31) << "additional length";
    EXPECT_EQ(text(reply, 8, 8), "ZELT    ");
    EXPECT_EQ(text(reply, 16, 16), "QX-57N8RV       ");
    EXPECT_EQ(text(reply, 32, 4), "1.0 ");
}

struct LengthCase {
    const char* name;
    std::uint16_t allocation;
    std::uint32_t hostLength;
    std::uint32_t inquiryLength;
    std::uint32_t expectedTransferred;
    std::uint8_t expectedAdditionalLength;
};

class TargetInquiryLength : public ::testing::TestWithParam<LengthCase> {};

TEST_P(TargetInquiryLength, TransfersTheLeastOfAllocationHostBufferAndAvailableData) {
    const LengthCase& c = GetParam();
    TargetDriveConfig config;
    config.identity.inquiryLength = c.inquiryLength;
    TargetDrive drive(config, ManualClock().clock());

    Reply reply = Host(drive).inquiry(c.allocation, c.hostLength);
    ASSERT_EQ(reply.result.status, kStatusGood);
    EXPECT_EQ(reply.result.transferred, c.expectedTransferred);
    if (c.expectedTransferred > 4) {
        EXPECT_EQ(reply.data[4], c.expectedAdditionalLength);
    }
    if (c.expectedTransferred >= 12) {
        EXPECT_EQ(text(reply, 8, 4), "ZELT");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Lengths, TargetInquiryLength,
    ::testing::Values(LengthCase{"Full", 0xC0, 0xC0, 36, 36, 31},
                      LengthCase{"SmallAllocation", 5, 0xC0, 36, 5, 31},
                      LengthCase{"ZeroAllocation", 0, 0xC0, 36, 0, 31},
                      LengthCase{"SmallHostBuffer", 0xC0, 8, 36, 8, 31},
                      // Odd drives end early but still claim the standard length.
                      LengthCase{"ShortData20", 0xC0, 0xC0, 20, 20, 31},
                      LengthCase{"ShortData30", 0xC0, 0xC0, 30, 30, 31},
                      LengthCase{"LongData", 0xC0, 0xC0, 96, 96, 91}),
    [](const auto& tp) { return std::string(tp.param.name); });

TEST(TargetInquiry, RefusesVitalProductDataPages) {
    TargetDrive drive(TargetDriveConfig{}, ManualClock().clock());
    Reply reply = Host(drive).send({0x12, 0x01, 0x80, 0, 0xC0, 0}, DataDirection::In, 0xC0);
    EXPECT_TRUE(hasSense(reply, sense::kInvalidField));
}

class TargetTray : public ::testing::Test {
protected:
    TargetDrive& makeDrive() {
        drive = std::make_unique<TargetDrive>(config, clock.clock());
        host = std::make_unique<Host>(*drive);
        return *drive;
    }
    Reply tur() { return host->testUnitReady(); }

    ManualClock clock{1000};
    TargetDriveConfig config;
    std::unique_ptr<TargetDrive> drive;
    std::unique_ptr<Host> host;
};

TEST_F(TargetTray, OpensOverTrayOpenMsAndClosesOverTrayCloseMs) {
    config.timings.trayOpenMs = 1500;
    config.timings.trayCloseMs = 2500;
    makeDrive();

    EXPECT_TRUE(hasSense(tur(), sense::kNoMedium));
    EXPECT_EQ(host->startStop(2).result.status, kStatusGood);
    EXPECT_TRUE(hasSense(tur(), sense::kBecomingReady));
    clock.advance(1499);
    EXPECT_TRUE(hasSense(tur(), sense::kBecomingReady));
    EXPECT_EQ(drive->tray(), TrayState::Opening);
    clock.advance(1);
    EXPECT_TRUE(hasSense(tur(), sense::kTrayOpen));
    EXPECT_EQ(drive->tray(), TrayState::Open);

    EXPECT_EQ(host->startStop(3).result.status, kStatusGood);
    clock.advance(2499);
    EXPECT_TRUE(hasSense(tur(), sense::kBecomingReady));
    clock.advance(1);
    EXPECT_TRUE(hasSense(tur(), sense::kNoMedium));
    EXPECT_EQ(drive->tray(), TrayState::Closed);
}

TEST_F(TargetTray, ASecondOpenWhileOpeningDoesNotRestartTheMovement) {
    makeDrive();
    host->startStop(2);
    clock.advance(1000);
    host->startStop(2);
    clock.advance(500);
    EXPECT_TRUE(hasSense(tur(), sense::kTrayOpen));
}

TEST_F(TargetTray, ClosingWhileOpeningTurnsTheTrayBack) {
    makeDrive();
    host->startStop(2);
    clock.advance(700);
    host->startStop(3);
    EXPECT_EQ(drive->tray(), TrayState::Closing);
    clock.advance(config.timings.trayCloseMs);
    EXPECT_TRUE(hasSense(tur(), sense::kNoMedium));
}

TEST_F(TargetTray, LoadedMediumIsReadyOnlyWithTheTrayClosed) {
    config.mediumLoaded = true;
    makeDrive();
    EXPECT_EQ(tur().result.status, kStatusGood);
    host->startStop(2);
    clock.advance(config.timings.trayOpenMs);
    EXPECT_TRUE(hasSense(tur(), sense::kTrayOpen));
}

TEST_F(TargetTray, OtherStartStopOperationsAreAcceptedAndLeaveTheTray) {
    makeDrive();
    EXPECT_EQ(host->startStop(1).result.status, kStatusGood);
    EXPECT_EQ(host->startStop(0).result.status, kStatusGood);
    clock.advance(5000);
    EXPECT_EQ(drive->tray(), TrayState::Closed);
}

TEST_F(TargetTray, CanStartOpen) {
    config.initialTray = TrayState::Open;
    makeDrive();
    EXPECT_TRUE(hasSense(tur(), sense::kTrayOpen));
}

}  // namespace

// The pass-through: the handle cache, the sense store, data-in buffers, and how failures
// are reported.
#include <array>
#include <cstring>

#include "drive_fixture.h"
#include "drivesim/hash.h"
#include "win32sim/machine.h"

namespace {

using drivesim::CommandKind;
using win32sim::OpenHandle;

const BYTE kTestUnitReady[CDB_SIZE] = {0x00};
const BYTE kInquiry256[CDB_SIZE] = {0x12, 0, 0, 0x01, 0x00};

class PassThrough : public DriveLayerTest {
protected:
    void SetUp() override {
        DriveLayerTest::SetUp();
        ordinary = machine->addOrdinary('E');
        target = machine->addTarget('G', targetConfig());
        ASSERT_EQ(findDrives(), 2);
    }
    virtual drivesim::TargetDriveConfig targetConfig() { return {}; }

    static BYTE testUnitReady(BYTE index) {
        return IssueCommand(index, kTestUnitReady, nullptr, 0, DIRECTION_IN, 5);
    }
    static BYTE readFirmware(BYTE index, BYTE* buffer, DWORD length) {
        BYTE cdb[CDB_SIZE] = {0x3C, 0x06, 0x00, 0x1E, 0xC0, 0x00,
                              static_cast<BYTE>(length >> 16), static_cast<BYTE>(length >> 8),
                              static_cast<BYTE>(length)};
        return IssueCommand(index, cdb, buffer, length, DIRECTION_IN, 60);
    }

    std::shared_ptr<drivesim::OrdinaryDrive> ordinary;
    std::shared_ptr<drivesim::TargetDrive> target;
};

TEST_F(PassThrough, CommandsToOneDriveOpenItOnce) {
    testUnitReady(1);
    testUnitReady(1);
    EXPECT_EQ(machine->machine().openCount('G'), 1);
    EXPECT_EQ(target->transcript().commands().size(), 2u);
    EXPECT_EQ(g_DeviceDriveIndex, 1);
}

TEST_F(PassThrough, SwitchingDrivesClosesTheFirstHandle) {
    testUnitReady(0);
    testUnitReady(1);
    auto open = machine->machine().openHandles();
    ASSERT_EQ(open.size(), 1u);
    EXPECT_EQ(open[0].letter, 'G');
    EXPECT_EQ(open[0].access, GENERIC_READ | GENERIC_WRITE);
    EXPECT_EQ(machine->machine().openCount('E'), 1);

    testUnitReady(0);
    EXPECT_EQ(machine->machine().openCount('E'), 2) << "switching back opens E: again";
    EXPECT_EQ(machine->machine().openHandles().size(), 1u);
}

TEST_F(PassThrough, CheckConditionFillsTheSenseStoreUntilTheNextCommand) {
    EXPECT_FALSE(testUnitReady(1));  // tray closed, no medium
    EXPECT_EQ(g_SenseData[0] & 0x7F, 0x70);
    EXPECT_EQ(g_SenseData[2], 0x02);
    EXPECT_EQ(g_SenseData[12], 0x3A);
    EXPECT_EQ(g_SenseData[13], 0x01);

    std::array<BYTE, 256> block{};
    EXPECT_TRUE(readFirmware(1, block.data(), block.size()));
    EXPECT_TRUE(senseIsZero()) << "cleared before the command that then succeeded";
    EXPECT_EQ(std::string(reinterpret_cast<char*>(block.data()) + 70, 3), "KT8");
}

TEST_F(PassThrough, SenseStoreIsZeroAfterAFailedOpen) {
    testing_support::resetDriveLayer();
    drivesim::OrdinaryDriveConfig locked;
    locked.faults.denyOpen = {1, drivesim::kEveryLater, drivesim::win_error::kAccessDenied};
    machine->addOrdinary('E', locked);
    findDrives();
    std::memset(g_SenseData, 0xEE, sizeof g_SenseData);

    EXPECT_FALSE(testUnitReady(0));
    EXPECT_TRUE(senseIsZero());
    EXPECT_EQ(g_hDevice, INVALID_HANDLE_VALUE);
    EXPECT_EQ(g_DeviceDriveIndex, NO_DRIVE);
    ASSERT_EQ(win32sim::messageBoxes().size(), 1u);
    const auto box = win32sim::messageBoxes()[0];
    EXPECT_EQ(box.text, "Error occur during getting the handle of Device\nError Code 5");
    EXPECT_EQ(box.caption, "ERROR");
    EXPECT_EQ(box.style, static_cast<UINT>(MB_OK));
    EXPECT_EQ(box.owner, nullptr);

    EXPECT_FALSE(testUnitReady(0));
    EXPECT_EQ(win32sim::messageBoxes().size(), 2u) << "every command fails after its own box";
}

TEST_F(PassThrough, FailedCallsShowTheirErrorAndKeepTheHandle) {
    struct Case {
        drivesim::CommandFault fault;
        const char* text;
    } cases[] = {
        {drivesim::passThroughFault(CommandKind::TestUnitReady, 1, 1117),
         "DeviceIoControl Error: Error Code 1117\nI can't issue Command through SPTI"},
        {drivesim::hangFault(CommandKind::TestUnitReady, 1),
         "DeviceIoControl Error: Error Code 121\nI can't issue Command through SPTI"},
    };
    for (const auto& c : cases) {
        testing_support::resetStandIn();
        testing_support::resetDriveLayer();
        machine = std::make_unique<testing_support::EmulatedMachine>();
        drivesim::TargetDriveConfig config;
        config.faults.commands = {c.fault};
        machine->addTarget('E', config);
        findDrives();
        std::memset(g_SenseData, 0xEE, sizeof g_SenseData);

        EXPECT_FALSE(testUnitReady(0)) << c.text;
        EXPECT_TRUE(senseIsZero()) << c.text;
        EXPECT_EQ(boxTexts(), std::vector<std::string>{c.text});
        EXPECT_EQ(win32sim::messageBoxes()[0].caption, "ERROR");
        EXPECT_EQ(g_DeviceDriveIndex, 0) << "the handle stays cached";
        EXPECT_TRUE(testUnitReady(0) || !senseIsZero()) << "the next command reaches the drive";
        EXPECT_EQ(machine->machine().openCount('E'), 1);
    }
}

TEST_F(PassThrough, ALetterThatIsNoLongerOpticalFailsQuietly) {
    machine->machine().setDrive('G', win32sim::DriveKind::None);
    EXPECT_FALSE(testUnitReady(1));
    EXPECT_TRUE(win32sim::messageBoxes().empty());
    EXPECT_EQ(win32sim::debugOutput(),
              std::vector<std::string>{"\n ExecATAPICommand: This Drive is not Optical Device Drive\n"});
    EXPECT_EQ(g_DeviceDriveIndex, NO_DRIVE);
}

TEST_F(PassThrough, IndexesOutsideTheTableAreNotDrives) {
    for (BYTE index : {BYTE{2}, BYTE{8}, BYTE{NO_DRIVE}}) {
        win32sim::clearDebugOutput();
        EXPECT_FALSE(testUnitReady(index)) << int(index);
        EXPECT_EQ(win32sim::debugOutput().size(), 1u) << int(index);
    }
    EXPECT_TRUE(win32sim::messageBoxes().empty());
    EXPECT_TRUE(machine->machine().openHandles().empty());
}

TEST_F(PassThrough, DataInBuffersAreZeroedBeforeTheCommand) {
    std::array<BYTE, 256> buffer;
    buffer.fill(0xAA);
    EXPECT_FALSE(readFirmware(0, buffer.data(), buffer.size()));  // the ordinary drive refuses
    for (BYTE b : buffer) ASSERT_EQ(b, 0);

    buffer.fill(0xAA);
    EXPECT_TRUE(IssueCommand(1, kInquiry256, buffer.data(), buffer.size(), DIRECTION_IN, 2));
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer.data()) + 8, 4), "ZELT");
    for (std::size_t i = 36; i < buffer.size(); ++i) ASSERT_EQ(buffer[i], 0) << i;
}

TEST_F(PassThrough, DataOutBuffersAreSentUnchanged) {
    std::array<BYTE, 16> data;
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<BYTE>(i + 1);
    const BYTE cdb[CDB_SIZE] = {0x3B, 0x05, 0, 0, 0, 0, 0, 0, 16};
    IssueCommand(1, cdb, data.data(), data.size(), DIRECTION_OUT, 60);
    auto sent = target->transcript().commands().back();
    EXPECT_EQ(sent.direction, drivesim::DataDirection::Out);
    EXPECT_EQ(sent.length, 16u);
    EXPECT_EQ(sent.dataOutHash, drivesim::fnv1a64(data.data(), data.size()));
    EXPECT_EQ(data[15], 16) << "the caller's data is not touched";
}

}  // namespace

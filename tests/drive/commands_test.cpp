// The drive command set: the exact bytes, direction, length and time-out of every command,
// and the identification's handling of odd answers.
#include <array>
#include <functional>
#include <string>

#include "drive_fixture.h"

namespace {

using drivesim::DataDirection;

class DriveCommands : public DriveLayerTest {
protected:
    void SetUp() override {
        DriveLayerTest::SetUp();
        machine->addOrdinary('E');
        target = machine->addTarget('G');
        ASSERT_EQ(findDrives(), 2);
        g_SelectedDrive = 1;
    }

    drivesim::TranscriptEntry lastCommand() const {
        auto commands = target->transcript().commands();
        return commands.empty() ? drivesim::TranscriptEntry{} : commands.back();
    }

    std::shared_ptr<drivesim::TargetDrive> target;
};

std::string hex(const std::vector<std::uint8_t>& bytes) {
    std::string text;
    char part[4];
    for (std::uint8_t b : bytes) {
        std::snprintf(part, sizeof part, "%02X ", b);
        text += part;
    }
    if (!text.empty()) text.pop_back();
    return text;
}

TEST_F(DriveCommands, EachCommandSendsItsExactRequest) {
    // Large enough for the longest transfer below: the length keeps all 32 bits.
    static std::vector<BYTE> data(0x01000010);
    struct Case {
        const char* name;
        std::function<BYTE()> send;
        const char* cdb;
        DataDirection direction;
        std::uint32_t length;
        std::uint32_t timeout;
    } cases[] = {
        {"TestUnitReady", [] { return TestUnitReady(); },
         "00 00 00 00 00 00 00 00 00 00 00 00", DataDirection::In, 0, 5},
        {"StartStopUnit open", [] { return StartStopUnit(TRAY_OPEN); },
         "1B 00 00 00 02 00 00 00 00 00 00 00", DataDirection::In, 0, 60},
        {"StartStopUnit close", [] { return StartStopUnit(TRAY_CLOSE); },
         "1B 00 00 00 03 00 00 00 00 00 00 00", DataDirection::In, 0, 60},
        {"ReadBuffer identity block", [] { return ReadBuffer(6, 0, 0x1EC000, 256, data.data()); },
         "3C 06 00 1E C0 00 00 01 00 00 00 00", DataDirection::In, 256, 60},
        {"ReadBuffer drops the top byte",
         [] { return ReadBuffer(2, 7, 0xAB123456, 0x01000010, data.data()); },
         "3C 02 07 12 34 56 00 00 10 00 00 00", DataDirection::In, 0x01000010, 60},
        {"BeginDownload", [] { return BeginDownload(); },
         "3B 01 00 00 00 00 00 00 00 0B 00 00", DataDirection::Out, 0, 60},
        {"WriteBuffer last chunk",
         [] { return WriteBuffer(6, 0, 0x200000 - 0x4000, 0x4000, data.data()); },
         "3B 06 00 1F C0 00 00 40 00 00 00 00", DataDirection::Out, 0x4000, 60},
        {"CommitDownload", [] { return CommitDownload(); },
         "3B 07 00 00 00 00 00 00 00 00 1B 12", DataDirection::Out, 0, 60},
    };
    for (const auto& c : cases) {
        std::size_t before = target->transcript().commands().size();
        c.send();
        ASSERT_EQ(target->transcript().commands().size(), before + 1) << c.name;
        auto sent = lastCommand();
        EXPECT_EQ(hex(sent.cdb), c.cdb) << c.name;
        EXPECT_EQ(sent.direction, c.direction) << c.name;
        EXPECT_EQ(sent.length, c.length) << c.name;
        EXPECT_EQ(sent.timeoutSeconds, c.timeout) << c.name;
    }
}

TEST_F(DriveCommands, CommandsGoToTheSelectedDrive) {
    g_SelectedDrive = 0x100;  // only the low 8 bits name the drive
    TestUnitReady();
    EXPECT_EQ(target->transcript().commands().size(), 0u);
    EXPECT_EQ(g_DeviceDriveIndex, 0);
}

TEST_F(DriveCommands, ResultsFollowTheStatus) {
    std::array<BYTE, 256> block{};
    EXPECT_TRUE(ReadBuffer(6, 0, 0x1EC000, 256, block.data()));
    EXPECT_FALSE(TestUnitReady()) << "no medium: CHECK CONDITION";
    EXPECT_FALSE(CommitDownload()) << "nothing downloaded";
    EXPECT_EQ(g_SenseData[2], 0x05);
}

TEST_F(DriveCommands, IdentificationGivesTheTwentyEightCharacters) {
    char name[128];
    std::memset(name, 'x', sizeof name);
    GetDeviceName(1, name);
    EXPECT_STREQ(name, "ZELT    QX-57N8RV       1.00");
    auto sent = lastCommand();
    EXPECT_EQ(hex(sent.cdb), "12 00 00 00 C0 00");
    EXPECT_EQ(sent.direction, DataDirection::In);
    EXPECT_EQ(sent.length, 192u);
    EXPECT_EQ(sent.timeoutSeconds, 2u);
}

TEST_F(DriveCommands, IdentificationLeavesTheSenseStoreAlone) {
    std::memset(g_SenseData, 0x5A, sizeof g_SenseData);
    char name[128];
    GetDeviceName(1, name);
    EXPECT_EQ(g_SenseData[0], 0x5A);
}

class OddIdentification : public DriveLayerTest {};

TEST_F(OddIdentification, CheckConditionGivesAnEmptyTextAndADebuggerLine) {
    drivesim::TargetDriveConfig config;
    config.faults.commands = {drivesim::checkConditionFault(drivesim::CommandKind::Inquiry, 1,
                                                            {0x06, 0x29, 0x00})};
    machine->addTarget('E', config);
    findDrives();
    char name[128];
    std::memset(name, 'x', sizeof name);
    GetDeviceName(0, name);
    EXPECT_STREQ(name, "");
    EXPECT_EQ(win32sim::debugOutput(),
              std::vector<std::string>{"\n GetDeviceName: Command complete with error\n"});
    EXPECT_TRUE(win32sim::messageBoxes().empty());
}

TEST_F(OddIdentification, ShortDataGivesAShorterText) {
    struct Case {
        std::uint32_t inquiryLength;
        const char* text;
    } cases[] = {
        {30, "ZELT    QX-57N8RV     "},  // bytes 8 to 29
        {20, "ZELT    QX-5"},
        {8, ""},
    };
    for (const auto& c : cases) {
        testing_support::resetDriveLayer();
        drivesim::TargetDriveConfig config;
        config.identity.inquiryLength = c.inquiryLength;
        machine->addTarget('E', config);
        findDrives();
        char name[128];
        GetDeviceName(0, name);
        EXPECT_STREQ(name, c.text) << c.inquiryLength;
    }
}

TEST_F(OddIdentification, FailedOpenGivesAnEmptyTextAfterTheErrorBox) {
    drivesim::TargetDriveConfig config;
    config.faults.denyOpen = {1, drivesim::kEveryLater, drivesim::win_error::kAccessDenied};
    machine->addTarget('E', config);
    findDrives();
    char name[128] = "stale";
    GetDeviceName(0, name);
    EXPECT_STREQ(name, "");
    EXPECT_EQ(boxTexts(), std::vector<std::string>{
                              "Error occur during getting the handle of Device\nError Code 5"});
}

}  // namespace

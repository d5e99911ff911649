// The media change notification switch: its own handle, opened with attribute access only,
// kept per drive, and failing quietly.
#include "drive_fixture.h"

namespace {

class MediaNotify : public DriveLayerTest {
protected:
    void SetUp() override {
        DriveLayerTest::SetUp();
        ordinary = machine->addOrdinary('E');
        target = machine->addTarget('G');
        ASSERT_EQ(findDrives(), 2);
    }

    static std::vector<bool> switches(const drivesim::EmulatedDrive& drive) {
        std::vector<bool> offs;
        for (const auto& s : drive.mediaChangeHistory()) offs.push_back(s.pollingOff);
        return offs;
    }

    std::shared_ptr<drivesim::OrdinaryDrive> ordinary;
    std::shared_ptr<drivesim::TargetDrive> target;
};

TEST_F(MediaNotify, OffAndOnAgainUseOneHandleWithAttributeAccess) {
    EXPECT_EQ(SetMediaChangeNotify(1, 1), 1);
    EXPECT_TRUE(target->mediaPollingOff());
    EXPECT_EQ(SetMediaChangeNotify(1, 0), 1);
    EXPECT_FALSE(target->mediaPollingOff());
    EXPECT_EQ(switches(*target), (std::vector<bool>{true, false}));

    EXPECT_EQ(machine->machine().openCount('G'), 1);
    auto open = machine->machine().openHandles();
    ASSERT_EQ(open.size(), 1u);
    EXPECT_EQ(open[0].access, static_cast<DWORD>(FILE_READ_ATTRIBUTES));
    EXPECT_EQ(g_NotifyDriveIndex, 1);
}

TEST_F(MediaNotify, ItsHandleIsSeparateFromThePassThroughHandle) {
    g_SelectedDrive = 1;
    TestUnitReady();
    SetMediaChangeNotify(1, 1);
    TestUnitReady();
    EXPECT_EQ(machine->machine().openCount('G'), 2);
    EXPECT_EQ(machine->machine().openHandles().size(), 2u);
}

TEST_F(MediaNotify, AnotherDriveReplacesTheHandle) {
    SetMediaChangeNotify(1, 1);
    SetMediaChangeNotify(0, 0);
    auto open = machine->machine().openHandles();
    ASSERT_EQ(open.size(), 1u);
    EXPECT_EQ(open[0].letter, 'E');
    EXPECT_EQ(switches(*ordinary), std::vector<bool>{false});
}

TEST_F(MediaNotify, AMissingLetterFailsQuietlyAndCachesNothing) {
    SetMediaChangeNotify(0, 1);
    machine->machine().setDrive('G', win32sim::DriveKind::None);
    EXPECT_EQ(SetMediaChangeNotify(1, 0), 0);
    EXPECT_EQ(g_hNotifyDevice, INVALID_HANDLE_VALUE);
    EXPECT_EQ(g_NotifyDriveIndex, NO_DRIVE);
    EXPECT_TRUE(machine->machine().openHandles().empty()) << "the E: handle was replaced";
    EXPECT_TRUE(win32sim::messageBoxes().empty());
    EXPECT_EQ(win32sim::debugOutput(),
              std::vector<std::string>{"Error occur during getting the handle of Device\nError Code 2"});
}

TEST_F(MediaNotify, ACachedHandleIsUsedWithoutReopening) {
    SetMediaChangeNotify(1, 1);
    machine->machine().setDrive('G', win32sim::DriveKind::None);
    SetMediaChangeNotify(1, 0);  // the control fails: the drive is no longer there
    EXPECT_EQ(machine->machine().openCount('G'), 1);
    EXPECT_EQ(g_NotifyDriveIndex, 1) << "the handle stays cached";
    EXPECT_NE(g_hNotifyDevice, INVALID_HANDLE_VALUE);
}

TEST_F(MediaNotify, AFailingControlReportsOnlyToTheDebugger) {
    testing_support::resetDriveLayer();
    drivesim::TargetDriveConfig config;
    config.faults.mediaChangeOnError = drivesim::win_error::kNotSupported;
    machine->addTarget('G', config);
    findDrives();
    EXPECT_EQ(SetMediaChangeNotify(1, 1), 1);
    EXPECT_EQ(SetMediaChangeNotify(1, 0), 0);
    EXPECT_TRUE(win32sim::messageBoxes().empty());
    EXPECT_EQ(win32sim::debugOutput(),
              std::vector<std::string>{
                  "DeviceIoControl Error: Error Code 50\n I can't stop(or do) issuing GESN from Window"});
}

TEST_F(MediaNotify, AnIndexOutsideTheTableFailsQuietly) {
    EXPECT_EQ(SetMediaChangeNotify(NO_DRIVE, 0), 0);
    EXPECT_EQ(g_NotifyDriveIndex, NO_DRIVE);
    EXPECT_TRUE(win32sim::messageBoxes().empty());
}

}  // namespace

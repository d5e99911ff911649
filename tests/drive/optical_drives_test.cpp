// The optical drive table: which letters become drive indexes.
#include "drive_fixture.h"

namespace {

using win32sim::DriveKind;

class OpticalDriveTable : public DriveLayerTest {
protected:
    std::string table() const {
        std::string letters;
        for (BYTE letter : g_DriveLetters) letters += letter ? static_cast<char>(letter) : '0';
        return letters;
    }
};

TEST_F(OpticalDriveTable, NoOpticalDrivesGiveAnEmptyTable) {
    g_DriveLetters[3] = 'X';  // left over from an earlier scan
    EXPECT_EQ(findDrives(), 0);
    EXPECT_EQ(table(), "00000000");
}

TEST_F(OpticalDriveTable, DrivesAreIndexedInLetterOrder) {
    machine->addOrdinary('G');
    machine->addTarget('E');
    EXPECT_EQ(findDrives(), 2);
    EXPECT_EQ(table(), "EG000000");
}

TEST_F(OpticalDriveTable, LettersOfOtherTypesAreSkipped) {
    machine->addOther('A', DriveKind::Removable);
    machine->addOrdinary('D');
    machine->addOther('F', DriveKind::Network);
    machine->addOther('H', DriveKind::RamDisk);
    machine->addTarget('Z');
    EXPECT_EQ(findDrives(), 2);
    EXPECT_EQ(table(), "DZ000000");
}

TEST_F(OpticalDriveTable, AnOpticalLetterWhoseDriveIsAbsentIsSkipped) {
    drivesim::OrdinaryDriveConfig absent;
    absent.faults.absent = true;
    machine->addOrdinary('D', absent);
    machine->addTarget('E');
    EXPECT_EQ(findDrives(), 1);
    EXPECT_EQ(table(), "E0000000");
}

TEST_F(OpticalDriveTable, MoreThanEightDrivesKeepTheFirstEight) {
    for (char letter = 'D'; letter <= 'P'; ++letter) machine->addOrdinary(letter);
    EXPECT_EQ(findDrives(), 8);
    EXPECT_EQ(table(), "DEFGHIJK");
}

TEST_F(OpticalDriveTable, DriveLetterIsBoundedByTheTable) {
    machine->addTarget('E');
    findDrives();
    EXPECT_EQ(DriveLetter(0), 'E');
    EXPECT_EQ(DriveLetter(1), 0);
    EXPECT_EQ(DriveLetter(8), 0);
    EXPECT_EQ(DriveLetter(NO_DRIVE), 0);
}

}  // namespace

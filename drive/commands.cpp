// The drive command set: identification, and the six commands the update sends to the
// selected drive through IssueCommand.
#include "drive.h"

#include <string.h>

DWORD g_SelectedDrive = 0;

#define INQUIRY_CDB_SIZE 6
#define INQUIRY_LENGTH 0xC0
#define INQUIRY_BUFFER_SIZE 200
#define IDENTITY_TEXT_OFFSET 8

#define TIMEOUT_INQUIRY 2
#define TIMEOUT_TEST_UNIT_READY 5
#define TIMEOUT_LONG 60

static BYTE SelectedDriveIndex(void) { return (BYTE)(g_SelectedDrive & 0xFF); }

// Places the low 24 bits of a value in three CDB bytes, most significant first.
static void Put24(BYTE* bytes, DWORD value) {
    bytes[0] = (BYTE)((value >> 16) & 0xFF);
    bytes[1] = (BYTE)((value >> 8) & 0xFF);
    bytes[2] = (BYTE)(value & 0xFF);
}

void GetDeviceName(BYTE DriveIndex, char* DeviceName) {
    BYTE buffer[INQUIRY_BUFFER_SIZE];
    SPTD_WITH_SENSE sptwb;

    memset(buffer, 0, sizeof(buffer));
    DeviceName[0] = '\0';

    PrepareRequest(&sptwb, INQUIRY_CDB_SIZE, SCSI_IOCTL_DATA_IN, buffer, INQUIRY_LENGTH,
                   TIMEOUT_INQUIRY);
    sptwb.sptd.Cdb[0] = 0x12;
    sptwb.sptd.Cdb[4] = INQUIRY_LENGTH;

    if (!ExecATAPICommand(DriveIndex, &sptwb)) return;
    if (sptwb.sptd.ScsiStatus != 0) {
        OutputDebugStringA("\n GetDeviceName: Command complete with error\n");
        return;
    }
    // Vendor, product and revision as the drive pads them; bytes the drive did not send
    // are still zero and end the text early.
    memcpy(DeviceName, buffer + IDENTITY_TEXT_OFFSET, IDENTITY_TEXT_LENGTH);
    DeviceName[IDENTITY_TEXT_LENGTH] = '\0';
}

BYTE TestUnitReady(void) {
    BYTE byCDB[CDB_SIZE];
    memset(byCDB, 0, sizeof(byCDB));
    byCDB[0] = 0x00;
    return IssueCommand(SelectedDriveIndex(), byCDB, NULL, 0, DIRECTION_IN,
                        TIMEOUT_TEST_UNIT_READY);
}

BYTE StartStopUnit(BYTE Operation) {
    BYTE byCDB[CDB_SIZE];
    memset(byCDB, 0, sizeof(byCDB));
    byCDB[0] = 0x1B;
    byCDB[4] = Operation;
    return IssueCommand(SelectedDriveIndex(), byCDB, NULL, 0, DIRECTION_IN, TIMEOUT_LONG);
}

// READ BUFFER and WRITE BUFFER: mode, buffer id, 24-bit offset and length.
static BYTE BufferCommand(BYTE OperationCode, BYTE Mode, BYTE BufferId, DWORD Offset,
                          DWORD Length, BYTE* Data, BYTE Direction) {
    BYTE byCDB[CDB_SIZE];
    memset(byCDB, 0, sizeof(byCDB));
    byCDB[0] = OperationCode;
    byCDB[1] = Mode;
    byCDB[2] = BufferId;
    Put24(byCDB + 3, Offset);
    Put24(byCDB + 6, Length);
    return IssueCommand(SelectedDriveIndex(), byCDB, Data, Length, Direction, TIMEOUT_LONG);
}

BYTE ReadBuffer(BYTE Mode, BYTE BufferId, DWORD Offset, DWORD Length, BYTE* Data) {
    return BufferCommand(0x3C, Mode, BufferId, Offset, Length, Data, DIRECTION_IN);
}

BYTE WriteBuffer(BYTE Mode, BYTE BufferId, DWORD Offset, DWORD Length, BYTE* Data) {
    return BufferCommand(0x3B, Mode, BufferId, Offset, Length, Data, DIRECTION_OUT);
}

BYTE BeginDownload(void) {
    BYTE byCDB[CDB_SIZE];
    memset(byCDB, 0, sizeof(byCDB));
    byCDB[0] = 0x3B;
    byCDB[1] = 0x01;
    byCDB[9] = 0x0B;
    return IssueCommand(SelectedDriveIndex(), byCDB, NULL, 0, DIRECTION_OUT, TIMEOUT_LONG);
}

BYTE CommitDownload(void) {
    BYTE byCDB[CDB_SIZE];
    memset(byCDB, 0, sizeof(byCDB));
    byCDB[0] = 0x3B;
    byCDB[1] = 0x07;
    byCDB[10] = 0x1B;
    byCDB[11] = 0x12;
    return IssueCommand(SelectedDriveIndex(), byCDB, NULL, 0, DIRECTION_OUT, TIMEOUT_LONG);
}

// Drive access: the optical drive table, the SCSI pass-through, the drive command set and
// the media change notification switch.
//
// A drive is named everywhere by its drive index, its position in g_DriveLetters.
#ifndef DRIVE_DRIVE_H
#define DRIVE_DRIVE_H

#include <windows.h>
#include <winioctl.h>
#include <ntddscsi.h>

#include <stddef.h>

#define MAX_OPTICAL_DRIVES 8
#define NO_DRIVE 0xFF

#define CDB_SIZE 12
#define SENSE_DATA_SIZE 24
#define SENSE_BUFFER_SIZE 32

// Fixed-format sense data as read by the update.
#define SENSE_KEY_BYTE 2
#define SENSE_INFORMATION_BYTE 3
#define SENSE_ASC_BYTE 12
#define SENSE_ASCQ_BYTE 13

// Identity text: vendor (8), product (16) and revision (4) as the drive pads them.
#define IDENTITY_TEXT_LENGTH 28

// Data phase direction given to IssueCommand.
#define DIRECTION_OUT 0
#define DIRECTION_IN 1

// START STOP UNIT operations: load/eject with start clear (open the tray) or set (close it).
#define TRAY_OPEN 2
#define TRAY_CLOSE 3

// The request block handed to the pass-through control: the platform's request followed
// by a sense buffer that the drive's sense data lands in.
typedef struct _SPTD_WITH_SENSE {
    SCSI_PASS_THROUGH_DIRECT sptd;
    ULONG Filler;
    UCHAR ucSenseBuf[SENSE_BUFFER_SIZE];
} SPTD_WITH_SENSE;

// The 32-bit Windows layout: 80 bytes with the sense buffer at 48.
static_assert(sizeof(void*) != 4 || sizeof(SPTD_WITH_SENSE) == 80,
              "the 32-bit request block must be 80 bytes");
static_assert(sizeof(void*) != 4 || offsetof(SPTD_WITH_SENSE, ucSenseBuf) == 48,
              "the 32-bit request block must have its sense buffer at 48");

// Optical drive table: letters of the optical drives found, by drive index; 0 = none.
extern BYTE g_DriveLetters[MAX_OPTICAL_DRIVES];

// Sense data of the last command sent through IssueCommand, when it ended with a non-zero
// SCSI status; all zero after any other outcome.
extern BYTE g_SenseData[SENSE_DATA_SIZE];

// Pass-through handle cache: one device handle, for the drive index it was opened for.
extern HANDLE g_hDevice;
extern BYTE g_DeviceDriveIndex;

// Media change notification handle cache, opened with attribute access only.
extern HANDLE g_hNotifyDevice;
extern BYTE g_NotifyDriveIndex;

// Drive index every command but the identification is sent to (low 8 bits are used).
extern DWORD g_SelectedDrive;

BYTE FindOpticalDrives(void);
// Letter of a drive index; 0 for an index outside the table or an empty position.
char DriveLetter(BYTE DriveIndex);

// Clears the request block and fills it for one command: CDB length, direction
// (SCSI_IOCTL_DATA_IN or _OUT), data buffer (none when the length is 0) and time-out.
void PrepareRequest(SPTD_WITH_SENSE* sptwb, BYTE CdbLength, BYTE DataIn, BYTE* DataBuffer,
                    DWORD DataLength, BYTE TimeOut);
BYTE ExecATAPICommand(BYTE DriveIndex, SPTD_WITH_SENSE* sptwb);
BYTE IssueCommand(BYTE DriveIndex, const BYTE* byCDB, BYTE* DataBuffer, DWORD DataLength,
                  BYTE Direction, BYTE TimeOut);

void GetDeviceName(BYTE DriveIndex, char* DeviceName);
BYTE TestUnitReady(void);
BYTE StartStopUnit(BYTE Operation);
BYTE ReadBuffer(BYTE Mode, BYTE BufferId, DWORD Offset, DWORD Length, BYTE* Data);
BYTE WriteBuffer(BYTE Mode, BYTE BufferId, DWORD Offset, DWORD Length, BYTE* Data);
BYTE BeginDownload(void);
BYTE CommitDownload(void);

BYTE SetMediaChangeNotify(BYTE DriveIndex, BYTE Disable);

#endif

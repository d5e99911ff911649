// The SCSI pass-through: one request block to one drive and back, through the cached
// device handle of that drive.
#include "drive.h"

#include <stdio.h>
#include <string.h>

BYTE g_SenseData[SENSE_DATA_SIZE];
HANDLE g_hDevice = INVALID_HANDLE_VALUE;
BYTE g_DeviceDriveIndex = NO_DRIVE;

// Makes sure g_hDevice is open for the drive; reports an open failure itself.
static BYTE OpenDevice(BYTE DriveIndex) {
    char driveRootDir[10];
    char szDevicePath[10];
    char szTemp[100];
    char letter = DriveLetter(DriveIndex);

    if (g_hDevice != INVALID_HANDLE_VALUE && g_DeviceDriveIndex == DriveIndex) return 1;
    if (g_hDevice != INVALID_HANDLE_VALUE) {
        CloseHandle(g_hDevice);
        g_hDevice = INVALID_HANDLE_VALUE;
    }

    memset(driveRootDir, 0, sizeof(driveRootDir));
    snprintf(driveRootDir, sizeof(driveRootDir), "%c:\\", letter);
    if (letter == 0 || GetDriveTypeA(driveRootDir) != DRIVE_CDROM) {
        OutputDebugStringA("\n ExecATAPICommand: This Drive is not Optical Device Drive\n");
        g_DeviceDriveIndex = NO_DRIVE;
        return 0;
    }

    memset(szDevicePath, 0, sizeof(szDevicePath));
    snprintf(szDevicePath, sizeof(szDevicePath), "\\\\.\\%c:", letter);
    g_hDevice = CreateFileA(szDevicePath, GENERIC_READ | GENERIC_WRITE,
                            FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, NULL);
    if (g_hDevice == INVALID_HANDLE_VALUE) {
        int error = (int)GetLastError();
        memset(szTemp, 0, sizeof(szTemp));
        snprintf(szTemp, sizeof(szTemp),
                 "Error occur during getting the handle of Device\nError Code %d", error);
        MessageBoxA(NULL, szTemp, "ERROR", MB_OK);
        g_DeviceDriveIndex = NO_DRIVE;
        return 0;
    }
    return 1;
}

void PrepareRequest(SPTD_WITH_SENSE* sptwb, BYTE CdbLength, BYTE DataIn, BYTE* DataBuffer,
                    DWORD DataLength, BYTE TimeOut) {
    memset(sptwb, 0, sizeof(*sptwb));
    sptwb->sptd.Length = sizeof(SCSI_PASS_THROUGH_DIRECT);
    sptwb->sptd.PathId = 0;
    sptwb->sptd.TargetId = 0;
    sptwb->sptd.Lun = 0;
    sptwb->sptd.CdbLength = CdbLength;
    sptwb->sptd.SenseInfoLength = SENSE_DATA_SIZE;
    sptwb->sptd.SenseInfoOffset = offsetof(SPTD_WITH_SENSE, ucSenseBuf);
    sptwb->sptd.DataIn = DataIn;
    sptwb->sptd.DataBuffer = DataLength != 0 ? DataBuffer : NULL;
    sptwb->sptd.DataTransferLength = DataLength;
    sptwb->sptd.TimeOutValue = TimeOut;
}

BYTE ExecATAPICommand(BYTE DriveIndex, SPTD_WITH_SENSE* sptwb) {
    char szTemp[100];
    DWORD returned = 0;

    if (!OpenDevice(DriveIndex)) return 0;
    g_DeviceDriveIndex = DriveIndex;

    if (!DeviceIoControl(g_hDevice, IOCTL_SCSI_PASS_THROUGH_DIRECT, sptwb,
                         sizeof(SPTD_WITH_SENSE), sptwb, sizeof(SPTD_WITH_SENSE), &returned,
                         NULL)) {
        int error = (int)GetLastError();
        memset(szTemp, 0, sizeof(szTemp));
        snprintf(szTemp, sizeof(szTemp),
                 "DeviceIoControl Error: Error Code %d\nI can't issue Command through SPTI",
                 error);
        MessageBoxA(NULL, szTemp, "ERROR", MB_OK);
        return 0;
    }
    return 1;
}

BYTE IssueCommand(BYTE DriveIndex, const BYTE* byCDB, BYTE* DataBuffer, DWORD DataLength,
                  BYTE Direction, BYTE TimeOut) {
    SPTD_WITH_SENSE sptwb;

    memset(g_SenseData, 0, sizeof(g_SenseData));

    // Whatever the drive does not send of a data-in transfer reads as zero.
    if (Direction == DIRECTION_IN && DataLength != 0) memset(DataBuffer, 0, DataLength);
    PrepareRequest(&sptwb, CDB_SIZE,
                   Direction == DIRECTION_IN ? SCSI_IOCTL_DATA_IN : SCSI_IOCTL_DATA_OUT,
                   DataBuffer, DataLength, TimeOut);
    memcpy(sptwb.sptd.Cdb, byCDB, CDB_SIZE);

    if (!ExecATAPICommand(DriveIndex, &sptwb)) return 0;
    if (sptwb.sptd.ScsiStatus != 0) {
        memcpy(g_SenseData, sptwb.ucSenseBuf, SENSE_DATA_SIZE);
        return 0;
    }
    return 1;
}

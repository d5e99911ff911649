// The media change notification switch: stops (and restarts) the system's own media
// polling of a drive while the drive is being updated. It keeps its own device handle,
// opened with attribute access only, which is all the control needs.
#include "drive.h"

#include <stdio.h>
#include <string.h>

HANDLE g_hNotifyDevice = INVALID_HANDLE_VALUE;
BYTE g_NotifyDriveIndex = NO_DRIVE;

// Failures of the switch are not the user's concern: the update goes on without it. They
// go to the debugger output only.
BYTE SetMediaChangeNotify(BYTE DriveIndex, BYTE Disable) {
    char szTemp[100];
    DWORD dwTemp = 0;
    PREVENT_MEDIA_REMOVAL flag;

    memset(szTemp, 0, sizeof(szTemp));
    if (g_hNotifyDevice == INVALID_HANDLE_VALUE || g_NotifyDriveIndex != DriveIndex) {
        if (g_hNotifyDevice != INVALID_HANDLE_VALUE) {
            CloseHandle(g_hNotifyDevice);
            g_hNotifyDevice = INVALID_HANDLE_VALUE;
        }
        snprintf(szTemp, sizeof(szTemp), "\\\\.\\%c:", DriveLetter(DriveIndex));
        g_hNotifyDevice = CreateFileA(szTemp, FILE_READ_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING,
                                      0, NULL);
        if (g_hNotifyDevice == INVALID_HANDLE_VALUE) {
            int error = (int)GetLastError();
            g_NotifyDriveIndex = NO_DRIVE;
            snprintf(szTemp, sizeof(szTemp),
                     "Error occur during getting the handle of Device\nError Code %d", error);
            OutputDebugStringA(szTemp);
            return 0;
        }
    }
    g_NotifyDriveIndex = DriveIndex;

    flag.PreventMediaRemoval = Disable ? TRUE : FALSE;
    if (!DeviceIoControl(g_hNotifyDevice, IOCTL_STORAGE_MCN_CONTROL, &flag, sizeof(flag), NULL,
                         0, &dwTemp, NULL)) {
        int error = (int)GetLastError();
        snprintf(szTemp, sizeof(szTemp),
                 "DeviceIoControl Error: Error Code %d\n I can't stop(or do) issuing GESN from Window",
                 error);
        OutputDebugStringA(szTemp);
        return 0;
    }
    return 1;
}

// The optical drive table: found once at start-up, in ascending letter order.
#include "drive.h"

#include <stdio.h>
#include <string.h>

BYTE g_DriveLetters[MAX_OPTICAL_DRIVES];

BYTE FindOpticalDrives(void) {
    char driveRootDir[10];
    BYTE count = 0;

    memset(g_DriveLetters, 0, sizeof(g_DriveLetters));
    for (char letter = 'A'; letter <= 'Z'; letter++) {
        memset(driveRootDir, 0, sizeof(driveRootDir));
        snprintf(driveRootDir, sizeof(driveRootDir), "%c:\\", letter);
        if (GetDriveTypeA(driveRootDir) != DRIVE_CDROM) continue;
        // The table has room for eight drives; any further optical drive is not listed.
        if (count >= MAX_OPTICAL_DRIVES) break;
        g_DriveLetters[count] = (BYTE)letter;
        count++;
    }
    return count;
}

char DriveLetter(BYTE DriveIndex) {
    if (DriveIndex >= MAX_OPTICAL_DRIVES) return 0;
    return (char)g_DriveLetters[DriveIndex];
}

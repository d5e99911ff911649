// What the drive's sense data says, as the update reads it: key / ASC / ASCQ of the last
// command, and the progress the drive reports in the INFORMATION field.
#include "drive.h"
#include "update_internal.h"

static BYTE SenseIs(BYTE key, BYTE asc, BYTE ascq) {
    return g_SenseData[SENSE_KEY_BYTE] == key && g_SenseData[SENSE_ASC_BYTE] == asc &&
           g_SenseData[SENSE_ASCQ_BYTE] == ascq;
}

// 02/3A/02: medium not present, tray open.
BYTE TrayIsOpen(void) { return SenseIs(0x02, 0x3A, 0x02); }

// 02/04/08: not ready, long write in progress.
BYTE DriveIsWriting(void) { return SenseIs(0x02, 0x04, 0x08); }

// 06/29/00: power on, reset or bus device reset occurred.
BYTE DriveHasReset(void) { return SenseIs(0x06, 0x29, 0x00); }

BYTE SenseIsEmpty(void) {
    for (int i = 0; i < SENSE_DATA_SIZE; i++)
        if (g_SenseData[i] != 0) return 0;
    return 1;
}

DWORD SenseInformation(void) {
    const BYTE* info = g_SenseData + SENSE_INFORMATION_BYTE;
    return ((DWORD)info[0] << 24) | ((DWORD)info[1] << 16) | ((DWORD)info[2] << 8) | info[3];
}

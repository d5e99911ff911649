// Phase two of the update: media polling off, tray open, the image in 16 KiB chunks, the
// commit, the drive's own write followed to its reset, tray closed, and the end.
#include <windows.h>

#include <string.h>

#include "drive.h"
#include "main_dialog.h"
#include "update.h"
#include "update_internal.h"

#define TRAY_WAIT_ATTEMPTS 5
#define TRAY_WAIT_PAUSE_MS 1000

static BYTE SelectedDriveIndex(void) { return (BYTE)(g_SelectedDrive & 0xFF); }

// Waits a bounded time for the drive to report its tray open; goes on either way.
static void WaitForOpenTray(void) {
    for (int attempt = 0; attempt < TRAY_WAIT_ATTEMPTS; attempt++) {
        TestUnitReady();
        if (TrayIsOpen()) break;
        Sleep(TRAY_WAIT_PAUSE_MS);
    }
}

static void SendImage(const BYTE* image) {
    BYTE FWData[FW_CHUNK_SIZE];

    for (DWORD offset = 0; offset < FW_IMAGE_SIZE; offset += FW_CHUNK_SIZE) {
        memcpy(FWData, image + offset, FW_CHUNK_SIZE);
        if (!WriteBuffer(6, 0, offset, FW_CHUNK_SIZE, FWData))
            EndWithMessage("Updating Failure #4.", MB_ICONERROR);
    }
}

void FlashImage(const BYTE* image) {
    SetMediaChangeNotify(SelectedDriveIndex(), 1);

    if (!StartStopUnit(TRAY_OPEN)) EndWithMessage("Updating Failure #2.", MB_ICONERROR);
    WaitForOpenTray();

    if (!BeginDownload()) EndWithMessage("Updating Failure #3.", MB_ICONERROR);
    SendImage(image);
    if (!CommitDownload()) EndWithMessage("Updating Failure #5.", MB_ICONERROR);

    if (!PollUntilReset())
        EndWithMessage("The drive did not report the end of the update.\n"
                       "Leave the computer on for a few minutes, then restart it and check "
                       "the drive.",
                       MB_ICONERROR);

    StartStopUnit(TRAY_CLOSE);
    MessageBoxA(g_hDlg, "FW Updating Completed Sucessfully", "OK", MB_OK);
    SetMediaChangeNotify(SelectedDriveIndex(), 0);
    AllowSystemSleep();
    EnableButtons();
    SendMessageA(g_hDlg, WM_CLOSE, 0, 0);
}

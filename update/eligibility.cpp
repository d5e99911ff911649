// Phase one of the update: is the selected entry a target drive, does its installed
// firmware take this update, and is the built-in image there and whole.
#include <windows.h>

#include <stdlib.h>
#include <string.h>

#include "drive.h"
#include "main_dialog.h"
#include "resource.h"
#include "update.h"
#include "update_internal.h"

#define ENTRY_TEXT_SIZE 256

// The text of the selected list entry; empty when nothing is selected or the entry would
// not fit the buffer.
static void ReadSelectedEntry(char* CurrentDriveModelName) {
    LRESULT index;
    LRESULT length;

    memset(CurrentDriveModelName, 0, ENTRY_TEXT_SIZE);
    index = SendDlgItemMessageA(g_hDlg, IDC_DRIVE_LIST, CB_GETCURSEL, 0, 0);
    if (index == CB_ERR) return;
    length = SendDlgItemMessageA(g_hDlg, IDC_DRIVE_LIST, CB_GETLBTEXTLEN, (WPARAM)index, 0);
    if (length == CB_ERR || length >= ENTRY_TEXT_SIZE) return;
    if (SendDlgItemMessageA(g_hDlg, IDC_DRIVE_LIST, CB_GETLBTEXT, (WPARAM)index,
                            (LPARAM)CurrentDriveModelName) == CB_ERR)
        CurrentDriveModelName[0] = '\0';
}

static void CheckSelection(void) {
    char CurrentDriveModelName[ENTRY_TEXT_SIZE];
    char tmp[ENTRY_TEXT_SIZE];

    if (g_TargetDriveCount == 0) EndWithMessage("There is no target drive.", MB_ICONWARNING);

    ReadSelectedEntry(CurrentDriveModelName);
    if (strstr(CurrentDriveModelName, TARGET_MODEL_PATTERN) == NULL)
        EndWithMessage("The selected drive is not target drive.", MB_ICONWARNING);

    // The entry begins with the drive index.
    memset(tmp, 0, sizeof(tmp));
    tmp[0] = CurrentDriveModelName[0];
    g_SelectedDrive = (DWORD)atoi(tmp);
}

static void CheckInstalledFirmware(void) {
    BYTE DriveInfoFromDrive[IDENTITY_BLOCK_SIZE];
    char tmp[ENTRY_TEXT_SIZE];

    if (!ReadBuffer(6, 0, IDENTITY_BLOCK_OFFSET, IDENTITY_BLOCK_SIZE, DriveInfoFromDrive))
        EndWithMessage("Updating Failure #1.", MB_ICONERROR);

    memset(tmp, 0, sizeof(tmp));
    memcpy(tmp, DriveInfoFromDrive + IDENTITY_CODE_OFFSET, 3);
    if (strcmp(tmp, CODE_CURRENT) == 0)
        EndWithMessage("Your optical drive firmware is up to date", MB_ICONWARNING);
    if (strcmp(tmp, CODE_TAKES_UPDATE) != 0)
        EndWithMessage("This drive does not need any FW changes.", MB_ICONWARNING);
}

static const BYTE* LoadFirmwareImage(void) {
    HRSRC hResource;
    HGLOBAL hImage;
    const BYTE* image;

    hResource = FindResourceA(g_hInstance, MAKEINTRESOURCEA(IDR_FIRMWARE), RT_RCDATA);
    if (hResource == NULL) EndWithMessage("FW Resource Load Error #1", MB_ICONWARNING);
    hImage = LoadResource(g_hInstance, hResource);
    if (hImage == NULL) EndWithMessage("FW Resource Load Error #2", MB_ICONWARNING);
    image = (const BYTE*)LockResource(hImage);
    if (image == NULL || SizeofResource(g_hInstance, hResource) != FW_IMAGE_SIZE)
        EndWithMessage("Wrong FW file Size", MB_ICONERROR);
    return image;
}

const BYTE* CheckEligibilityAndLoadImage(void) {
    CheckSelection();
    CheckInstalledFirmware();
    return LoadFirmwareImage();
}

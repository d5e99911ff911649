// The update worker's entry point and its early end.
#include "update.h"

#include "drive.h"
#include "main_dialog.h"
#include "resource.h"
#include "update_internal.h"

DWORD WINAPI FirmwareUpdateThread(LPVOID lpParameter) {
    (void)lpParameter;
    KeepSystemAwake();
    const BYTE* image = CheckEligibilityAndLoadImage();
    FlashImage(image);
    return 0;
}

void RestoreAfterFailure(void) {
    SetMediaChangeNotify((BYTE)(g_SelectedDrive & 0xFF), 0);
    EnableButtons();
}

void EndWithMessage(const char* text, UINT style) {
    MessageBoxA(g_hDlg, text, "Error", style);
    AllowSystemSleep();
    RestoreAfterFailure();
    ExitThread(0);
}

void EnableButtons(void) {
    EnableWindow(GetDlgItem(g_hDlg, IDC_START), TRUE);
    EnableWindow(GetDlgItem(g_hDlg, IDC_EXIT), TRUE);
}

void KeepSystemAwake(void) { SetThreadExecutionState(ES_CONTINUOUS | ES_SYSTEM_REQUIRED); }

void AllowSystemSleep(void) { SetThreadExecutionState(ES_CONTINUOUS); }

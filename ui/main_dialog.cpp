// The main dialog: lists the optical drives, hands START to the update worker, and ends
// on EXIT or the close command, except while an update is running.
#include <windows.h>
#include <commctrl.h>

#include <stdio.h>
#include <string.h>

#include "drive.h"
#include "main_dialog.h"
#include "resource.h"
#include "update.h"

HWND g_hDlg;
BYTE g_TargetDriveCount;

#define DRIVE_NAME_SIZE 128
#define PROGRESS_RANGE_0_TO_100 0x00640000

void InitMainDialog(void) {
    char szTemp[DRIVE_NAME_SIZE];
    char str[DRIVE_NAME_SIZE];
    BYTE count;

    g_TargetDriveCount = 0;
    count = FindOpticalDrives();
    SendDlgItemMessageA(g_hDlg, IDC_DRIVE_LIST, CB_RESETCONTENT, 0, 0);
    for (BYTE i = 0; i < count; i++) {
        memset(szTemp, 0, sizeof(szTemp));
        GetDeviceName(i, szTemp);
        memset(str, 0, sizeof(str));
        snprintf(str, sizeof(str), "%d : %.*s", i, IDENTITY_TEXT_LENGTH, szTemp);
        SendDlgItemMessageA(g_hDlg, IDC_DRIVE_LIST, CB_ADDSTRING, 0, (LPARAM)str);
        if (strstr(str, TARGET_MODEL_PATTERN) != NULL) g_TargetDriveCount++;
    }
    SendDlgItemMessageA(g_hDlg, IDC_DRIVE_LIST, CB_SETCURSEL, 0, 0);
    g_SelectedDrive = 0;
    SendDlgItemMessageA(g_hDlg, IDC_PROGRESS, PBM_SETRANGE, 0, PROGRESS_RANGE_0_TO_100);
}

// A half-written drive is the worst outcome there is: while an update runs, neither the
// user's close command nor the end of the session may end the program.
static INT_PTR OnQueryEndSession(HWND hDlg) {
    if (!UpdateInProgress()) return FALSE;
    SetWindowLongPtrA(hDlg, DWLP_MSGRESULT, FALSE);
    return TRUE;
}

INT_PTR CALLBACK MainDlgProc(HWND hDlg, UINT message, WPARAM wParam, LPARAM lParam) {
    (void)lParam;
    switch (message) {
        case WM_INITDIALOG:
            g_hDlg = hDlg;
            InitMainDialog();
            return TRUE;
        case WM_CLOSE:
            if (!UpdateInProgress()) EndDialog(g_hDlg, 0);
            return FALSE;
        case WM_QUERYENDSESSION:
            return OnQueryEndSession(hDlg);
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case IDC_START:
                    StartUpdate();
                    break;
                case IDC_EXIT:
                    SendMessageA(g_hDlg, WM_CLOSE, 0, 0);
                    break;
            }
            return FALSE;
    }
    return FALSE;
}

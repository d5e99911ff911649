// START: disables the buttons and starts the update worker, which gives them back when
// it ends early or just before it closes the program after a completed update.
#include <windows.h>

#include <stdio.h>
#include <string.h>

#include "main_dialog.h"
#include "resource.h"
#include "update.h"

HANDLE g_hUpdateThread;
DWORD g_UpdateThreadId;

BYTE UpdateInProgress(void) {
    return IsWindowEnabled(GetDlgItem(g_hDlg, IDC_START)) ? 0 : 1;
}

void StartUpdate(void) {
    char szTemp[100];

    EnableWindow(GetDlgItem(g_hDlg, IDC_START), FALSE);
    EnableWindow(GetDlgItem(g_hDlg, IDC_EXIT), FALSE);
    g_hUpdateThread = CreateThread(NULL, 0, FirmwareUpdateThread, NULL, 0, &g_UpdateThreadId);
    if (g_hUpdateThread == NULL) {
        int error = (int)GetLastError();
        memset(szTemp, 0, sizeof(szTemp));
        snprintf(szTemp, sizeof(szTemp), "Could not start the update.\nError Code %d", error);
        MessageBoxA(g_hDlg, szTemp, "Error", MB_ICONERROR);
        EnableWindow(GetDlgItem(g_hDlg, IDC_START), TRUE);
        EnableWindow(GetDlgItem(g_hDlg, IDC_EXIT), TRUE);
    }
}

// The program's main dialog: the globals the update worker shares with it, the dialog
// procedure and its initialisation.
#ifndef UI_MAIN_DIALOG_H
#define UI_MAIN_DIALOG_H

#include <windows.h>

extern HINSTANCE g_hInstance;
extern HWND g_hDlg;
extern BYTE g_TargetDriveCount;

// The last update worker started; neither waited on nor closed.
extern HANDLE g_hUpdateThread;
extern DWORD g_UpdateThreadId;

INT_PTR CALLBACK MainDlgProc(HWND hDlg, UINT message, WPARAM wParam, LPARAM lParam);
void InitMainDialog(void);

// START: hands the update to a new worker thread.
void StartUpdate(void);
// True from START until the worker gives the buttons back.
BYTE UpdateInProgress(void);

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR lpCmdLine, int nShowCmd);

#endif

// Program entry: the main dialog, run modally, is the whole program.
#include <windows.h>
#include <commctrl.h>

#include "main_dialog.h"
#include "resource.h"

HINSTANCE g_hInstance;

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR lpCmdLine, int nShowCmd) {
    INITCOMMONCONTROLSEX controls;

    (void)hPrevInstance;
    (void)lpCmdLine;
    (void)nShowCmd;

    g_hInstance = hInstance;

    // The dialog holds a progress bar, whose window class comes from the common controls.
    controls.dwSize = sizeof(controls);
    controls.dwICC = ICC_PROGRESS_CLASS;
    InitCommonControlsEx(&controls);

    DialogBoxParamA(g_hInstance, MAKEINTRESOURCEA(IDD_MAIN), NULL, MainDlgProc, 0);
    return 0;
}

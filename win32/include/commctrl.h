// Linux stand-in for <commctrl.h>: the progress bar and its registration.
#ifndef WIN32_STANDIN_COMMCTRL_H
#define WIN32_STANDIN_COMMCTRL_H

#include <windows.h>

#define PROGRESS_CLASSA "msctls_progress32"

#define PBM_SETRANGE (WM_USER + 1)
#define PBM_SETPOS (WM_USER + 2)
#define PBM_DELTAPOS (WM_USER + 3)
#define PBM_SETSTEP (WM_USER + 4)
#define PBM_STEPIT (WM_USER + 5)
#define PBM_SETRANGE32 (WM_USER + 6)
#define PBM_GETRANGE (WM_USER + 7)
#define PBM_GETPOS (WM_USER + 8)

typedef struct {
    int iLow;
    int iHigh;
} PBRANGE, *PPBRANGE;

#define ICC_PROGRESS_CLASS 0x00000020

typedef struct tagINITCOMMONCONTROLSEX {
    DWORD dwSize;
    DWORD dwICC;
} INITCOMMONCONTROLSEX, *LPINITCOMMONCONTROLSEX;

BOOL WINAPI InitCommonControlsEx(const INITCOMMONCONTROLSEX* picce);

#endif

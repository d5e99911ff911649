// Resource ids, shared by app.rc and the program's C++ code.
#ifndef FW_RESOURCE_H
#define FW_RESOURCE_H

#define IDD_MAIN 101
#define IDB_LOGO 107
#define IDI_MAIN 108
#define IDR_FIRMWARE 109

#define IDC_DRIVE_LIST 1001
#define IDC_PROGRESS 1009
#define IDC_START 1014
#define IDC_EXIT 1015
#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

#endif

// DialogBoxParamA: the dialog template comes from the program's resources (RT_DIALOG).
#include <windows.h>

#include "win32sim/dialog_template.h"
#include "win32sim/dialogs.h"

INT_PTR WINAPI DialogBoxParamA(HINSTANCE hInstance, LPCSTR lpTemplateName, HWND hWndParent,
                               DLGPROC lpDialogFunc, LPARAM dwInitParam) {
    HRSRC info = FindResourceA(hInstance, lpTemplateName, RT_DIALOG);
    if (!info) return -1;
    HGLOBAL data = LoadResource(hInstance, info);
    if (!data) return -1;
    const void* bytes = LockResource(data);
    DWORD size = SizeofResource(hInstance, info);
    if (!bytes) return -1;
    std::optional<win32sim::DialogTemplate> parsed =
        win32sim::parseDialogTemplate(static_cast<const std::uint8_t*>(bytes), size);
    if (!parsed) {
        SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
        return -1;
    }
    return win32sim::dialogBoxFromTemplate(*parsed, hWndParent, lpDialogFunc, dwInitParam);
}

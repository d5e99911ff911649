// Links app_resources as the program does and, run on Windows, finds each resource in its
// own module: exit code 0 when all are there, else the id of the first one missing.
#include <windows.h>

#include "resource.h"

namespace {

bool has(LPCSTR type, WORD name, DWORD size = 0) {
    const HRSRC info = FindResourceA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(name), type);
    return info != nullptr && (size == 0 || SizeofResource(nullptr, info) == size);
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    if (!has(RT_DIALOG, IDD_MAIN)) return IDD_MAIN;
    if (!has(RT_BITMAP, IDB_LOGO)) return IDB_LOGO;
    if (!has(RT_GROUP_ICON, IDI_MAIN)) return IDI_MAIN;
    if (!has(RT_RCDATA, IDR_FIRMWARE, 2097152)) return IDR_FIRMWARE;
    if (!has(RT_MANIFEST, 1)) return 1;
    return 0;
}

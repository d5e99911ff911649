// Drive types and device files: GetDriveTypeA and CreateFileA on \\.\X: device paths.
#include <windows.h>

#include <cctype>
#include <cstring>

#include "handles.h"

namespace {

using win32sim::DriveKind;

// "X:\" (the root path) or "\\.\X:" (the device path); 0 if the text is neither.
char letterOf(const char* path, bool devicePath) {
    if (!path) return 0;
    const char* p = path;
    if (devicePath) {
        if (std::strncmp(p, "\\\\.\\", 4) != 0) return 0;
        p += 4;
        if (!std::isalpha(static_cast<unsigned char>(p[0])) || p[1] != ':' || p[2] != '\0') return 0;
    } else {
        if (!std::isalpha(static_cast<unsigned char>(p[0])) || p[1] != ':' || p[2] != '\\' ||
            p[3] != '\0')
            return 0;
    }
    return static_cast<char>(std::toupper(static_cast<unsigned char>(p[0])));
}

UINT driveTypeOf(DriveKind kind) {
    switch (kind) {
        case DriveKind::Removable: return DRIVE_REMOVABLE;
        case DriveKind::Fixed: return DRIVE_FIXED;
        case DriveKind::Network: return DRIVE_REMOTE;
        case DriveKind::RamDisk: return DRIVE_RAMDISK;
        case DriveKind::Optical: return DRIVE_CDROM;
        case DriveKind::None: break;
    }
    return DRIVE_NO_ROOT_DIR;
}

}  // namespace

UINT WINAPI GetDriveTypeA(LPCSTR lpRootPathName) {
    char letter = letterOf(lpRootPathName, false);
    if (!letter) return DRIVE_NO_ROOT_DIR;
    auto machine = win32sim::currentMachine();
    DriveKind kind = machine->kind(letter);
    if (kind == DriveKind::Optical) {
        auto device = machine->device(letter);
        if (!device || !device->present()) return DRIVE_NO_ROOT_DIR;
    }
    return driveTypeOf(kind);
}

HANDLE WINAPI CreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                          LPSECURITY_ATTRIBUTES lpSecurityAttributes, DWORD dwCreationDisposition,
                          DWORD dwFlagsAndAttributes, HANDLE hTemplateFile) {
    (void)dwShareMode;
    (void)lpSecurityAttributes;
    (void)dwFlagsAndAttributes;
    (void)hTemplateFile;

    char letter = letterOf(lpFileName, true);
    if (!letter) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    if (dwCreationDisposition != OPEN_EXISTING) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    auto machine = win32sim::currentMachine();
    DriveKind kind = machine->kind(letter);
    if (kind == DriveKind::None) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    if (kind == DriveKind::Optical) {
        auto device = machine->device(letter);
        if (!device || !device->present()) {
            SetLastError(ERROR_FILE_NOT_FOUND);
            return INVALID_HANDLE_VALUE;
        }
        if (DWORD error = device->openError()) {
            SetLastError(error);
            return INVALID_HANDLE_VALUE;
        }
    }
    machine->noteOpened(letter);
    auto object = std::make_shared<win32sim::DeviceObject>();
    object->machine = machine;
    object->letter = letter;
    object->access = dwDesiredAccess;
    SetLastError(ERROR_SUCCESS);
    return win32sim::insertHandle(std::move(object));
}

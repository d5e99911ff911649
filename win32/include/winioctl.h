// Linux stand-in for <winioctl.h>: the storage control the firmware tool uses.
#ifndef WIN32_STANDIN_WINIOCTL_H
#define WIN32_STANDIN_WINIOCTL_H

#include <windows.h>

#define IOCTL_STORAGE_MCN_CONTROL 0x002D0944

typedef struct _PREVENT_MEDIA_REMOVAL {
    BOOLEAN PreventMediaRemoval;
} PREVENT_MEDIA_REMOVAL, *PPREVENT_MEDIA_REMOVAL;

#endif

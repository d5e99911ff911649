// The firmware update worker: decides whether the selected drive takes the update and
// then performs it.
#ifndef UPDATE_UPDATE_H
#define UPDATE_UPDATE_H

#include <windows.h>

// A list entry names a target drive when it contains this text: the vendor padded to its
// 8-character field, then the product name and four of the spaces that pad it.
#define TARGET_MODEL_PATTERN "ZELT    QX-57N8RV    "

#define FW_IMAGE_SIZE 0x200000
#define FW_CHUNK_SIZE 0x4000
#define IDENTITY_BLOCK_OFFSET 0x1EC000
#define IDENTITY_BLOCK_SIZE 256
#define IDENTITY_CODE_OFFSET 70

// Identity codes of the installed firmware.
#define CODE_CURRENT "KT7"
#define CODE_TAKES_UPDATE "KT8"

DWORD WINAPI FirmwareUpdateThread(LPVOID lpParameter);
void RestoreAfterFailure(void);

#endif

// Puts the drive layer's globals back to their state at program start, as a new process
// would have them. Header-only: the support library does not link the product.
#pragma once

#include <cstring>

#include "drive.h"

namespace testing_support {

inline void resetDriveLayer() {
    std::memset(g_DriveLetters, 0, sizeof g_DriveLetters);
    std::memset(g_SenseData, 0, sizeof g_SenseData);
    g_hDevice = INVALID_HANDLE_VALUE;
    g_DeviceDriveIndex = NO_DRIVE;
    g_hNotifyDevice = INVALID_HANDLE_VALUE;
    g_NotifyDriveIndex = NO_DRIVE;
    g_SelectedDrive = 0;
}

}  // namespace testing_support

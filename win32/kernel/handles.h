// The kernel object table behind HANDLE values: device handles and thread handles.
#pragma once

#include <windows.h>

#include <memory>
#include <vector>

#include "win32sim/machine.h"

namespace win32sim {

struct KernelObject {
    virtual ~KernelObject() = default;
};

struct DeviceObject : KernelObject {
    std::weak_ptr<Machine> machine;
    char letter = 0;
    DWORD access = 0;
};

struct ThreadObject : KernelObject {
    DWORD threadId = 0;
};

HANDLE insertHandle(std::shared_ptr<KernelObject> object);
std::shared_ptr<KernelObject> lookupHandle(HANDLE handle);
bool removeHandle(HANDLE handle);

// Every device handle open now, and closing those that belong to one machine.
std::vector<std::shared_ptr<DeviceObject>> openDevices();
void closeDevicesOf(const Machine* machine);

}  // namespace win32sim

#include "handles.h"

#include <map>
#include <mutex>

namespace win32sim {
namespace {

std::mutex g_mutex;
std::map<HANDLE, std::shared_ptr<KernelObject>> g_objects;
ULONG_PTR g_nextValue = 0x100;  // like Windows, handle values are small multiples of 4

}  // namespace

HANDLE insertHandle(std::shared_ptr<KernelObject> object) {
    std::lock_guard<std::mutex> lock(g_mutex);
    HANDLE handle = reinterpret_cast<HANDLE>(g_nextValue);
    g_nextValue += 4;
    g_objects[handle] = std::move(object);
    return handle;
}

std::shared_ptr<KernelObject> lookupHandle(HANDLE handle) {
    std::lock_guard<std::mutex> lock(g_mutex);
    auto it = g_objects.find(handle);
    return it == g_objects.end() ? nullptr : it->second;
}

bool removeHandle(HANDLE handle) {
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_objects.erase(handle) == 1;
}

std::vector<std::shared_ptr<DeviceObject>> openDevices() {
    std::lock_guard<std::mutex> lock(g_mutex);
    std::vector<std::shared_ptr<DeviceObject>> devices;
    for (const auto& [handle, object] : g_objects)
        if (auto device = std::dynamic_pointer_cast<DeviceObject>(object))
            devices.push_back(device);
    return devices;
}

void closeDevicesOf(const Machine* machine) {
    std::lock_guard<std::mutex> lock(g_mutex);
    for (auto it = g_objects.begin(); it != g_objects.end();) {
        auto device = std::dynamic_pointer_cast<DeviceObject>(it->second);
        auto owner = device ? device->machine.lock() : nullptr;
        if (device && (!owner || owner.get() == machine))
            it = g_objects.erase(it);
        else
            ++it;
    }
}

}  // namespace win32sim

BOOL WINAPI CloseHandle(HANDLE hObject) {
    if (!win32sim::removeHandle(hObject)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}

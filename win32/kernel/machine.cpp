// The emulated machine: drive letters, the devices behind optical letters, open handles.
#include "win32sim/machine.h"

#include <cctype>

#include "handles.h"

namespace win32sim {
namespace {
std::mutex g_currentMutex;
std::shared_ptr<Machine> g_current = std::make_shared<Machine>();
}  // namespace

int Machine::slot(char letter) {
    int upper = std::toupper(static_cast<unsigned char>(letter));
    return (upper >= 'A' && upper <= 'Z') ? upper - 'A' : -1;
}

void Machine::setDrive(char letter, DriveKind kind, std::shared_ptr<drivesim::ScsiDevice> device) {
    int i = slot(letter);
    if (i < 0) return;
    std::lock_guard<std::mutex> lock(mutex_);
    letters_[i].kind = kind;
    letters_[i].device = std::move(device);
}

DriveKind Machine::kind(char letter) const {
    int i = slot(letter);
    if (i < 0) return DriveKind::None;
    std::lock_guard<std::mutex> lock(mutex_);
    return letters_[i].kind;
}

std::shared_ptr<drivesim::ScsiDevice> Machine::device(char letter) const {
    int i = slot(letter);
    if (i < 0) return nullptr;
    std::lock_guard<std::mutex> lock(mutex_);
    return letters_[i].device;
}

int Machine::openCount(char letter) const {
    int i = slot(letter);
    if (i < 0) return 0;
    std::lock_guard<std::mutex> lock(mutex_);
    return letters_[i].opens;
}

void Machine::noteOpened(char letter) {
    int i = slot(letter);
    if (i < 0) return;
    std::lock_guard<std::mutex> lock(mutex_);
    ++letters_[i].opens;
}

std::vector<OpenHandle> Machine::openHandles() const {
    std::vector<OpenHandle> handles;
    for (const auto& device : openDevices()) {
        if (device->machine.lock().get() == this) handles.push_back({device->letter, device->access});
    }
    return handles;
}

void installMachine(std::shared_ptr<Machine> machine) {
    std::shared_ptr<Machine> previous;
    {
        std::lock_guard<std::mutex> lock(g_currentMutex);
        previous = g_current;
        g_current = machine ? std::move(machine) : std::make_shared<Machine>();
    }
    if (previous) closeDevicesOf(previous.get());
}

std::shared_ptr<Machine> currentMachine() {
    std::lock_guard<std::mutex> lock(g_currentMutex);
    return g_current;
}

}  // namespace win32sim

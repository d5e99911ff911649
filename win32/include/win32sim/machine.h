// The emulated machine behind the kernel side of the stand-in: what each drive letter is,
// which device backs an optical letter, and what the product did with device handles.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "../../../drivesim/scsi_device.h"

namespace win32sim {

enum class DriveKind { None, Removable, Fixed, Network, RamDisk, Optical };

struct OpenHandle {
    char letter;
    DWORD access;  // desired access the handle was opened with
};

class Machine {
public:
    // Letters default to DriveKind::None. An optical letter needs a device to be opened.
    void setDrive(char letter, DriveKind kind,
                  std::shared_ptr<drivesim::ScsiDevice> device = nullptr);
    void setOptical(char letter, std::shared_ptr<drivesim::ScsiDevice> device) {
        setDrive(letter, DriveKind::Optical, std::move(device));
    }

    DriveKind kind(char letter) const;
    std::shared_ptr<drivesim::ScsiDevice> device(char letter) const;

    // How often the device behind a letter was opened, and the handles open now.
    int openCount(char letter) const;
    std::vector<OpenHandle> openHandles() const;

    // Used by the stand-in itself.
    void noteOpened(char letter);

private:
    struct Letter {
        DriveKind kind = DriveKind::None;
        std::shared_ptr<drivesim::ScsiDevice> device;
        int opens = 0;
    };
    static int slot(char letter);

    mutable std::mutex mutex_;
    Letter letters_[26];
};

// The machine the stand-in's kernel functions act on. Installing a machine closes every
// handle still open on the previous one.
void installMachine(std::shared_ptr<Machine> machine);
std::shared_ptr<Machine> currentMachine();

}  // namespace win32sim

// An emulated machine for tests: drive letters of any kind, with emulated target and
// ordinary drives on the stand-in's clock. Installing it makes it the machine the
// product's Windows calls act on.
#pragma once

#include <memory>

#include "drivesim/ordinary_drive.h"
#include "drivesim/target_drive.h"
#include "win32sim/machine.h"

namespace testing_support {

class EmulatedMachine {
public:
    EmulatedMachine();  // a fixed disk C: and nothing else; installed at once

    std::shared_ptr<drivesim::TargetDrive> addTarget(char letter,
                                                     drivesim::TargetDriveConfig config = {});
    std::shared_ptr<drivesim::OrdinaryDrive> addOrdinary(
        char letter, drivesim::OrdinaryDriveConfig config = {});
    void addOther(char letter, win32sim::DriveKind kind);

    win32sim::Machine& machine() { return *machine_; }

private:
    std::shared_ptr<win32sim::Machine> machine_;
};

// The stand-in's clock, for drives.
drivesim::Clock standInClock();

}  // namespace testing_support

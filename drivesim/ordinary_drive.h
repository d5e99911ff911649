// Any other optical drive on the machine: it identifies itself, has no medium, and knows
// none of the update commands.
#pragma once

#include "drivesim/emulated_drive.h"

namespace drivesim {

struct OrdinaryDriveConfig {
    Identity identity{"GENERIC", "DVD-RW DRIVE", "1.00", 36};
    bool mediumLoaded = false;  // TEST UNIT READY is GOOD instead of 02/3A/01
    BusyTimes busy;
    Faults faults;
};

class OrdinaryDrive : public EmulatedDrive {
public:
    explicit OrdinaryDrive(OrdinaryDriveConfig config = {}, Clock clock = steadyClock());

    const OrdinaryDriveConfig& config() const { return config_; }

protected:
    ScsiResult handle(const ScsiCommand& command, CommandKind kind, std::uint64_t now) override;

private:
    OrdinaryDriveConfig config_;
};

}  // namespace drivesim

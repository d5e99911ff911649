#include "support/emulated_machine.h"

#include "win32sim/clock.h"

namespace testing_support {

drivesim::Clock standInClock() {
    return [] { return win32sim::clock::nowMs(); };
}

EmulatedMachine::EmulatedMachine() : machine_(std::make_shared<win32sim::Machine>()) {
    machine_->setDrive('C', win32sim::DriveKind::Fixed);
    win32sim::installMachine(machine_);
}

std::shared_ptr<drivesim::TargetDrive> EmulatedMachine::addTarget(
    char letter, drivesim::TargetDriveConfig config) {
    auto drive = std::make_shared<drivesim::TargetDrive>(std::move(config), standInClock());
    machine_->setOptical(letter, drive);
    return drive;
}

std::shared_ptr<drivesim::OrdinaryDrive> EmulatedMachine::addOrdinary(
    char letter, drivesim::OrdinaryDriveConfig config) {
    auto drive = std::make_shared<drivesim::OrdinaryDrive>(std::move(config), standInClock());
    machine_->setOptical(letter, drive);
    return drive;
}

void EmulatedMachine::addOther(char letter, win32sim::DriveKind kind) {
    machine_->setDrive(letter, kind);
}

}  // namespace testing_support

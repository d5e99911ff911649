// A device that answers every command with one configured result and records what it
// was sent: enough to test the stand-in's kernel side apart from the emulated drives.
#pragma once

#include <cstdint>
#include <mutex>
#include <vector>

#include "drivesim/scsi_device.h"

namespace testing_support {

struct ReceivedCommand {
    std::vector<std::uint8_t> cdb;
    drivesim::DataDirection direction;
    std::uint32_t length;
    std::uint32_t timeoutSeconds;
};

class FakeDevice : public drivesim::ScsiDevice {
public:
    drivesim::ScsiResult answer;     // returned for every command
    std::vector<std::uint8_t> dataIn;  // copied into the host buffer for data-in commands
    std::uint32_t openFailure = 0;
    bool isPresent = true;
    std::uint32_t mcnFailure = 0;

    drivesim::ScsiResult execute(const drivesim::ScsiCommand& command) override {
        std::lock_guard<std::mutex> lock(mutex_);
        received_.push_back({std::vector<std::uint8_t>(command.cdb, command.cdb + command.cdbLength),
                             command.direction, command.length, command.timeoutSeconds});
        drivesim::ScsiResult result = answer;
        if (command.direction == drivesim::DataDirection::In && command.data) {
            std::uint32_t n = std::min<std::uint32_t>(command.length,
                                                      static_cast<std::uint32_t>(dataIn.size()));
            std::copy(dataIn.begin(), dataIn.begin() + n, command.data);
            result.transferred = n;
        }
        return result;
    }
    std::uint32_t openError() override { return openFailure; }
    bool present() override { return isPresent; }
    std::uint32_t mediaChangeControl(bool pollingOff) override {
        std::lock_guard<std::mutex> lock(mutex_);
        mcnSwitches_.push_back(pollingOff);
        return mcnFailure;
    }

    std::vector<ReceivedCommand> received() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return received_;
    }
    std::vector<bool> mcnSwitches() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return mcnSwitches_;
    }

private:
    mutable std::mutex mutex_;
    std::vector<ReceivedCommand> received_;
    std::vector<bool> mcnSwitches_;
};

}  // namespace testing_support

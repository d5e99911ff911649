#include "drivesim/ordinary_drive.h"

#include <utility>

#include "drivesim/sense.h"

namespace drivesim {

OrdinaryDrive::OrdinaryDrive(OrdinaryDriveConfig config, Clock clock)
    : EmulatedDrive(std::move(clock), config.faults, config.busy), config_(std::move(config)) {}

ScsiResult OrdinaryDrive::handle(const ScsiCommand& command, CommandKind kind, std::uint64_t now) {
    (void)now;
    switch (kind) {
    case CommandKind::Inquiry: return answerInquiry(command, config_.identity);
    case CommandKind::TestUnitReady:
        return config_.mediumLoaded ? goodResult() : checkConditionResult(sense::kNoMedium);
    default: return checkConditionResult(sense::kInvalidOpcode);
    }
}

}  // namespace drivesim

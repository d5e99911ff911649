#include "drivesim/faults.h"

namespace drivesim {

const char* toString(FaultAction action) {
    switch (action) {
    case FaultAction::CheckCondition: return "CheckCondition";
    case FaultAction::PassThroughFailure: return "PassThroughFailure";
    case FaultAction::Hang: return "Hang";
    case FaultAction::Vanish: return "Vanish";
    }
    return "?";
}

bool CommandFault::matches(CommandKind commandKind, std::uint32_t ordinalOfKind,
                           std::uint32_t ordinalOfAll) const {
    if (nth == 0 || times == 0) return false;
    if (kind && *kind != commandKind) return false;
    const std::uint32_t ordinal = kind ? ordinalOfKind : ordinalOfAll;
    if (ordinal < nth) return false;
    return times == kEveryLater || ordinal - nth < times;
}

CommandFault CommandFault::everyLater() const {
    CommandFault copy = *this;
    copy.times = kEveryLater;
    return copy;
}

CommandFault CommandFault::forTimes(std::uint32_t count) const {
    CommandFault copy = *this;
    copy.times = count;
    return copy;
}

namespace {

CommandFault make(FaultAction action, std::optional<CommandKind> kind, std::uint32_t nth) {
    CommandFault fault;
    fault.action = action;
    fault.kind = kind;
    fault.nth = nth;
    return fault;
}

}  // namespace

CommandFault checkConditionFault(std::optional<CommandKind> kind, std::uint32_t nth,
                                 SenseCode sense, std::optional<std::uint32_t> information) {
    CommandFault fault = make(FaultAction::CheckCondition, kind, nth);
    fault.sense = sense;
    fault.information = information;
    return fault;
}

CommandFault passThroughFault(std::optional<CommandKind> kind, std::uint32_t nth,
                              std::uint32_t errorCode) {
    CommandFault fault = make(FaultAction::PassThroughFailure, kind, nth);
    fault.errorCode = errorCode;
    return fault;
}

CommandFault hangFault(std::optional<CommandKind> kind, std::uint32_t nth) {
    return make(FaultAction::Hang, kind, nth);
}

CommandFault vanishFault(std::optional<CommandKind> kind, std::uint32_t nth,
                         std::uint32_t reappearAfterMs) {
    CommandFault fault = make(FaultAction::Vanish, kind, nth);
    fault.reappearAfterMs = reappearAfterMs;
    return fault;
}

}  // namespace drivesim

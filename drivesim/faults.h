// Faults as data: which commands a drive answers wrongly, and how; plus the device-level
// failures an operating system would report (open refused, drive absent, media change
// notification control failing). A drive checks its command faults before its own logic,
// first matching entry wins.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "drivesim/command_kind.h"
#include "drivesim/sense.h"

namespace drivesim {

// Windows error numbers the emulated drives produce.
namespace win_error {
inline constexpr std::uint32_t kFileNotFound = 2;
inline constexpr std::uint32_t kAccessDenied = 5;
inline constexpr std::uint32_t kGenFailure = 31;
inline constexpr std::uint32_t kNotSupported = 50;
inline constexpr std::uint32_t kSemTimeout = 121;
inline constexpr std::uint32_t kIoDevice = 1117;
inline constexpr std::uint32_t kDeviceNotConnected = 1167;
}  // namespace win_error

enum class FaultAction : std::uint8_t {
    CheckCondition,      // not executed; CHECK CONDITION with `sense` (and `information`)
    PassThroughFailure,  // not executed; the pass-through call fails with `errorCode`
    Hang,                // not executed; no answer, the host's time-out runs out
    Vanish,              // the drive is gone from this command on (see EmulatedDrive)
};

const char* toString(FaultAction action);

inline constexpr std::uint32_t kEveryLater = 0xFFFFFFFFu;
inline constexpr std::optional<CommandKind> kAnyCommand{};

struct CommandFault {
    FaultAction action = FaultAction::CheckCondition;
    std::optional<CommandKind> kind;  // the commands counted; empty: every command
    std::uint32_t nth = 1;            // the first command hit, 1-based; 0 disables the fault
    std::uint32_t times = 1;          // how many in a row from the nth on; kEveryLater: all
    SenseCode sense{};                             // CheckCondition
    std::optional<std::uint32_t> information;      // CheckCondition: INFORMATION, VALID set
    std::uint32_t errorCode = win_error::kGenFailure;  // PassThroughFailure
    std::uint32_t reappearAfterMs = 0;             // Vanish: back after this long; 0: never

    // `ordinal` is the 1-based count of the command among those of its kind (or among all
    // commands when the fault is for any command), this command included.
    bool matches(CommandKind commandKind, std::uint32_t ordinalOfKind,
                 std::uint32_t ordinalOfAll) const;

    CommandFault everyLater() const;
    CommandFault forTimes(std::uint32_t count) const;
};

CommandFault checkConditionFault(std::optional<CommandKind> kind, std::uint32_t nth,
                                 SenseCode sense,
                                 std::optional<std::uint32_t> information = std::nullopt);
CommandFault passThroughFault(std::optional<CommandKind> kind, std::uint32_t nth,
                              std::uint32_t errorCode);
CommandFault hangFault(std::optional<CommandKind> kind, std::uint32_t nth);
CommandFault vanishFault(std::optional<CommandKind> kind, std::uint32_t nth,
                         std::uint32_t reappearAfterMs = 0);

// Opening the device (CreateFile) fails with `errorCode` from the nth open on, for `times`
// opens. nth 0: opens never fail; nth 1 with kEveryLater: they always do.
struct OpenFault {
    std::uint32_t nth = 0;
    std::uint32_t times = kEveryLater;
    std::uint32_t errorCode = win_error::kAccessDenied;
};

struct Faults {
    std::vector<CommandFault> commands;
    OpenFault denyOpen;
    bool absent = false;  // no drive from the start: not present, opens fail, commands fail
    std::uint32_t mediaChangeOffError = 0;  // non-zero: switching polling off fails so
    std::uint32_t mediaChangeOnError = 0;   // non-zero: switching it back on fails so
};

}  // namespace drivesim

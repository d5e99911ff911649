// The commands the emulated drives tell apart. Faults and the transcript select commands by
// kind; WRITE BUFFER is split by its mode because the three download steps behave so
// differently.
#pragma once

#include <cstddef>
#include <cstdint>

#include "drivesim/scsi_device.h"

namespace drivesim {

namespace opcode {
inline constexpr std::uint8_t kTestUnitReady = 0x00;
inline constexpr std::uint8_t kInquiry = 0x12;
inline constexpr std::uint8_t kStartStopUnit = 0x1B;
inline constexpr std::uint8_t kWriteBuffer = 0x3B;
inline constexpr std::uint8_t kReadBuffer = 0x3C;
}  // namespace opcode

// WRITE BUFFER / READ BUFFER modes (CDB byte 1, low five bits).
namespace buffer_mode {
inline constexpr std::uint8_t kDownloadBegin = 1;
inline constexpr std::uint8_t kDownloadChunk = 6;
inline constexpr std::uint8_t kDownloadCommit = 7;
inline constexpr std::uint8_t kReadFirmware = 6;
}  // namespace buffer_mode

enum class CommandKind : std::uint8_t {
    Inquiry,
    TestUnitReady,
    StartStopUnit,
    ReadBuffer,
    DownloadBegin,   // WRITE BUFFER mode 1
    DownloadChunk,   // WRITE BUFFER mode 6
    DownloadCommit,  // WRITE BUFFER mode 7
    WriteBuffer,     // WRITE BUFFER in any other mode
    Other,
};

inline constexpr std::size_t kCommandKindCount = 9;

CommandKind classify(const std::uint8_t* cdb, std::size_t cdbLength);
inline CommandKind classify(const ScsiCommand& command) {
    return classify(command.cdb, command.cdbLength);
}

const char* toString(CommandKind kind);

}  // namespace drivesim

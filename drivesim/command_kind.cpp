#include "drivesim/command_kind.h"

namespace drivesim {

CommandKind classify(const std::uint8_t* cdb, std::size_t cdbLength) {
    if (cdb == nullptr || cdbLength == 0) return CommandKind::Other;
    switch (cdb[0]) {
    case opcode::kInquiry: return CommandKind::Inquiry;
    case opcode::kTestUnitReady: return CommandKind::TestUnitReady;
    case opcode::kStartStopUnit: return CommandKind::StartStopUnit;
    case opcode::kReadBuffer: return CommandKind::ReadBuffer;
    case opcode::kWriteBuffer:
        if (cdbLength < 2) return CommandKind::WriteBuffer;
        switch (cdb[1] & 0x1F) {
        case buffer_mode::kDownloadBegin: return CommandKind::DownloadBegin;
        case buffer_mode::kDownloadChunk: return CommandKind::DownloadChunk;
        case buffer_mode::kDownloadCommit: return CommandKind::DownloadCommit;
        default: return CommandKind::WriteBuffer;
        }
    default: return CommandKind::Other;
    }
}

const char* toString(CommandKind kind) {
    switch (kind) {
    case CommandKind::Inquiry: return "Inquiry";
    case CommandKind::TestUnitReady: return "TestUnitReady";
    case CommandKind::StartStopUnit: return "StartStopUnit";
    case CommandKind::ReadBuffer: return "ReadBuffer";
    case CommandKind::DownloadBegin: return "DownloadBegin";
    case CommandKind::DownloadChunk: return "DownloadChunk";
    case CommandKind::DownloadCommit: return "DownloadCommit";
    case CommandKind::WriteBuffer: return "WriteBuffer";
    case CommandKind::Other: return "Other";
    }
    return "?";
}

}  // namespace drivesim

// Everything a drive was asked, in order: each command with its answer, each switch of media
// change polling, each open. Safe to read from one thread while another drives the device;
// reads return copies.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "drivesim/command_kind.h"
#include "drivesim/faults.h"
#include "drivesim/scsi_device.h"
#include "drivesim/sense.h"

namespace drivesim {

enum class EntryType : std::uint8_t { Command, MediaChange, Open };

// Who produced a command's answer.
enum class AnsweredBy : std::uint8_t { Drive, Fault, Gone };

struct TranscriptEntry {
    EntryType type = EntryType::Command;
    std::uint64_t timeMs = 0;  // the drive's clock when the request arrived

    // Command
    CommandKind kind = CommandKind::Other;
    std::vector<std::uint8_t> cdb;
    DataDirection direction = DataDirection::Unspecified;
    std::uint32_t length = 0;  // the host's transfer length
    std::uint32_t timeoutSeconds = 0;
    Transport transport = Transport::Delivered;
    std::uint8_t status = 0;
    SenseCode sense{};  // when status is CHECK CONDITION
    bool informationValid = false;
    std::uint32_t information = 0;
    std::uint32_t transferred = 0;
    std::uint64_t dataOutHash = 0;  // FNV-1a 64 of the data sent; 0 when none was sent
    AnsweredBy answeredBy = AnsweredBy::Drive;
    int faultIndex = -1;  // index into the drive's fault list when a fault answered
    FaultAction faultAction = FaultAction::CheckCondition;

    // MediaChange: the switch asked for
    bool pollingOff = false;

    // Command (Failed), MediaChange and Open: the Windows error returned, 0 for success.
    std::uint32_t errorCode = 0;

    // One line, e.g. "3B 06 00 1F C0 00 00 40 00 00 00 00 out 16384 t60 -> GOOD 16384B @1200".
    std::string toString() const;
};

class Transcript {
public:
    void add(TranscriptEntry entry);
    void clear();

    std::size_t size() const;
    std::vector<TranscriptEntry> entries() const;
    std::vector<TranscriptEntry> commands() const;  // command entries only
    std::vector<TranscriptEntry> commands(CommandKind kind) const;

    // One line per entry, for failure messages.
    std::string dump() const;

private:
    mutable std::mutex mutex_;
    std::vector<TranscriptEntry> entries_;
};

}  // namespace drivesim

#include "drivesim/emulated_drive.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "drivesim/bytes.h"
#include "drivesim/hash.h"
#include "drivesim/sense.h"

namespace drivesim {
namespace {

constexpr std::size_t kStandardInquiryLength = 36;

void putPadded(std::vector<std::uint8_t>& data, std::size_t offset, std::size_t width,
               const std::string& text) {
    for (std::size_t i = 0; i < width; ++i) {
        data[offset + i] = i < text.size() ? static_cast<std::uint8_t>(text[i]) : ' ';
    }
}

}  // namespace

std::vector<std::uint8_t> inquiryData(const Identity& identity) {
    const std::size_t length = std::max<std::size_t>(kStandardInquiryLength, identity.inquiryLength);
    std::vector<std::uint8_t> data(length, 0);
    data[0] = 0x05;  // peripheral qualifier 0, device type 5: CD/DVD
    data[1] = 0x80;  // RMB: removable medium
    data[2] = 0x05;  // version
    data[3] = 0x02;  // response data format 2
    data[4] = static_cast<std::uint8_t>(std::min<std::size_t>(length - 5, 0xFF));
    putPadded(data, 8, 8, identity.vendor);
    putPadded(data, 16, 16, identity.product);
    putPadded(data, 32, 4, identity.revision);
    return data;
}

std::uint32_t BusyTimes::forKind(CommandKind kind) const {
    switch (kind) {
    case CommandKind::Inquiry: return inquiryMs;
    case CommandKind::TestUnitReady: return testUnitReadyMs;
    case CommandKind::StartStopUnit: return startStopUnitMs;
    case CommandKind::ReadBuffer: return readBufferMs;
    case CommandKind::DownloadBegin: return downloadBeginMs;
    case CommandKind::DownloadChunk: return downloadChunkMs;
    case CommandKind::DownloadCommit: return downloadCommitMs;
    case CommandKind::WriteBuffer:
    case CommandKind::Other: return otherMs;
    }
    return otherMs;
}

EmulatedDrive::EmulatedDrive(Clock clock, Faults faults, BusyTimes busy)
    : clock_(clock ? std::move(clock) : steadyClock()),
      faults_(std::move(faults)),
      busy_(busy),
      gone_(faults_.absent) {}

void EmulatedDrive::settleLocked(std::uint64_t now) {
    settle(now);
    if (gone_ && reappearAt_ && now >= *reappearAt_) {
        gone_ = false;
        reappearAt_.reset();
    }
}

std::unique_lock<std::mutex> EmulatedDrive::lockAndSettle() {
    std::unique_lock<std::mutex> lock(mutex_);
    settleLocked(clock_());
    return lock;
}

void EmulatedDrive::vanish(std::uint64_t atMs, std::uint32_t reappearAfterMs) {
    gone_ = true;
    if (reappearAfterMs != 0) {
        reappearAt_ = atMs + reappearAfterMs;
    } else {
        reappearAt_.reset();
    }
}

std::optional<std::size_t> EmulatedDrive::matchFault(CommandKind kind,
                                                     std::uint32_t ordinalOfKind,
                                                     std::uint32_t ordinalOfAll) const {
    for (std::size_t i = 0; i < faults_.commands.size(); ++i) {
        if (faults_.commands[i].matches(kind, ordinalOfKind, ordinalOfAll)) return i;
    }
    return std::nullopt;
}

ScsiResult EmulatedDrive::execute(const ScsiCommand& command) {
    std::lock_guard<std::mutex> lock(mutex_);
    const std::uint64_t now = clock_();
    settleLocked(now);

    const CommandKind kind = classify(command);
    const std::uint32_t ordinalOfKind = ++received_[static_cast<std::size_t>(kind)];
    const std::uint32_t ordinalOfAll = ++receivedAll_;

    TranscriptEntry entry;
    entry.type = EntryType::Command;
    entry.timeMs = now;
    entry.kind = kind;
    if (command.cdb != nullptr) entry.cdb.assign(command.cdb, command.cdb + command.cdbLength);
    entry.direction = command.direction;
    entry.length = command.length;
    entry.timeoutSeconds = command.timeoutSeconds;
    if (command.direction == DataDirection::Out && command.data != nullptr && command.length != 0) {
        entry.dataOutHash = fnv1a64(command.data, command.length);
    }

    ScsiResult result;
    if (gone_) {
        result = failedResult(win_error::kDeviceNotConnected);
        entry.answeredBy = AnsweredBy::Gone;
    } else if (auto index = matchFault(kind, ordinalOfKind, ordinalOfAll)) {
        const CommandFault& fault = faults_.commands[*index];
        entry.answeredBy = AnsweredBy::Fault;
        entry.faultIndex = static_cast<int>(*index);
        entry.faultAction = fault.action;
        switch (fault.action) {
        case FaultAction::CheckCondition:
            result = checkConditionResult(fault.sense, fault.information);
            result.busyMs = busy_.forKind(kind);
            break;
        case FaultAction::PassThroughFailure:
            result = failedResult(fault.errorCode);
            break;
        case FaultAction::Hang:
            result.transport = Transport::Hung;
            break;
        case FaultAction::Vanish:
            vanish(now, fault.reappearAfterMs);
            result = failedResult(win_error::kDeviceNotConnected);
            break;
        }
    } else {
        result = handle(command, kind, now);
        if (result.transport == Transport::Delivered) result.busyMs = busy_.forKind(kind);
    }

    entry.transport = result.transport;
    entry.errorCode = result.errorCode;
    entry.status = result.status;
    entry.transferred = result.transferred;
    if (DecodedSense decoded = decodeSense(result); decoded.parsed) {
        entry.sense = decoded.code;
        entry.informationValid = decoded.informationValid;
        entry.information = decoded.information;
    }
    transcript_.add(std::move(entry));
    return result;
}

std::uint32_t EmulatedDrive::openError() {
    std::lock_guard<std::mutex> lock(mutex_);
    const std::uint64_t now = clock_();
    settleLocked(now);
    const std::uint32_t ordinal = ++opens_;

    std::uint32_t error = 0;
    const OpenFault& deny = faults_.denyOpen;
    if (gone_) {
        error = win_error::kFileNotFound;
    } else if (deny.nth != 0 && ordinal >= deny.nth &&
               (deny.times == kEveryLater || ordinal - deny.nth < deny.times)) {
        error = deny.errorCode;
    }

    TranscriptEntry entry;
    entry.type = EntryType::Open;
    entry.timeMs = now;
    entry.errorCode = error;
    transcript_.add(std::move(entry));
    return error;
}

bool EmulatedDrive::present() {
    auto lock = lockAndSettle();
    return !gone_;
}

bool EmulatedDrive::gone() {
    auto lock = lockAndSettle();
    return gone_;
}

std::uint32_t EmulatedDrive::mediaChangeControl(bool pollingOff) {
    std::lock_guard<std::mutex> lock(mutex_);
    const std::uint64_t now = clock_();
    settleLocked(now);

    std::uint32_t error = 0;
    if (gone_) {
        error = win_error::kDeviceNotConnected;
    } else {
        error = pollingOff ? faults_.mediaChangeOffError : faults_.mediaChangeOnError;
    }
    if (error == 0) pollingOff_ = pollingOff;
    mediaChangeHistory_.push_back(MediaChangeSwitch{pollingOff, now, error});

    TranscriptEntry entry;
    entry.type = EntryType::MediaChange;
    entry.timeMs = now;
    entry.pollingOff = pollingOff;
    entry.errorCode = error;
    transcript_.add(std::move(entry));
    return error;
}

bool EmulatedDrive::mediaPollingOff() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return pollingOff_;
}

std::vector<MediaChangeSwitch> EmulatedDrive::mediaChangeHistory() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return mediaChangeHistory_;
}

std::uint32_t EmulatedDrive::commandsReceived(CommandKind kind) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return received_[static_cast<std::size_t>(kind)];
}

std::uint32_t EmulatedDrive::opens() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return opens_;
}

ScsiResult EmulatedDrive::answerInquiry(const ScsiCommand& command, const Identity& identity) {
    if (command.cdbLength < 6) return checkConditionResult(sense::kInvalidField);
    // Vital product data pages are not offered.
    if ((command.cdb[1] & 0x01) != 0 || command.cdb[2] != 0) {
        return checkConditionResult(sense::kInvalidField);
    }
    const std::vector<std::uint8_t> data = inquiryData(identity);
    const std::size_t available = std::min<std::size_t>(identity.inquiryLength, data.size());
    const std::size_t allocation = readBe16(&command.cdb[3]);
    const std::size_t count = std::min({available, allocation, std::size_t{command.length}});
    if (count != 0) {
        if (command.direction != DataDirection::In || command.data == nullptr) {
            return checkConditionResult(sense::kInvalidField);
        }
        std::memcpy(command.data, data.data(), count);
    }
    return goodResult(static_cast<std::uint32_t>(count));
}

}  // namespace drivesim

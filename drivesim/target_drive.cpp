#include "drivesim/target_drive.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "drivesim/bytes.h"

namespace drivesim {
namespace {

// Fixed bytes of the download's begin (control byte) and commit (CDB bytes 10 and 11).
constexpr std::uint8_t kBeginMarker = 0x0B;
constexpr std::uint8_t kCommitMarker0 = 0x1B;
constexpr std::uint8_t kCommitMarker1 = 0x12;

constexpr std::uint8_t kOpenTray = 2;
constexpr std::uint8_t kCloseTray = 3;

}  // namespace

const char* toString(TrayState state) {
    switch (state) {
    case TrayState::Closed: return "Closed";
    case TrayState::Opening: return "Opening";
    case TrayState::Open: return "Open";
    case TrayState::Closing: return "Closing";
    }
    return "?";
}

PollAnswer PollAnswer::good() { return PollAnswer{}; }

PollAnswer PollAnswer::writing(std::uint32_t information) {
    PollAnswer answer;
    answer.type = Type::Writing;
    answer.information = information;
    return answer;
}

PollAnswer PollAnswer::reset() {
    PollAnswer answer;
    answer.type = Type::Reset;
    return answer;
}

PollAnswer PollAnswer::withSense(SenseCode code, std::optional<std::uint32_t> information) {
    PollAnswer answer;
    answer.type = Type::Sense;
    answer.sense = code;
    answer.informationValid = information.has_value();
    answer.information = information.value_or(0);
    return answer;
}

TargetDrive::TargetDrive(TargetDriveConfig config, Clock clock)
    : EmulatedDrive(std::move(clock), config.faults, config.timings.busy),
      config_(std::move(config)),
      installed_(config_.firmware),
      tray_(config_.initialTray),
      downloadBuffer_(kImageSize, 0) {}

// ---- time-driven state ----

void TargetDrive::settle(std::uint64_t now) {
    if (tray_ == TrayState::Opening && now >= trayMovedAt_ + config_.timings.trayOpenMs) {
        tray_ = TrayState::Open;
    } else if (tray_ == TrayState::Closing && now >= trayMovedAt_ + config_.timings.trayCloseMs) {
        tray_ = TrayState::Closed;
    }

    if (writing_ && !config_.resetNeverComes && !scriptDecidesReset()) {
        const std::uint64_t endAt =
            std::max(commitAt_ + config_.timings.writeMs, scriptEndedAt_);
        if (now >= endAt) finishWrite(endAt);
    }
}

// While scripted answers remain (or the last one repeats), only the script ends the write.
bool TargetDrive::scriptDecidesReset() const {
    const auto& script = config_.pollScript;
    return pollIndex_ < script.size() || (config_.repeatLastPollAnswer && !script.empty());
}

void TargetDrive::finishWrite(std::uint64_t atMs) {
    installed_ = downloadBuffer_;
    writing_ = false;
    updated_ = true;
    ++resets_;
    unitAttention_ = true;
    if (config_.vanishAtReset) vanish(atMs, config_.reappearAfterResetMs);
}

// ---- commands ----

ScsiResult TargetDrive::handle(const ScsiCommand& command, CommandKind kind, std::uint64_t now) {
    if (kind == CommandKind::Inquiry) {
        Identity identity = config_.identity;
        if (updated_ && !config_.revisionAfterUpdate.empty()) {
            identity.revision = config_.revisionAfterUpdate;
        }
        return answerInquiry(command, identity);
    }
    if (writing_) {
        return kind == CommandKind::TestUnitReady ? pollWhileWriting(now) : writingAnswer(now);
    }
    if (unitAttention_) {
        unitAttention_ = false;
        return checkConditionResult(sense::kPowerOnReset);
    }
    switch (kind) {
    case CommandKind::TestUnitReady: return trayAnswer();
    case CommandKind::StartStopUnit: return startStopUnit(command, now);
    case CommandKind::ReadBuffer: return readBuffer(command);
    case CommandKind::DownloadBegin: return downloadBegin(command);
    case CommandKind::DownloadChunk: return downloadChunk(command);
    case CommandKind::DownloadCommit: return downloadCommit(command, now);
    case CommandKind::WriteBuffer: return abandonDownload(sense::kInvalidField);
    case CommandKind::Inquiry:
    case CommandKind::Other: break;
    }
    return checkConditionResult(sense::kInvalidOpcode);
}

ScsiResult TargetDrive::trayAnswer() const {
    switch (tray_) {
    case TrayState::Closed:
        return config_.mediumLoaded ? goodResult() : checkConditionResult(sense::kNoMedium);
    case TrayState::Opening:
    case TrayState::Closing: return checkConditionResult(sense::kBecomingReady);
    case TrayState::Open: return checkConditionResult(sense::kTrayOpen);
    }
    return checkConditionResult(sense::kNoMedium);
}

// 02/04/08 with the progress in INFORMATION: kImageSize means done.
ScsiResult TargetDrive::writingAnswer(std::uint64_t now) const {
    const std::uint64_t elapsed = now - commitAt_;
    const std::uint64_t writeMs = config_.timings.writeMs;
    const std::uint64_t progress =
        elapsed >= writeMs ? kImageSize : elapsed * kImageSize / writeMs;
    return checkConditionResult(sense::kLongWriteInProgress, static_cast<std::uint32_t>(progress));
}

ScsiResult TargetDrive::pollWhileWriting(std::uint64_t now) {
    const auto& script = config_.pollScript;
    PollAnswer answer;
    if (pollIndex_ < script.size()) {
        answer = script[pollIndex_++];
        if (pollIndex_ == script.size()) scriptEndedAt_ = now;
    } else if (config_.repeatLastPollAnswer && !script.empty()) {
        answer = script.back();
    } else {
        return writingAnswer(now);
    }

    switch (answer.type) {
    case PollAnswer::Type::Good: return goodResult();
    case PollAnswer::Type::Writing:
        return checkConditionResult(sense::kLongWriteInProgress, answer.information);
    case PollAnswer::Type::Reset:
        finishWrite(now);
        if (config_.vanishAtReset) return failedResult(win_error::kDeviceNotConnected);
        unitAttention_ = false;
        return checkConditionResult(sense::kPowerOnReset);
    case PollAnswer::Type::Sense:
        return checkConditionResult(answer.sense, answer.informationValid
                                                      ? std::optional<std::uint32_t>(answer.information)
                                                      : std::nullopt);
    }
    return writingAnswer(now);
}

ScsiResult TargetDrive::startStopUnit(const ScsiCommand& command, std::uint64_t now) {
    if (command.cdbLength < 5) return checkConditionResult(sense::kInvalidField);
    const std::uint8_t operation = command.cdb[4] & 0x03;
    if (operation == kOpenTray && (tray_ == TrayState::Closed || tray_ == TrayState::Closing)) {
        tray_ = TrayState::Opening;
        trayMovedAt_ = now;
    } else if (operation == kCloseTray &&
               (tray_ == TrayState::Open || tray_ == TrayState::Opening)) {
        tray_ = TrayState::Closing;
        trayMovedAt_ = now;
    }
    return goodResult();
}

ScsiResult TargetDrive::readBuffer(const ScsiCommand& command) const {
    if (command.cdbLength < 10) return checkConditionResult(sense::kInvalidField);
    const std::uint8_t* cdb = command.cdb;
    if ((cdb[1] & 0x1F) != buffer_mode::kReadFirmware || cdb[2] != 0) {
        return checkConditionResult(sense::kInvalidField);
    }
    const std::uint32_t offset = readBe24(&cdb[3]);
    const std::uint32_t length = readBe24(&cdb[6]);
    if (std::uint64_t{offset} + length > installed_.size()) {
        return checkConditionResult(sense::kInvalidField);
    }
    const std::uint32_t count = std::min(length, command.length);
    if (count != 0) {
        if (command.direction != DataDirection::In || command.data == nullptr) {
            return checkConditionResult(sense::kInvalidField);
        }
        std::memcpy(command.data, installed_.data() + offset, count);
    }
    return goodResult(count);
}

ScsiResult TargetDrive::abandonDownload(SenseCode why) {
    downloadActive_ = false;
    return checkConditionResult(why);
}

ScsiResult TargetDrive::downloadBegin(const ScsiCommand& command) {
    if (command.cdbLength < 10 || command.cdb[9] != kBeginMarker || command.length != 0) {
        return abandonDownload(sense::kInvalidField);
    }
    downloadActive_ = true;
    nextOffset_ = 0;
    chunksReceived_ = 0;
    std::fill(downloadBuffer_.begin(), downloadBuffer_.end(), std::uint8_t{0});
    return goodResult();
}

ScsiResult TargetDrive::downloadChunk(const ScsiCommand& command) {
    if (!downloadActive_) return abandonDownload(sense::kSequenceError);
    if (command.cdbLength < 10) return abandonDownload(sense::kInvalidField);
    const std::uint8_t* cdb = command.cdb;
    const std::uint32_t offset = readBe24(&cdb[3]);
    const std::uint32_t length = readBe24(&cdb[6]);
    if (offset != nextOffset_) return abandonDownload(sense::kSequenceError);
    if (cdb[2] != 0 || length != kChunkSize || command.length != length ||
        command.direction != DataDirection::Out || command.data == nullptr ||
        std::uint64_t{offset} + length > downloadBuffer_.size()) {
        return abandonDownload(sense::kInvalidField);
    }
    std::memcpy(downloadBuffer_.data() + offset, command.data, length);
    nextOffset_ += length;
    ++chunksReceived_;
    return goodResult(length);
}

ScsiResult TargetDrive::downloadCommit(const ScsiCommand& command, std::uint64_t now) {
    if (command.cdbLength < 12 || command.cdb[10] != kCommitMarker0 ||
        command.cdb[11] != kCommitMarker1 || command.length != 0) {
        return abandonDownload(sense::kInvalidField);
    }
    if (!downloadActive_ || chunksReceived_ != kChunkCount) {
        return abandonDownload(sense::kSequenceError);
    }
    downloadActive_ = false;
    writing_ = true;
    commitAt_ = now;
    pollIndex_ = 0;
    scriptEndedAt_ = now;
    return goodResult();
}

// ---- accessors ----

FirmwareImage TargetDrive::installedFirmware() {
    auto lock = lockAndSettle();
    return installed_;
}

std::string TargetDrive::installedIdentityCode() {
    auto lock = lockAndSettle();
    return identityCode(installed_);
}

FirmwareImage TargetDrive::downloadBuffer() {
    auto lock = lockAndSettle();
    return downloadBuffer_;
}

std::uint32_t TargetDrive::chunksReceived() {
    auto lock = lockAndSettle();
    return chunksReceived_;
}

bool TargetDrive::downloadActive() {
    auto lock = lockAndSettle();
    return downloadActive_;
}

TrayState TargetDrive::tray() {
    auto lock = lockAndSettle();
    return tray_;
}

bool TargetDrive::writing() {
    auto lock = lockAndSettle();
    return writing_;
}

bool TargetDrive::resetReported() {
    auto lock = lockAndSettle();
    return updated_ && !unitAttention_;
}

std::uint32_t TargetDrive::resets() {
    auto lock = lockAndSettle();
    return resets_;
}

}  // namespace drivesim

#include "fuzzed_drive.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>

#include "drivesim/faults.h"
#include "drivesim/sense.h"

namespace fuzz {
namespace {

using drivesim::ScsiResult;
using drivesim::SenseCode;

constexpr std::uint8_t kAnswerWorking = 0;
constexpr std::uint8_t kAnswerGood = 1;
constexpr std::uint8_t kAnswerRawSense = 2;
constexpr std::uint8_t kAnswerKnownSense = 3;
constexpr std::uint8_t kAnswerFailed = 4;
constexpr std::uint8_t kAnswerHang = 5;
constexpr std::uint8_t kAnswerAnyStatus = 6;
constexpr std::uint8_t kAnswerGone = 7;

constexpr std::array<std::uint32_t, 8> kLongBusyMs = {500,   1000,   5000,   30000,
                                                      60000, 120000, 300000, 600000};

// Sense codes a drive of this kind sends, so that the fuzzer finds them in one byte.
struct KnownSense {
    SenseCode code;
    bool withProgress;
};
constexpr std::array<KnownSense, 12> kKnownSense = {{
    {drivesim::sense::kNoMedium, false},
    {drivesim::sense::kTrayOpen, false},
    {drivesim::sense::kBecomingReady, false},
    {drivesim::sense::kLongWriteInProgress, true},
    {drivesim::sense::kPowerOnReset, false},
    {drivesim::sense::kInvalidField, false},
    {drivesim::sense::kInvalidOpcode, false},
    {drivesim::sense::kSequenceError, false},
    {drivesim::sense::kLongWriteInProgress, false},
    {{0x06, 0x28, 0x00}, false},  // not ready to ready change
    {{0x03, 0x0C, 0x00}, false},  // write error
    {{0x04, 0x44, 0x00}, false},  // internal target failure
}};

constexpr std::array<std::uint32_t, 8> kErrors = {
    drivesim::win_error::kGenFailure,   drivesim::win_error::kIoDevice,
    drivesim::win_error::kSemTimeout,   drivesim::win_error::kDeviceNotConnected,
    drivesim::win_error::kNotSupported, drivesim::win_error::kAccessDenied,
    0,  // failed without saying why
    87, // invalid parameter
};

std::uint32_t busyFor(std::uint8_t selector, std::uint32_t own) {
    std::uint8_t code = selector >> 3;
    if (code == 0) return own;
    if (code < 24) return code + 1u;
    return kLongBusyMs[code - 24u];
}

void readRawSense(ByteScript& script, ScsiResult& result) {
    std::size_t length = script.next() % (result.sense.size() + 1);
    result.sense.fill(0);
    script.take(result.sense.data(), length);
    result.senseLength = static_cast<std::uint8_t>(length);
}

// A sense length as the drive claims it (any, even past the 32 bytes a result holds), then
// the bytes it has.
void readClaimedSense(ByteScript& script, ScsiResult& result) {
    std::uint8_t claimed = script.next();
    result.sense.fill(0);
    script.take(result.sense.data(), std::min<std::size_t>(claimed, result.sense.size()));
    result.senseLength = claimed;
}

std::string cdbText(const drivesim::ScsiCommand& command) {
    std::string text;
    char byte[4];
    for (std::size_t i = 0; i < command.cdbLength; ++i) {
        std::snprintf(byte, sizeof byte, "%02X ", command.cdb[i]);
        text += byte;
    }
    return text;
}

}  // namespace

// ---- WellBehavedDrive ----

WellBehavedDrive::WellBehavedDrive(drivesim::Clock clock) : clock_(std::move(clock)) {}

void WellBehavedDrive::settle(std::uint64_t now) {
    using drivesim::TrayState;
    if (tray_ == TrayState::Opening && now >= trayMovedAt_ + timings_.trayOpenMs)
        tray_ = TrayState::Open;
    else if (tray_ == TrayState::Closing && now >= trayMovedAt_ + timings_.trayCloseMs)
        tray_ = TrayState::Closed;
    if (writing_ && now >= commitAt_ + timings_.writeMs) {
        writing_ = false;
        unitAttention_ = true;
    }
}

ScsiResult WellBehavedDrive::execute(const drivesim::ScsiCommand& command) {
    std::uint64_t now = clock_();
    settle(now);
    drivesim::CommandKind kind = drivesim::classify(command);
    ScsiResult result = handle(command, kind, now);
    result.busyMs = timings_.busy.forKind(kind);
    return result;
}

ScsiResult WellBehavedDrive::handle(const drivesim::ScsiCommand& command,
                                    drivesim::CommandKind kind, std::uint64_t now) {
    using drivesim::CommandKind;
    using drivesim::TrayState;
    namespace sense = drivesim::sense;
    if (kind == CommandKind::Inquiry) return inquiry(command);
    if (writing_) {
        std::uint64_t progress = (now - commitAt_) * drivesim::kImageSize / timings_.writeMs;
        return drivesim::checkConditionResult(sense::kLongWriteInProgress,
                                              static_cast<std::uint32_t>(progress));
    }
    if (unitAttention_) {
        unitAttention_ = false;
        return drivesim::checkConditionResult(sense::kPowerOnReset);
    }
    const std::uint8_t* cdb = command.cdb;
    switch (kind) {
        case CommandKind::TestUnitReady:
            switch (tray_) {
                case TrayState::Closed: return drivesim::checkConditionResult(sense::kNoMedium);
                case TrayState::Open: return drivesim::checkConditionResult(sense::kTrayOpen);
                case TrayState::Opening:
                case TrayState::Closing: break;
            }
            return drivesim::checkConditionResult(sense::kBecomingReady);
        case CommandKind::StartStopUnit:
            if (command.cdbLength < 5) return drivesim::checkConditionResult(sense::kInvalidField);
            if ((cdb[4] & 3) == 2 && (tray_ == TrayState::Closed || tray_ == TrayState::Closing)) {
                tray_ = TrayState::Opening;
                trayMovedAt_ = now;
            } else if ((cdb[4] & 3) == 3 &&
                       (tray_ == TrayState::Open || tray_ == TrayState::Opening)) {
                tray_ = TrayState::Closing;
                trayMovedAt_ = now;
            }
            return drivesim::goodResult();
        case CommandKind::ReadBuffer: return readBuffer(command);
        case CommandKind::DownloadBegin:
            if (command.cdbLength < 10 || cdb[9] != 0x0B || command.length != 0)
                return abandon(sense::kInvalidField);
            downloading_ = true;
            nextOffset_ = 0;
            chunks_ = 0;
            return drivesim::goodResult();
        case CommandKind::DownloadChunk: return chunk(command);
        case CommandKind::DownloadCommit:
            if (command.cdbLength < 12 || cdb[10] != 0x1B || cdb[11] != 0x12 || command.length != 0)
                return abandon(sense::kInvalidField);
            if (!downloading_ || chunks_ != drivesim::kChunkCount)
                return abandon(sense::kSequenceError);
            downloading_ = false;
            writing_ = true;
            commitAt_ = now;
            return drivesim::goodResult();
        case CommandKind::WriteBuffer: return abandon(sense::kInvalidField);
        case CommandKind::Inquiry:
        case CommandKind::Other: break;
    }
    return drivesim::checkConditionResult(sense::kInvalidOpcode);
}

ScsiResult WellBehavedDrive::inquiry(const drivesim::ScsiCommand& command) const {
    static const std::vector<std::uint8_t> data =
        drivesim::inquiryData(drivesim::Identity{"ZELT", "QX-57N8RV", "1.00", 36});
    if (command.cdbLength < 6 || command.cdb[2] != 0 || (command.cdb[1] & 1) != 0)
        return drivesim::checkConditionResult(drivesim::sense::kInvalidField);
    std::size_t allocation = (std::size_t{command.cdb[3]} << 8) | command.cdb[4];
    std::size_t count = std::min({data.size(), allocation, std::size_t{command.length}});
    if (count && command.data) std::memcpy(command.data, data.data(), count);
    return drivesim::goodResult(static_cast<std::uint32_t>(count));
}

ScsiResult WellBehavedDrive::readBuffer(const drivesim::ScsiCommand& command) const {
    const drivesim::FirmwareImage& installed = drivesim::defaultInstalledFirmware();
    const std::uint8_t* cdb = command.cdb;
    if (command.cdbLength < 10 || (cdb[1] & 0x1F) != 6 || cdb[2] != 0)
        return drivesim::checkConditionResult(drivesim::sense::kInvalidField);
    std::uint32_t offset = (std::uint32_t{cdb[3]} << 16) | (std::uint32_t{cdb[4]} << 8) | cdb[5];
    std::uint32_t length = (std::uint32_t{cdb[6]} << 16) | (std::uint32_t{cdb[7]} << 8) | cdb[8];
    if (std::uint64_t{offset} + length > installed.size())
        return drivesim::checkConditionResult(drivesim::sense::kInvalidField);
    std::uint32_t count = std::min(length, command.length);
    if (count && command.data) std::memcpy(command.data, installed.data() + offset, count);
    return drivesim::goodResult(count);
}

ScsiResult WellBehavedDrive::chunk(const drivesim::ScsiCommand& command) {
    namespace sense = drivesim::sense;
    if (!downloading_) return abandon(sense::kSequenceError);
    if (command.cdbLength < 10) return abandon(sense::kInvalidField);
    const std::uint8_t* cdb = command.cdb;
    std::uint32_t offset = (std::uint32_t{cdb[3]} << 16) | (std::uint32_t{cdb[4]} << 8) | cdb[5];
    std::uint32_t length = (std::uint32_t{cdb[6]} << 16) | (std::uint32_t{cdb[7]} << 8) | cdb[8];
    if (offset != nextOffset_) return abandon(sense::kSequenceError);
    if (cdb[2] != 0 || length != drivesim::kChunkSize || command.length != length ||
        command.data == nullptr || std::uint64_t{offset} + length > drivesim::kImageSize)
        return abandon(sense::kInvalidField);
    nextOffset_ += length;
    ++chunks_;
    return drivesim::goodResult(length);
}

ScsiResult WellBehavedDrive::abandon(drivesim::SenseCode why) {
    downloading_ = false;
    return drivesim::checkConditionResult(why);
}

// ---- ByteScript and FuzzedDrive ----

std::size_t ByteScript::take(std::uint8_t* out, std::size_t count) {
    std::size_t available = std::min(count, size_ - std::min(pos_, size_));
    if (available) std::memcpy(out, data_ + pos_, available);
    pos_ += available;
    return available;
}

FuzzedDrive::FuzzedDrive(ByteScript& script, const std::vector<std::uint8_t>& image,
                         drivesim::Clock clock, bool trace)
    : script_(script),
      image_(image),
      trace_(trace),
      working_(std::move(clock)) {}

drivesim::ScsiResult FuzzedDrive::execute(const drivesim::ScsiCommand& command) {
    std::lock_guard<std::mutex> lock(mutex_);
    std::size_t at = script_.position();
    std::string how;
    ScsiResult result = answer(command, how);

    CommandRecord record;
    record.cdb.assign(command.cdb, command.cdb + command.cdbLength);
    record.direction = command.direction;
    record.length = command.length;
    if (command.direction == drivesim::DataDirection::Out && command.data && command.length &&
        command.cdbLength >= 6 && command.cdb[0] == drivesim::opcode::kWriteBuffer) {
        std::uint32_t offset = (std::uint32_t{command.cdb[3]} << 16) |
                               (std::uint32_t{command.cdb[4]} << 8) | command.cdb[5];
        record.dataOutIsImage =
            std::uint64_t{offset} + command.length <= image_.size() &&
            std::memcmp(command.data, image_.data() + offset, command.length) == 0;
    }
    if (command.direction == drivesim::DataDirection::In && command.data &&
        result.transport == drivesim::Transport::Delivered) {
        std::uint32_t moved = std::min(result.transferred, command.length);
        record.dataIn.assign(command.data, command.data + moved);
    }
    record.result = result;
    commands_.push_back(std::move(record));

    if (trace_) {
        std::fprintf(stderr, "@%zu %s-> %s busy %u\n", at, cdbText(command).c_str(), how.c_str(),
                     result.busyMs);
    }
    return result;
}

drivesim::ScsiResult FuzzedDrive::answer(const drivesim::ScsiCommand& command, std::string& how) {
    if (script_.exhausted()) {
        how = "out of bytes: 06/29/00";
        ScsiResult result = drivesim::checkConditionResult(drivesim::sense::kPowerOnReset);
        result.busyMs = 1;
        return result;
    }
    std::uint8_t selector = script_.next();
    ScsiResult result;
    switch (selector & 7) {
        case kAnswerWorking:
            result = working_.execute(command);
            how = "working drive";
            break;
        case kAnswerGood: {
            result = drivesim::goodResult();
            how = "GOOD";
            if (command.direction == drivesim::DataDirection::In && command.data &&
                command.length) {
                std::uint32_t count = script_.next();
                if (count == 0xFF) {
                    count = std::uint32_t{script_.next()} << 8;
                    count |= script_.next();
                }
                count = std::min(count, command.length);
                std::size_t got = script_.take(command.data, count);
                std::memset(command.data + got, 0, count - got);
                result.transferred = count;
                how += " " + std::to_string(count) + "B";
            }
            break;
        }
        case kAnswerRawSense:
            result.status = drivesim::kStatusCheckCondition;
            readRawSense(script_, result);
            how = "raw sense " + std::to_string(result.senseLength) + "B";
            break;
        case kAnswerKnownSense: {
            const KnownSense& known = kKnownSense[script_.next() % kKnownSense.size()];
            std::optional<std::uint32_t> information;
            if (known.withProgress) {
                std::uint8_t bytes[4] = {};
                script_.take(bytes, sizeof bytes);
                information = (std::uint32_t{bytes[0]} << 24) | (std::uint32_t{bytes[1]} << 16) |
                              (std::uint32_t{bytes[2]} << 8) | bytes[3];
            }
            result = drivesim::checkConditionResult(known.code, information);
            how = drivesim::toString(known.code);
            if (information) how += " info " + std::to_string(*information);
            break;
        }
        case kAnswerFailed:
            result = drivesim::failedResult(kErrors[script_.next() % kErrors.size()]);
            how = "failed " + std::to_string(result.errorCode);
            break;
        case kAnswerHang:
            result.transport = drivesim::Transport::Hung;
            how = "hung";
            break;
        case kAnswerAnyStatus:
            result.status = script_.next();
            readClaimedSense(script_, result);
            how = "status " + std::to_string(result.status);
            break;
        case kAnswerGone:
            goneFor_ = script_.next();
            goneForGood_ = goneFor_ == 0;
            result = drivesim::failedResult(drivesim::win_error::kDeviceNotConnected);
            how = "gone";
            break;
    }
    result.busyMs = busyFor(selector, (selector & 7) == kAnswerWorking ? result.busyMs : 1);
    return result;
}

std::uint32_t FuzzedDrive::openError() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (script_.exhausted()) return 0;
    std::size_t at = script_.position();
    std::uint32_t error = (script_.next() & 7) == 7 ? drivesim::win_error::kAccessDenied : 0;
    if (error) events_ += 'D';
    if (trace_) std::fprintf(stderr, "@%zu open -> %u\n", at, error);
    return error;
}

bool FuzzedDrive::present() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!goneForGood_ && goneFor_ == 0) return true;
    if (!goneForGood_) --goneFor_;
    events_ += 'G';
    return false;
}

std::uint32_t FuzzedDrive::mediaChangeControl(bool pollingOff) {
    std::lock_guard<std::mutex> lock(mutex_);
    events_ += pollingOff ? 'F' : 'N';
    if (script_.exhausted()) return 0;
    std::size_t at = script_.position();
    std::uint32_t error = (script_.next() & 3) == 3 ? drivesim::win_error::kGenFailure : 0;
    if (trace_)
        std::fprintf(stderr, "@%zu media change %s -> %u\n", at, pollingOff ? "off" : "on", error);
    return error;
}

std::vector<CommandRecord> FuzzedDrive::commands() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return commands_;
}

std::string FuzzedDrive::events() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return events_;
}

}  // namespace fuzz

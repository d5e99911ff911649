#include "drivesim/transcript.h"

#include <cstdio>
#include <utility>

namespace drivesim {
namespace {

const char* directionText(DataDirection direction) {
    switch (direction) {
    case DataDirection::Out: return "out";
    case DataDirection::In: return "in";
    case DataDirection::Unspecified: return "none";
    }
    return "?";
}

std::string hexByte(std::uint8_t value) {
    char buffer[4];
    std::snprintf(buffer, sizeof buffer, "%02X", unsigned{value});
    return buffer;
}

std::string hexWord(std::uint32_t value) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "0x%X", static_cast<unsigned>(value));
    return buffer;
}

}  // namespace

std::string TranscriptEntry::toString() const {
    std::string text;
    switch (type) {
    case EntryType::MediaChange:
        text = pollingOff ? "media change polling off" : "media change polling on";
        if (errorCode != 0) text += " -> error " + std::to_string(errorCode);
        break;
    case EntryType::Open:
        text = "open";
        if (errorCode != 0) text += " -> error " + std::to_string(errorCode);
        break;
    case EntryType::Command:
        for (std::uint8_t byte : cdb) text += hexByte(byte) + ' ';
        text += directionText(direction);
        text += ' ' + std::to_string(length) + " t" + std::to_string(timeoutSeconds) + " -> ";
        if (transport == Transport::Failed) {
            text += "FAILED " + std::to_string(errorCode);
        } else if (transport == Transport::Hung) {
            text += "HUNG";
        } else if (status == kStatusGood) {
            text += "GOOD";
        } else if (status == kStatusCheckCondition) {
            text += "CHECK " + drivesim::toString(sense);
            if (informationValid) text += " info=" + hexWord(information);
        } else {
            text += "status " + hexByte(status);
        }
        if (transferred != 0) text += ' ' + std::to_string(transferred) + 'B';
        if (answeredBy == AnsweredBy::Fault) {
            text += " [fault " + std::to_string(faultIndex) + ' ';
            text += drivesim::toString(faultAction);
            text += ']';
        } else if (answeredBy == AnsweredBy::Gone) {
            text += " [gone]";
        }
        break;
    }
    text += " @" + std::to_string(timeMs);
    return text;
}

void Transcript::add(TranscriptEntry entry) {
    std::lock_guard<std::mutex> lock(mutex_);
    entries_.push_back(std::move(entry));
}

void Transcript::clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    entries_.clear();
}

std::size_t Transcript::size() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return entries_.size();
}

std::vector<TranscriptEntry> Transcript::entries() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return entries_;
}

std::vector<TranscriptEntry> Transcript::commands() const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<TranscriptEntry> out;
    for (const auto& entry : entries_) {
        if (entry.type == EntryType::Command) out.push_back(entry);
    }
    return out;
}

std::vector<TranscriptEntry> Transcript::commands(CommandKind kind) const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<TranscriptEntry> out;
    for (const auto& entry : entries_) {
        if (entry.type == EntryType::Command && entry.kind == kind) out.push_back(entry);
    }
    return out;
}

std::string Transcript::dump() const {
    std::string text;
    for (const auto& entry : entries()) {
        text += entry.toString();
        text += '\n';
    }
    return text;
}

}  // namespace drivesim

// Update scenarios: an ordinary drive on E: (index 0) and the target drive on G: (index 1),
// the program started and the target's entry selected.
#pragma once

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "drivesim/hash.h"
#include "scenario/scenario.h"
#include "win32sim/process.h"
#include "win32sim/resources.h"

namespace update_test {

constexpr int kOrdinaryEntry = 0;
constexpr int kTargetEntry = 1;

const char* const kNoEndReported =
    "The drive did not report the end of the update.\n"
    "Leave the computer on for a few minutes, then restart it and check the drive.";

// The built-in image, as the program's resources hold it.
inline std::vector<std::uint8_t> builtInImage() {
    auto bytes = win32sim::resourceBytes(10, IDR_FIRMWARE);
    return bytes ? *bytes : std::vector<std::uint8_t>{};
}

// One line per command or notification switch the drive saw, e.g. "TUR -> 02/3A/02",
// "CHUNK 1FC000 -> GOOD", "MCN off". Opens are left out.
inline std::string describe(const drivesim::TranscriptEntry& entry) {
    using drivesim::CommandKind;
    if (entry.type == drivesim::EntryType::MediaChange)
        return entry.pollingOff ? "MCN off" : "MCN on";
    char text[96];
    auto cdb = [&](std::size_t i) { return i < entry.cdb.size() ? entry.cdb[i] : 0; };
    unsigned offset = (cdb(3) << 16) | (cdb(4) << 8) | cdb(5);
    switch (entry.kind) {
        case CommandKind::Inquiry: std::snprintf(text, sizeof text, "INQUIRY"); break;
        case CommandKind::TestUnitReady: std::snprintf(text, sizeof text, "TUR"); break;
        case CommandKind::StartStopUnit: std::snprintf(text, sizeof text, "SSU %d", cdb(4)); break;
        case CommandKind::ReadBuffer:
            std::snprintf(text, sizeof text, "READ BUFFER %X %u", offset, entry.length);
            break;
        case CommandKind::DownloadBegin: std::snprintf(text, sizeof text, "BEGIN"); break;
        case CommandKind::DownloadChunk: std::snprintf(text, sizeof text, "CHUNK %X", offset); break;
        case CommandKind::DownloadCommit: std::snprintf(text, sizeof text, "COMMIT"); break;
        default: std::snprintf(text, sizeof text, "OTHER %02X", cdb(0)); break;
    }
    std::string line = text;
    if (entry.transport == drivesim::Transport::Failed) return line + " -> FAILED";
    if (entry.transport == drivesim::Transport::Hung) return line + " -> HUNG";
    return line + " -> " + (entry.status == 0 ? "GOOD" : drivesim::toString(entry.sense));
}

class UpdateScenario : public scenario::ScenarioTest {
protected:
    // Starts the program on E: (ordinary) and G: (target) and selects the target's entry.
    void startWithTarget(drivesim::TargetDriveConfig config = {}) {
        emulated().addOrdinary('E');
        target = emulated().addTarget('G', std::move(config));
        startProgram();
        user->selectEntry(IDC_DRIVE_LIST, kTargetEntry);
    }

    // What the target saw after the program's start (the listing's INQUIRY left out).
    std::vector<std::string> targetLog() const {
        std::vector<std::string> lines;
        for (const auto& entry : target->transcript().entries()) {
            if (entry.type == drivesim::EntryType::Open) continue;
            if (entry.type == drivesim::EntryType::Command &&
                entry.kind == drivesim::CommandKind::Inquiry)
                continue;
            lines.push_back(describe(entry));
        }
        return lines;
    }

    std::vector<drivesim::TranscriptEntry> targetCommands(drivesim::CommandKind kind) const {
        return target->transcript().commands(kind);
    }

    static int count(const std::vector<std::string>& lines, const std::string& prefix) {
        int n = 0;
        for (const auto& line : lines) n += line.rfind(prefix, 0) == 0;
        return n;
    }

    // After an early end: notification on again, the buttons back, sleep allowed again.
    void expectRestored() {
        ASSERT_TRUE(win32sim::waitForThreads(std::chrono::seconds(10))) << "the worker never ended";
        auto history = target->mediaChangeHistory();
        ASSERT_FALSE(history.empty());
        EXPECT_FALSE(history.back().pollingOff) << "notification switched on again";
        EXPECT_FALSE(target->mediaPollingOff());
        EXPECT_TRUE(user->isEnabled(IDC_START));
        EXPECT_TRUE(user->isEnabled(IDC_EXIT));
        auto power = win32sim::executionStateCalls();
        ASSERT_FALSE(power.empty());
        EXPECT_EQ(power.front(), ES_CONTINUOUS | ES_SYSTEM_REQUIRED);
        EXPECT_EQ(power.back(), static_cast<EXECUTION_STATE>(ES_CONTINUOUS));
        EXPECT_TRUE(user->dialogOpen());
    }

    std::shared_ptr<drivesim::TargetDrive> target;
};

}  // namespace update_test

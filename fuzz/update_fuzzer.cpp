// The whole program against a drive that answers with the fuzzer's bytes.
//
// Each input is one run of the program on an emulated machine: a fixed disk C:, some
// ordinary DVD drives and the fuzzed drive (see fuzzed_drive.h), on the stand-in's virtual
// clock. The scripted user answers every message box, selects the first entry that names the
// target model (if any), presses START, answers every box until the update has ended, and
// closes the program if it is still open. Besides the sanitizers' findings, a run fails when
// the program breaks one of the rules that protect the drive:
//   - WRITE BUFFER only to a drive that identified as the target model and whose identity
//     block carries the code that takes the update;
//   - the chunks are the built-in image's, in order, after a begun download; the commit only
//     after all 128 went through;
//   - "completed" only after the drive reported its reset following the commit;
//   - nothing is written to the ordinary drives;
//   - at the end the machine may sleep again and the drive's media change polling is not
//     left off; the worker has ended and the dialog is back (or the program has closed);
//   - every run ends within a bound of real time.
//
// The first byte lays out the machine: bits 0-1 the ordinary drives before the fuzzed one
// (0, 1, 3 or 8: with 8 the table is full and the fuzzed drive is not listed), bit 2 one more
// ordinary drive after it. Set FW_FUZZ_TRACE=1 to see each request and the bytes it took.
#include <windows.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "drive.h"
#include "drivesim/ordinary_drive.h"
#include "fuzzed_drive.h"
#include "main_dialog.h"
#include "resource.h"
#include "support/drive_layer_state.h"
#include "support/stand_in.h"
#include "win32sim/clock.h"
#include "win32sim/debug_output.h"
#include "win32sim/front_end.h"
#include "win32sim/machine.h"
#include "win32sim/message_boxes.h"
#include "win32sim/process.h"
#include "win32sim/resources.h"
#include "win32sim/scripted_user.h"

namespace {

using Clock = std::chrono::steady_clock;

// Real time a run may take before it counts as stuck. A run takes milliseconds; the bound is
// generous for slow machines and the sanitizers.
constexpr auto kRunBound = std::chrono::seconds(20);

constexpr const char* kTargetPattern = "ZELT    QX-57N8RV    ";
constexpr const char* kCodeTakesUpdate = "KT8";
constexpr const char* kCompleted = "FW Updating Completed Sucessfully";
constexpr std::size_t kChunkSize = 0x4000;
constexpr std::size_t kChunkCount = 128;
constexpr std::size_t kIdentityCodeOffset = 70;
constexpr std::array<int, 4> kOrdinariesBefore = {0, 1, 3, 8};

[[noreturn]] void fail(const std::string& what) {
    std::fprintf(stderr, "\n*** the program broke a rule: %s\n", what.c_str());
    std::fprintf(stderr, "*** rerun the input with FW_FUZZ_TRACE=1 to see the drive's side\n");
    std::abort();
}

void require(bool condition, const std::string& what) {
    if (!condition) fail(what);
}

// The built-in image, as the program's resources hold it.
const std::vector<std::uint8_t>& builtInImage() {
    static const std::vector<std::uint8_t> image = [] {
        auto bytes = win32sim::resourceBytes(10, IDR_FIRMWARE);
        if (!bytes || bytes->size() != kChunkSize * kChunkCount) fail("no built-in image");
        return *bytes;
    }();
    return image;
}

bool delivered(const fuzz::CommandRecord& record) {
    return record.result.transport == drivesim::Transport::Delivered;
}

bool good(const fuzz::CommandRecord& record) {
    return delivered(record) && record.result.status == 0;
}

std::uint32_t be24(const std::vector<std::uint8_t>& cdb, std::size_t at) {
    if (cdb.size() < at + 3) return 0;
    return (std::uint32_t{cdb[at]} << 16) | (std::uint32_t{cdb[at + 1]} << 8) | cdb[at + 2];
}

// The identity text the drive gave: vendor, product and revision (bytes 8 to 35 of its
// INQUIRY data), up to the first zero byte.
std::string identityText(const std::vector<std::uint8_t>& data) {
    std::string text;
    for (std::size_t i = 8; i < 36 && i < data.size() && data[i] != 0; ++i)
        text += static_cast<char>(data[i]);
    return text;
}

// Whether a command reported the drive's reset (06/29/00) in the sense bytes as the host
// reads them: after a status other than GOOD, the first 24 bytes the drive sent, zero past
// what it sent.
bool reportsReset(const fuzz::CommandRecord& record) {
    const auto& r = record.result;
    if (!delivered(record) || r.status == 0) return false;
    std::array<std::uint8_t, 24> sense{};
    std::memcpy(sense.data(), r.sense.data(), std::min<std::size_t>(r.senseLength, sense.size()));
    return sense[2] == 0x06 && sense[12] == 0x29 && sense[13] == 0x00;
}

// The rules for what the program sent the fuzzed drive, given whether it said "completed".
void checkDialogue(const std::vector<fuzz::CommandRecord>& commands, bool completed) {
    bool identified = false;  // INQUIRY named the target model
    bool eligible = false;    // the identity block carried the code that takes the update
    bool begun = false;       // a download begun and not broken since
    std::size_t chunks = 0;   // chunks taken since the begin
    bool committed = false;
    bool resetAfterCommit = false;

    for (std::size_t i = 0; i < commands.size(); ++i) {
        const auto& c = commands[i];
        if (c.cdb.empty()) continue;
        std::string at = " (command " + std::to_string(i + 1) + ")";
        switch (c.cdb[0]) {
            case 0x12:
                identified = good(c) &&
                             identityText(c.dataIn).find(kTargetPattern) != std::string::npos;
                break;
            case 0x3C:
                eligible = good(c) && c.dataIn.size() >= kIdentityCodeOffset + 3 &&
                           std::memcmp(c.dataIn.data() + kIdentityCodeOffset, kCodeTakesUpdate,
                                       3) == 0;
                break;
            case 0x3B: {
                require(identified,
                        "WRITE BUFFER to a drive that did not identify as the target" + at);
                require(eligible,
                        "WRITE BUFFER to a drive whose firmware does not take the update" + at);
                std::uint8_t mode = c.cdb.size() > 1 ? c.cdb[1] & 0x1F : 0;
                if (mode == 1) {
                    begun = good(c);
                    chunks = 0;
                } else if (mode == 6) {
                    require(begun, "a chunk without a begun download, or after a failed one" + at);
                    require(chunks < kChunkCount, "more chunks than the image has" + at);
                    require(be24(c.cdb, 3) == chunks * kChunkSize && be24(c.cdb, 6) == kChunkSize &&
                                c.length == kChunkSize,
                            "a chunk out of order or of the wrong size" + at);
                    require(c.dataOutIsImage, "a chunk that is not the image's" + at);
                    if (good(c))
                        ++chunks;
                    else
                        begun = false;
                } else if (mode == 7) {
                    require(begun && chunks == kChunkCount,
                            "the commit without the whole image taken" + at);
                    committed = good(c);
                    begun = false;
                    resetAfterCommit = false;
                } else {
                    fail("WRITE BUFFER in an unexpected mode" + at);
                }
                break;
            }
            case 0x00:
                if (committed && reportsReset(c)) resetAfterCommit = true;
                break;
            default:
                break;
        }
    }
    if (completed)
        require(committed && resetAfterCommit,
                "\"completed\" without the drive's reset after the commit");
}

// The program as Windows would start it, on its own thread.
class Program {
public:
    Program()
        : thread_([this] {
              char commandLine[] = "";
              WinMain(GetModuleHandleA(nullptr), nullptr, commandLine, 1);
              ended_ = true;
          }) {}
    ~Program() {
        if (thread_.joinable()) thread_.join();
    }
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    bool ended() const { return ended_; }

private:
    std::atomic<bool> ended_{false};
    std::thread thread_;
};

bool timeIsUp(Clock::time_point deadline) { return Clock::now() >= deadline; }

// Waits a little for anything on show to change.
void waitBriefly(std::uint64_t seen) {
    win32sim::waitForChange(seen, std::chrono::milliseconds(1));
}

// The state a new process starts from: the stand-in's, the drive layer's and the dialog's.
void resetStandIn() {
    testing_support::resetStandIn();
    testing_support::resetDriveLayer();
    g_hDlg = nullptr;
    g_TargetDriveCount = 0;
}

void runOnce(const std::uint8_t* data, std::size_t size, bool trace) {
    resetStandIn();
    fuzz::ByteScript script(data, size);
    std::uint8_t layout = script.next();
    int before = kOrdinariesBefore[layout & 3];
    bool after = (layout & 4) != 0;

    drivesim::Clock clock = [] { return win32sim::clock::nowMs(); };
    auto machine = std::make_shared<win32sim::Machine>();
    machine->setDrive('C', win32sim::DriveKind::Fixed);
    std::vector<std::shared_ptr<drivesim::OrdinaryDrive>> ordinaries;
    char letter = 'D';
    auto addOrdinary = [&] {
        ordinaries.push_back(
            std::make_shared<drivesim::OrdinaryDrive>(drivesim::OrdinaryDriveConfig{}, clock));
        machine->setOptical(letter++, ordinaries.back());
    };
    for (int i = 0; i < before; ++i) addOrdinary();
    auto fuzzed = std::make_shared<fuzz::FuzzedDrive>(script, builtInImage(), clock, trace);
    machine->setOptical(letter++, fuzzed);
    if (after) addOrdinary();
    win32sim::installMachine(machine);

    const auto deadline = Clock::now() + kRunBound;
    bool completedBoxSeen = false;
    {
        win32sim::ScriptedUser user;
        auto answerBox = [&] {
            if (auto box = user.waitForMessageBox(std::chrono::milliseconds(0)))
                completedBoxSeen |= box->text == kCompleted;
            user.answerMessageBox(IDOK);
        };
        Program program;

        // The dialog, after any boxes the listing brings up.
        for (;;) {
            std::uint64_t seen = win32sim::changeCount();
            if (user.dialogOpen()) break;
            require(!program.ended(), "the program ended without showing its dialog");
            require(!timeIsUp(deadline), "the dialog never appeared");
            if (user.openMessageBoxes() > 0) {
                answerBox();
                continue;
            }
            waitBriefly(seen);
        }

        auto entries = user.entries(IDC_DRIVE_LIST);
        for (std::size_t i = 0; i < entries.size(); ++i) {
            if (entries[i].find(kTargetPattern) != std::string::npos) {
                user.selectEntry(IDC_DRIVE_LIST, static_cast<int>(i));
                break;
            }
        }
        user.click(IDC_START);

        // Every box answered until the worker has ended.
        for (;;) {
            require(!timeIsUp(deadline), "the update never ended");
            std::uint64_t seen = win32sim::changeCount();
            if (user.openMessageBoxes() > 0) {
                answerBox();
                continue;
            }
            if (win32sim::runningThreads() == 0) break;
            waitBriefly(seen);
        }

        if (completedBoxSeen) {
            // A completed update closes the program.
            while (!program.ended()) {
                require(!timeIsUp(deadline), "the program did not close after the update");
                std::this_thread::sleep_for(std::chrono::microseconds(100));
            }
        } else {
            require(user.dialogOpen(), "the dialog is gone after an update that did not complete");
            require(user.isEnabled(IDC_START) && user.isEnabled(IDC_EXIT),
                    "START or EXIT still disabled after the update ended");
            user.closeFromCaption();
            while (!program.ended()) {
                require(!timeIsUp(deadline), "the program did not close");
                std::uint64_t seen = win32sim::changeCount();
                if (user.openMessageBoxes() > 0) {
                    answerBox();
                    continue;
                }
                waitBriefly(seen);
            }
        }
    }
    require(win32sim::waitForThreads(std::chrono::seconds(5)), "a thread never ended");

    // What the program did to the drives.
    bool completed = false;
    for (const auto& box : win32sim::messageBoxes()) {
        completed |= box.text == kCompleted;
        if (trace) std::fprintf(stderr, "box \"%s\": %s\n", box.caption.c_str(), box.text.c_str());
    }
    checkDialogue(fuzzed->commands(), completed);
    for (const auto& ordinary : ordinaries) {
        using drivesim::CommandKind;
        for (auto kind : {CommandKind::DownloadBegin, CommandKind::DownloadChunk,
                          CommandKind::DownloadCommit, CommandKind::WriteBuffer})
            require(ordinary->commandsReceived(kind) == 0,
                    "WRITE BUFFER sent to an ordinary drive");
    }
    auto power = win32sim::executionStateCalls();
    require(power.empty() || power.back() == ES_CONTINUOUS,
            "the machine is kept awake after the end");
    std::string events = fuzzed->events();
    std::size_t lastOff = events.rfind('F');
    require(lastOff == std::string::npos ||
                events.find_first_of("NDG", lastOff) != std::string::npos,
            "media change polling left off");

    win32sim::installMachine(std::make_shared<win32sim::Machine>());
    win32sim::clearMessageBoxes();
    win32sim::clearDebugOutput();
    win32sim::clearExecutionStateCalls();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool trace = [] {
        const char* value = std::getenv("FW_FUZZ_TRACE");
        return value && *value && std::strcmp(value, "0") != 0;
    }();
    runOnce(data, size, trace);
    return 0;
}

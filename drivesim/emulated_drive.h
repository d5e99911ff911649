// What every emulated drive shares: the clock, command faults and device-level faults, the
// transcript, media change polling state, and INQUIRY. A concrete drive supplies the
// answers of its own logic through handle() and lets its time-driven state catch up with
// the clock in settle().
#pragma once

#include <array>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "drivesim/clock.h"
#include "drivesim/command_kind.h"
#include "drivesim/faults.h"
#include "drivesim/scsi_device.h"
#include "drivesim/transcript.h"

namespace drivesim {

// What INQUIRY reports. Strings are padded with spaces (or cut) to 8, 16 and 4 characters.
struct Identity {
    std::string vendor;
    std::string product;
    std::string revision;
    // Bytes of INQUIRY data the drive has. 36 is the standard length; fewer (20, 30) makes an
    // odd drive that ends its data early while still claiming 31 additional bytes; more adds
    // zero bytes (and raises the additional length).
    std::uint32_t inquiryLength = 36;
};

// Standard INQUIRY data: CD/DVD device (type 5), removable, version 5, response format 2,
// at least 36 bytes.
std::vector<std::uint8_t> inquiryData(const Identity& identity);

// The drive's own time for a command of each kind, reported as ScsiResult::busyMs. Small
// but never zero, so that a host polling without sleeping still moves a virtual clock on.
struct BusyTimes {
    std::uint32_t inquiryMs = 1;
    std::uint32_t testUnitReadyMs = 1;
    std::uint32_t startStopUnitMs = 1;
    std::uint32_t readBufferMs = 2;
    std::uint32_t downloadBeginMs = 1;
    std::uint32_t downloadChunkMs = 2;
    std::uint32_t downloadCommitMs = 1;
    std::uint32_t otherMs = 1;  // WRITE BUFFER in other modes and everything else

    std::uint32_t forKind(CommandKind kind) const;
};

struct MediaChangeSwitch {
    bool pollingOff = false;
    std::uint64_t timeMs = 0;
    std::uint32_t errorCode = 0;  // non-zero: the switch failed and changed nothing
};

class EmulatedDrive : public ScsiDevice {
public:
    ~EmulatedDrive() override = default;
    EmulatedDrive(const EmulatedDrive&) = delete;
    EmulatedDrive& operator=(const EmulatedDrive&) = delete;

    // Command faults are matched first (the first matching entry answers). A drive that is
    // gone fails every command with ERROR_DEVICE_NOT_CONNECTED. Otherwise the drive's own
    // logic answers, and busyMs is set from the BusyTimes.
    ScsiResult execute(const ScsiCommand& command) final;

    // 2 (file not found) while gone; the OpenFault's error for the opens it covers.
    std::uint32_t openError() final;
    bool present() final;
    // ERROR_DEVICE_NOT_CONNECTED while gone; the configured error for that direction.
    std::uint32_t mediaChangeControl(bool pollingOff) final;

    const Transcript& transcript() const { return transcript_; }

    bool mediaPollingOff() const;
    std::vector<MediaChangeSwitch> mediaChangeHistory() const;
    std::uint32_t commandsReceived(CommandKind kind) const;
    std::uint32_t opens() const;
    bool gone();

protected:
    EmulatedDrive(Clock clock, Faults faults, BusyTimes busy);

    // The drive's own answer. Called with mutex_ held, after settle(now).
    virtual ScsiResult handle(const ScsiCommand& command, CommandKind kind,
                              std::uint64_t now) = 0;

    // Brings time-driven state up to `now`. Called with mutex_ held before every request and
    // by lockAndSettle().
    virtual void settle(std::uint64_t now) { (void)now; }

    // The drive disappears at `atMs` (may lie in the past), for good or until
    // `reappearAfterMs` later. Call with mutex_ held.
    void vanish(std::uint64_t atMs, std::uint32_t reappearAfterMs);

    // For accessors of derived drives: the lock, with the state brought up to now.
    std::unique_lock<std::mutex> lockAndSettle();

    static ScsiResult answerInquiry(const ScsiCommand& command, const Identity& identity);

    mutable std::mutex mutex_;

private:
    void settleLocked(std::uint64_t now);
    std::optional<std::size_t> matchFault(CommandKind kind, std::uint32_t ordinalOfKind,
                                          std::uint32_t ordinalOfAll) const;

    Clock clock_;
    Faults faults_;
    BusyTimes busy_;
    Transcript transcript_;

    std::array<std::uint32_t, kCommandKindCount> received_{};
    std::uint32_t receivedAll_ = 0;
    std::uint32_t opens_ = 0;
    bool gone_ = false;
    std::optional<std::uint64_t> reappearAt_;
    bool pollingOff_ = false;
    std::vector<MediaChangeSwitch> mediaChangeHistory_;
};

}  // namespace drivesim

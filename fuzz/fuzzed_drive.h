// A drive whose answers come from a byte string: every command it receives, every open of
// its device and every switch of its media change notification takes the next bytes and
// answers as they say. One of the answers is "as a working target drive would" (see
// WellBehavedDrive), so a string of zero bytes makes a drive that takes the update without a
// fault, and any other byte turns one answer into anything a drive could send: any status,
// any sense bytes, any data of any length, a failed or hung transfer, a drive that is gone for
// a while, and any busy time from 1 ms to 10 minutes.
//
// When the bytes run out, every command is answered CHECK CONDITION 06/29/00 (a reset), opens
// and switches succeed: every phase of the update ends on that answer, so every run ends.
//
// Layout of the bytes, read from the front:
//   the machine byte (read by the harness, see update_fuzzer.cpp), then per request:
//   open        1 byte: 7 in the low three bits refuses the open (access denied)
//   switch      1 byte: 3 in the low two bits fails it (general failure)
//   command     1 selector byte: low three bits the answer, high five bits the busy time
//                 0 the working drive answers
//                 1 GOOD; a data-in command then takes a count byte (0xFF: two more bytes,
//                   big-endian) and that many data bytes, cut to the host's length
//                 2 CHECK CONDITION with raw sense: a count byte (0..32) and the bytes
//                 3 CHECK CONDITION with a known sense code: one byte picks it; the
//                   long-write code takes four more bytes of progress (INFORMATION)
//                 4 the transfer fails: one byte picks the Windows error
//                 5 the drive hangs: the host's time-out runs out
//                 6 any status: a status byte, a sense length as the drive claims it (any
//                   byte, even past the 32 a result holds) and up to 32 sense bytes
//                 7 the drive is gone for the next N presence checks (one byte, 0: for good)
//               busy: 0 keeps the working drive's own time (1 ms for the others), 1..23
//               that many ms plus one, 24..31 from 0.5 s to 10 minutes
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "drivesim/emulated_drive.h"
#include "drivesim/scsi_device.h"
#include "drivesim/target_drive.h"

namespace fuzz {

// The answers of a working target drive, as drivesim::TargetDrive gives them (tray, download,
// write phase by the clock, reset), without its transcript, its 2 MiB download buffer or its
// copy of the installed image: a fresh TargetDrive for every input would cost the fuzzer more
// than the rest of the run together. It serves the default installed image (code KT8).
class WellBehavedDrive {
public:
    explicit WellBehavedDrive(drivesim::Clock clock);

    drivesim::ScsiResult execute(const drivesim::ScsiCommand& command);

private:
    void settle(std::uint64_t now);
    drivesim::ScsiResult handle(const drivesim::ScsiCommand& command, drivesim::CommandKind kind,
                                std::uint64_t now);
    drivesim::ScsiResult inquiry(const drivesim::ScsiCommand& command) const;
    drivesim::ScsiResult readBuffer(const drivesim::ScsiCommand& command) const;
    drivesim::ScsiResult chunk(const drivesim::ScsiCommand& command);
    drivesim::ScsiResult abandon(drivesim::SenseCode why);

    drivesim::Clock clock_;
    drivesim::TargetTimings timings_;
    drivesim::TrayState tray_ = drivesim::TrayState::Closed;
    std::uint64_t trayMovedAt_ = 0;
    bool downloading_ = false;
    std::uint32_t nextOffset_ = 0;
    std::uint32_t chunks_ = 0;
    bool writing_ = false;
    std::uint64_t commitAt_ = 0;
    bool unitAttention_ = false;
};

// Reads the bytes from the front; past the end it reads nothing.
class ByteScript {
public:
    ByteScript(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    bool exhausted() const { return pos_ >= size_; }
    std::size_t position() const { return pos_; }
    // The next byte, or 0 past the end.
    std::uint8_t next() { return pos_ < size_ ? data_[pos_++] : 0; }
    // Up to `count` bytes into `out`; returns how many there were.
    std::size_t take(std::uint8_t* out, std::size_t count);

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

// One command as the drive saw it and answered it, for the harness's checks.
struct CommandRecord {
    std::vector<std::uint8_t> cdb;
    drivesim::DataDirection direction = drivesim::DataDirection::Unspecified;
    std::uint32_t length = 0;
    // WRITE BUFFER with data: whether the data are the reference image's bytes at the offset
    // the CDB names (compared, not hashed: a byte loop is costly under coverage tracing).
    bool dataOutIsImage = false;
    drivesim::ScsiResult result;
    std::vector<std::uint8_t> dataIn;   // what the drive put in the host's buffer
};

class FuzzedDrive final : public drivesim::ScsiDevice {
public:
    // `script` and `image` (the image the host should send) must outlive the drive. With
    // `trace`, each request is written to stderr.
    FuzzedDrive(ByteScript& script, const std::vector<std::uint8_t>& image, drivesim::Clock clock,
                bool trace);

    drivesim::ScsiResult execute(const drivesim::ScsiCommand& command) override;
    std::uint32_t openError() override;
    bool present() override;
    std::uint32_t mediaChangeControl(bool pollingOff) override;

    std::vector<CommandRecord> commands() const;
    // What reached the drive besides commands, in order: 'F' media change polling switched
    // off, 'N' switched on (whether the switch failed or not), 'D' an open refused, 'G' a
    // presence check answered "gone".
    std::string events() const;

private:
    drivesim::ScsiResult answer(const drivesim::ScsiCommand& command, std::string& how);

    mutable std::mutex mutex_;
    ByteScript& script_;
    const std::vector<std::uint8_t>& image_;
    bool trace_;
    WellBehavedDrive working_;
    std::uint32_t goneFor_ = 0;  // presence checks still answered "gone"
    bool goneForGood_ = false;
    std::vector<CommandRecord> commands_;
    std::string events_;
};

}  // namespace fuzz

// What an emulated device looks like from the host side: a SCSI target that executes one
// command at a time, plus the few device-level answers an operating system asks of a drive
// (may it be opened, is it still there, media change notification).
//
// This header is shared by the Windows-API stand-in (which puts devices behind drive
// letters) and by the SCSI generic bridge; it depends on nothing but the standard library.
#pragma once

#include <array>
#include <cstdint>
#include <cstddef>

namespace drivesim {

// Direction of the data phase as the host asked for it. Commands without data still carry
// the direction their sender chose, so it is kept as given.
enum class DataDirection : std::uint8_t { Out = 0, In = 1, Unspecified = 2 };

struct ScsiCommand {
    const std::uint8_t* cdb = nullptr;
    std::size_t cdbLength = 0;
    DataDirection direction = DataDirection::Unspecified;
    std::uint8_t* data = nullptr;  // host buffer: filled for In, read for Out; null when length is 0
    std::uint32_t length = 0;
    std::uint32_t timeoutSeconds = 0;
};

// How the host's transport saw the command.
enum class Transport : std::uint8_t {
    Delivered,  // the command reached the drive and ended with `status`
    Failed,     // the pass-through call itself failed with `errorCode`
    Hung,       // the drive never answered; the host gives up after the command's time-out
};

struct ScsiResult {
    Transport transport = Transport::Delivered;
    std::uint32_t errorCode = 0;           // Windows error number when transport is Failed
    std::uint8_t status = 0;               // SCSI status: 0x00 GOOD, 0x02 CHECK CONDITION
    std::array<std::uint8_t, 32> sense{};  // fixed-format sense data when status is not GOOD
    std::uint8_t senseLength = 0;
    std::uint32_t transferred = 0;  // bytes of data actually moved
    std::uint32_t busyMs = 0;       // the drive's own time for this command
};

class ScsiDevice {
public:
    virtual ~ScsiDevice() = default;

    virtual ScsiResult execute(const ScsiCommand& command) = 0;

    // Non-zero: opening the device fails with this Windows error number.
    virtual std::uint32_t openError() { return 0; }

    // False once the drive has gone away: its letter no longer reports an optical drive.
    virtual bool present() { return true; }

    // The host switched its media change polling of this drive off (true) or on (false).
    // Returns 0, or the Windows error number the control fails with.
    virtual std::uint32_t mediaChangeControl(bool pollingOff) {
        (void)pollingOff;
        return 0;
    }
};

}  // namespace drivesim

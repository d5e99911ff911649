// Emulated drives as Linux SCSI generic devices: a drive answers the SG_IO requests made on
// any file descriptor open on its device file (matched by device and inode number), the way
// the kernel's sg driver answers for a real drive.
//
// Mapping of one request:
//   cmdp/cmd_len, dxfer_direction, dxferp/dxfer_len and timeout (ms) make the ScsiCommand;
//   SG_DXFER_TO_DEV is data out, SG_DXFER_FROM_DEV (and TO_FROM_DEV) data in, SG_DXFER_NONE
//   no direction.
//   Delivered: status, masked_status = status >> 1, sense copied to sbp (at most mx_sb_len
//   bytes, sb_len_wr says how many) with driver_status DRIVER_SENSE, resid = dxfer_len minus
//   the bytes moved, info SG_INFO_CHECK when anything is not clean. The drive's own time
//   for the command passes before the answer.
//   Failed: the call fails with an errno chosen so that Wine reports the drive's Windows
//   error where it can (see errnoForWindowsError).
//   Hung: no answer until the command's time-out (at most the drive's hang limit), then
//   host_status DID_TIME_OUT and driver_status DRIVER_TIMEOUT with status 0, as sg reports a
//   command that timed out.
#pragma once

#include <scsi/sg.h>
#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "drivesim/clock.h"
#include "drivesim/emulated_drive.h"
#include "drivesim/sg/drive_config.h"

namespace drivesim::sg {

// Linux host and driver status values the bridge reports (from the kernel's SCSI midlayer).
inline constexpr std::uint16_t kDidTimeOut = 0x03;
inline constexpr std::uint16_t kDriverTimeout = 0x06;
inline constexpr std::uint16_t kDriverSense = 0x08;

// The errno that makes Wine's pass-through report `windowsError`, or the nearest it can:
// access denied (EACCES), not supported (EOPNOTSUPP), semaphore time-out (ETIME), file not
// found (ENOENT), a device gone (ENODEV, which Wine reports as a general failure); anything
// else is an I/O error (EIO, which Wine reports as "device not ready").
int errnoForWindowsError(std::uint32_t windowsError);

class EmulatedSgDevice {
public:
    // Throws ConfigError when the device file or the transcript file cannot be used.
    explicit EmulatedSgDevice(DriveDescription description, Clock clock = steadyClock());
    ~EmulatedSgDevice();
    EmulatedSgDevice(const EmulatedSgDevice&) = delete;
    EmulatedSgDevice& operator=(const EmulatedSgDevice&) = delete;

    bool isDeviceFile(dev_t device, ino_t inode) const {
        return device == device_ && inode == inode_;
    }
    bool sameDeviceFile(const EmulatedSgDevice& other) const {
        return isDeviceFile(other.device_, other.inode_);
    }

    // Answers one SG_IO request: 0, or a negative errno for a call that fails.
    int execute(sg_io_hdr_t& request);

    const DriveDescription& description() const { return description_; }
    EmulatedDrive& drive() { return *drive_; }

private:
    void recordNewEntries();
    void keepInstalledFirmware();

    DriveDescription description_;
    std::unique_ptr<EmulatedDrive> drive_;
    TargetDrive* target_ = nullptr;
    dev_t device_ = 0;
    ino_t inode_ = 0;
    int transcriptFd_ = -1;

    std::mutex mutex_;  // one request at a time, as a drive takes them
    std::size_t entriesRecorded_ = 0;
    std::uint32_t resetsKept_ = 0;
};

// The drives of one process.
class SgBridge {
public:
    explicit SgBridge(const std::vector<DriveDescription>& descriptions,
                      const Clock& clock = steadyClock());

    // Reads every description file in the list (see splitDriveList); ConfigError on the first
    // that cannot be used, or when two describe the same device file.
    static std::unique_ptr<SgBridge> fromDriveList(const std::string& list);

    // The drive behind `fd`, or null when the file is not a drive's device file.
    EmulatedSgDevice* deviceFor(int fd);

    std::size_t size() const { return devices_.size(); }
    EmulatedSgDevice& device(std::size_t index) { return *devices_[index]; }

private:
    std::vector<std::unique_ptr<EmulatedSgDevice>> devices_;
};

}  // namespace drivesim::sg

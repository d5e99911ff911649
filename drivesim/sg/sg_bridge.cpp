#include "drivesim/sg/sg_bridge.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>
#include <utility>

#include "drivesim/faults.h"
#include "drivesim/ordinary_drive.h"
#include "drivesim/target_drive.h"

namespace drivesim::sg {
namespace {

std::uint64_t millisecondsSince(std::chrono::steady_clock::time_point start) {
    return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                          std::chrono::steady_clock::now() - start)
                                          .count());
}

void sleepMs(std::uint64_t ms) {
    if (ms != 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

DataDirection directionOf(int sgDirection) {
    switch (sgDirection) {
    case SG_DXFER_TO_DEV: return DataDirection::Out;
    case SG_DXFER_FROM_DEV:
    case SG_DXFER_TO_FROM_DEV: return DataDirection::In;
    default: return DataDirection::Unspecified;
    }
}

// Writes all of `text` with one write(2) where the system allows, so that lines appended by
// several processes do not interleave.
void writeAll(int fd, const std::string& text) {
    const char* data = text.data();
    std::size_t left = text.size();
    while (left != 0) {
        const ssize_t written = ::write(fd, data, left);
        if (written < 0) {
            if (errno == EINTR) continue;
            return;
        }
        data += written;
        left -= static_cast<std::size_t>(written);
    }
}

}  // namespace

int errnoForWindowsError(std::uint32_t windowsError) {
    switch (windowsError) {
    case win_error::kAccessDenied: return EACCES;
    case win_error::kNotSupported: return EOPNOTSUPP;
    case win_error::kSemTimeout: return ETIME;
    case win_error::kFileNotFound: return ENOENT;
    case win_error::kDeviceNotConnected: return ENODEV;
    default: return EIO;
    }
}

EmulatedSgDevice::EmulatedSgDevice(DriveDescription description, Clock clock)
    : description_(std::move(description)) {
    struct stat st {};
    if (::stat(description_.devicePath.c_str(), &st) != 0) {
        throw ConfigError(description_.source + ": the device file '" + description_.devicePath +
                          "' cannot be used: " + std::strerror(errno));
    }
    device_ = st.st_dev;
    inode_ = st.st_ino;

    if (!description_.transcriptPath.empty()) {
        transcriptFd_ = ::open(description_.transcriptPath.c_str(),
                               O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
        if (transcriptFd_ < 0) {
            throw ConfigError(description_.source + ": the transcript '" +
                              description_.transcriptPath + "' cannot be opened: " +
                              std::strerror(errno));
        }
    }

    if (description_.kind == DriveKind::Target) {
        auto target = std::make_unique<TargetDrive>(description_.target, std::move(clock));
        target_ = target.get();
        drive_ = std::move(target);
    } else {
        drive_ = std::make_unique<OrdinaryDrive>(description_.ordinary, std::move(clock));
    }
}

EmulatedSgDevice::~EmulatedSgDevice() {
    if (transcriptFd_ >= 0) ::close(transcriptFd_);
}

int EmulatedSgDevice::execute(sg_io_hdr_t& request) {
    if (request.interface_id != 'S') return -ENOSYS;
    if (request.iovec_count != 0) return -EINVAL;  // scatter-gather lists are not offered
    if (request.cmdp == nullptr || request.cmd_len == 0 || request.cmd_len > 16) return -EINVAL;
    if (request.dxfer_len != 0 && request.dxferp == nullptr) return -EFAULT;

    std::lock_guard<std::mutex> lock(mutex_);
    const auto start = std::chrono::steady_clock::now();

    ScsiCommand command;
    command.cdb = request.cmdp;
    command.cdbLength = request.cmd_len;
    command.direction = directionOf(request.dxfer_direction);
    command.data = request.dxfer_len != 0 ? static_cast<std::uint8_t*>(request.dxferp) : nullptr;
    command.length = request.dxfer_len;
    command.timeoutSeconds = request.timeout / 1000;

    const ScsiResult result = drive_->execute(command);
    recordNewEntries();
    keepInstalledFirmware();

    request.status = 0;
    request.masked_status = 0;
    request.msg_status = 0;
    request.sb_len_wr = 0;
    request.host_status = 0;
    request.driver_status = 0;
    request.resid = 0;
    request.info = SG_INFO_OK;

    switch (result.transport) {
    case Transport::Failed:
        sleepMs(result.busyMs);
        return -errnoForWindowsError(result.errorCode);

    case Transport::Hung:
        sleepMs(std::min<std::uint64_t>(request.timeout, description_.hangLimitMs));
        request.host_status = kDidTimeOut;
        request.driver_status = kDriverTimeout;
        request.resid = static_cast<int>(request.dxfer_len);
        request.info = SG_INFO_CHECK;
        request.duration = static_cast<unsigned>(millisecondsSince(start));
        return 0;

    case Transport::Delivered:
        break;
    }

    sleepMs(result.busyMs);
    request.status = result.status;
    request.masked_status = static_cast<unsigned char>((result.status >> 1) & 0x7F);
    if (result.status != kStatusGood && result.senseLength != 0 && request.sbp != nullptr &&
        request.mx_sb_len != 0) {
        const std::size_t count = std::min<std::size_t>(request.mx_sb_len, result.senseLength);
        std::memcpy(request.sbp, result.sense.data(), count);
        request.sb_len_wr = static_cast<unsigned char>(count);
        request.driver_status = kDriverSense;
    }
    const std::uint32_t moved = std::min(result.transferred, request.dxfer_len);
    request.resid = static_cast<int>(request.dxfer_len - moved);
    if (request.masked_status != 0 || request.driver_status != 0) request.info = SG_INFO_CHECK;
    request.duration = static_cast<unsigned>(millisecondsSince(start));
    return 0;
}

void EmulatedSgDevice::recordNewEntries() {
    if (transcriptFd_ < 0) return;
    const std::vector<TranscriptEntry> entries = drive_->transcript().entries();
    std::string text;
    for (std::size_t i = entriesRecorded_; i < entries.size(); ++i) {
        text += entries[i].toString();
        text += '\n';
    }
    entriesRecorded_ = entries.size();
    if (!text.empty()) writeAll(transcriptFd_, text);
}

// The drive installs new firmware when its write phase ends; the store then gets the image,
// so the drive comes back with it next time.
void EmulatedSgDevice::keepInstalledFirmware() {
    if (target_ == nullptr || description_.firmwareStorePath.empty()) return;
    const std::uint32_t resets = target_->resets();
    if (resets == resetsKept_) return;
    resetsKept_ = resets;
    writeFirmwareStore(description_.firmwareStorePath, target_->installedFirmware());
}

SgBridge::SgBridge(const std::vector<DriveDescription>& descriptions, const Clock& clock) {
    for (const DriveDescription& description : descriptions) {
        auto device = std::make_unique<EmulatedSgDevice>(description, clock);
        for (const auto& earlier : devices_) {
            if (earlier->sameDeviceFile(*device)) {
                throw ConfigError(description.source + ": the device file '" +
                                  description.devicePath + "' is already used by " +
                                  earlier->description().source);
            }
        }
        devices_.push_back(std::move(device));
    }
}

std::unique_ptr<SgBridge> SgBridge::fromDriveList(const std::string& list) {
    std::vector<DriveDescription> descriptions;
    for (const std::string& path : splitDriveList(list)) {
        descriptions.push_back(loadDriveDescription(path));
    }
    if (descriptions.empty()) throw ConfigError("SGDRIVE_DRIVES names no drive description");
    return std::make_unique<SgBridge>(descriptions);
}

EmulatedSgDevice* SgBridge::deviceFor(int fd) {
    struct stat st {};
    if (::fstat(fd, &st) != 0) return nullptr;
    for (const auto& device : devices_) {
        if (device->isDeviceFile(st.st_dev, st.st_ino)) return device.get();
    }
    return nullptr;
}

}  // namespace drivesim::sg

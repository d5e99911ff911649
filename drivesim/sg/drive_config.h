// The description of one emulated drive behind a SCSI generic device file, read from a small
// text file. One setting per line, `key = value`; `#` starts a comment. For example:
//
//   # G: the drive the updater is for
//   kind = target
//   device = g.dev                     # the file the system opens for the drive
//   firmware-store = g-firmware.bin    # loaded at start, rewritten when new firmware installs
//   firmware-code = KT8                # makes the store from a generated image if it is missing
//   transcript = g-transcript.txt      # one line per command, appended as it happens
//   tray-open-ms = 300
//   write-ms = 2000
//   fault = check download-chunk 65 sense=04/44/00
//
// Relative paths are taken from the folder of the file that names them. Every mistake is an
// error naming the file and line: a drive that silently ignores half its description makes a
// test that passes for the wrong reason.
//
// Settings (all but kind and device may be left out):
//   kind                   target | ordinary
//   device                 path of the file standing for the drive (must exist)
//   vendor, product, revision, inquiry-length
//   medium-loaded          yes | no
//   busy-ms                the drive's own time for every command
//   transcript             path of the transcript file
//   hang-limit-ms          longest wait for a command that hangs (default 5000)
//   absent                 yes | no: the drive is gone from the start
//   fault                  ACTION KIND NTH [times=N|every] [sense=KK/AA/QQ] [info=N]
//                          [error=N] [reappear-ms=N]
//                            ACTION: check | fail | hang | vanish
//                            KIND:   any | inquiry | test-unit-ready | start-stop-unit |
//                                    read-buffer | download-begin | download-chunk |
//                                    download-commit | write-buffer | other
//   target drives only:
//   firmware-store, firmware-code, firmware-seed (default 1), revision-after-update,
//   tray-open-ms, tray-close-ms, write-ms, initial-tray (open | closed),
//   poll                   the answers to TEST UNIT READY after the commit, in order,
//                          separated by spaces: good | writing:N | reset | sense:KK/AA/QQ[:N]
//   repeat-last-poll, reset-never-comes, vanish-at-reset (yes | no), reappear-after-reset-ms
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "drivesim/ordinary_drive.h"
#include "drivesim/target_drive.h"

namespace drivesim::sg {

enum class DriveKind : std::uint8_t { Target, Ordinary };

struct DriveDescription {
    std::string source;  // the file it was read from
    DriveKind kind = DriveKind::Target;
    std::string devicePath;
    std::string firmwareStorePath;  // target only; empty: installs are not kept
    std::string transcriptPath;     // empty: no transcript file
    std::uint32_t hangLimitMs = 5000;
    TargetDriveConfig target;
    OrdinaryDriveConfig ordinary;
};

// A description that cannot be used; what() names the file and line.
class ConfigError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Reads the text of a description. `source` names it in errors and is the base of relative
// paths. Loads the firmware store, or makes it from firmware-code when it does not exist yet.
DriveDescription parseDriveDescription(const std::string& text, const std::string& source);

// Reads the file `path` and parses it.
DriveDescription loadDriveDescription(const std::string& path);

// The list of description files in SGDRIVE_DRIVES: paths separated by ':'.
std::vector<std::string> splitDriveList(const std::string& list);

// Writes a firmware image to `path` through a temporary file beside it, so that a reader
// never sees half an image.
void writeFirmwareStore(const std::string& path, const FirmwareImage& image);

// Reads a firmware store; ConfigError unless it holds exactly kImageSize bytes.
FirmwareImage readFirmwareStore(const std::string& path);

}  // namespace drivesim::sg

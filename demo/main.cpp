// The tool on Linux: the real program (WinMain) in this terminal, on an emulated machine
// with a fixed disk C:, an ordinary DVD writer on E: and the ZELT drive on G:.
//
// The ZELT drive keeps its firmware in a file beside this program, so it remembers an
// update across runs as a real drive does; `--fresh` puts back the firmware that takes the
// update.
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "drivesim/ordinary_drive.h"
#include "drivesim/target_drive.h"
#include "main_dialog.h"
#include "win32sim/clock.h"
#include "win32sim/machine.h"
#include "win32sim/terminal.h"

namespace {

std::string firmwareStorePath(const char* argv0) {
    std::string path = argv0;
    auto slash = path.find_last_of('/');
    std::string dir = slash == std::string::npos ? "." : path.substr(0, slash);
    return dir + "/drive-g-firmware.bin";
}

drivesim::FirmwareImage loadFirmware(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return drivesim::defaultInstalledFirmware();
    drivesim::FirmwareImage image((std::istreambuf_iterator<char>(in)),
                                  std::istreambuf_iterator<char>());
    if (image.size() != drivesim::kImageSize) {
        std::fprintf(stderr, "%s is not a firmware image; starting from the default one\n",
                     path.c_str());
        return drivesim::defaultInstalledFirmware();
    }
    return image;
}

bool saveFirmware(const std::string& path, const drivesim::FirmwareImage& image) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
    return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
    bool fresh = argc > 1 && std::strcmp(argv[1], "--fresh") == 0;
    if (argc > 1 && !fresh) {
        std::fprintf(stderr, "usage: %s [--fresh]\n", argv[0]);
        return 2;
    }
    win32sim::clock::useReal();
    drivesim::Clock clock = [] { return win32sim::clock::nowMs(); };

    std::string store = firmwareStorePath(argv[0]);
    drivesim::TargetDriveConfig zelt;
    zelt.firmware = fresh ? drivesim::defaultInstalledFirmware() : loadFirmware(store);
    auto target = std::make_shared<drivesim::TargetDrive>(zelt, clock);

    auto machine = std::make_shared<win32sim::Machine>();
    machine->setDrive('C', win32sim::DriveKind::Fixed);
    machine->setOptical('E', std::make_shared<drivesim::OrdinaryDrive>(drivesim::OrdinaryDriveConfig{}, clock));
    machine->setOptical('G', target);
    win32sim::installMachine(machine);

    int code = win32sim::terminal::run([] {
        char commandLine[] = "";
        return WinMain(GetModuleHandleA(nullptr), nullptr, commandLine, 1);
    });

    if (!saveFirmware(store, target->installedFirmware()))
        std::fprintf(stderr, "could not keep the drive's firmware in %s\n", store.c_str());
    std::printf("Drive G: now runs firmware %s (kept in %s).\n",
                target->installedIdentityCode().c_str(), store.c_str());
    return code;
}

// sgdrive: checks drive descriptions, and sends single SCSI commands through SG_IO.
//
//   sgdrive check FILE...
//       reads each description as libsgdrive.so would; prints what it describes, or the
//       first mistake (exit status 1)
//   sgdrive send DEVICE [in=N | out=N] [timeout=MS] CDB-BYTE...
//       opens DEVICE and makes one SG_IO request with the CDB given in hex bytes (data out:
//       N bytes of 0xA5); prints what came back. Run with libsgdrive.so preloaded, this
//       exercises the same path a program under Wine takes.
#include <fcntl.h>
#include <scsi/sg.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "drivesim/sg/drive_config.h"

namespace {

int usage() {
    std::fprintf(stderr,
                 "usage: sgdrive check FILE...\n"
                 "       sgdrive send DEVICE [in=N | out=N] [timeout=MS] CDB-BYTE...\n");
    return 2;
}

int check(int argc, char** argv) {
    if (argc < 1) return usage();
    int status = 0;
    for (int i = 0; i < argc; ++i) {
        try {
            const auto d = drivesim::sg::loadDriveDescription(argv[i]);
            const bool target = d.kind == drivesim::sg::DriveKind::Target;
            const drivesim::Identity& id = target ? d.target.identity : d.ordinary.identity;
            const std::size_t faults =
                target ? d.target.faults.commands.size() : d.ordinary.faults.commands.size();
            std::printf("%s: %s drive '%s' '%s' '%s' on %s", argv[i],
                        target ? "target" : "ordinary", id.vendor.c_str(), id.product.c_str(),
                        id.revision.c_str(), d.devicePath.c_str());
            if (target) {
                std::printf(", firmware %s", drivesim::identityCode(d.target.firmware).c_str());
            }
            std::printf(", %zu fault(s)\n", faults);
        } catch (const std::exception& error) {
            std::fprintf(stderr, "sgdrive: %s\n", error.what());
            status = 1;
        }
    }
    return status;
}

bool parseUnsigned(const char* text, int base, unsigned long* value) {
    char* end = nullptr;
    errno = 0;
    *value = std::strtoul(text, &end, base);
    return *text != '\0' && *end == '\0' && errno == 0;
}

int send(int argc, char** argv) {
    if (argc < 2) return usage();
    const char* device = argv[0];
    int direction = SG_DXFER_NONE;
    unsigned long length = 0;
    unsigned long timeout = 5000;
    std::vector<unsigned char> cdb;
    for (int i = 1; i < argc; ++i) {
        const std::string word = argv[i];
        unsigned long value = 0;
        if (word.rfind("in=", 0) == 0 && parseUnsigned(argv[i] + 3, 0, &value)) {
            direction = SG_DXFER_FROM_DEV;
            length = value;
        } else if (word.rfind("out=", 0) == 0 && parseUnsigned(argv[i] + 4, 0, &value)) {
            direction = SG_DXFER_TO_DEV;
            length = value;
        } else if (word.rfind("timeout=", 0) == 0 && parseUnsigned(argv[i] + 8, 0, &value)) {
            timeout = value;
        } else if (parseUnsigned(argv[i], 16, &value) && value <= 0xFF && word.size() <= 2) {
            cdb.push_back(static_cast<unsigned char>(value));
        } else {
            std::fprintf(stderr, "sgdrive: cannot read '%s'\n", argv[i]);
            return usage();
        }
    }
    if (cdb.empty() || cdb.size() > 16) return usage();

    const int fd = ::open(device, O_RDWR | O_CLOEXEC);
    if (fd < 0) {
        std::fprintf(stderr, "sgdrive: cannot open %s: %s\n", device, std::strerror(errno));
        return 1;
    }
    std::vector<unsigned char> data(length, direction == SG_DXFER_TO_DEV ? 0xA5 : 0x00);
    unsigned char sense[32] = {};
    sg_io_hdr_t request{};
    request.interface_id = 'S';
    request.dxfer_direction = direction;
    request.cmd_len = static_cast<unsigned char>(cdb.size());
    request.mx_sb_len = sizeof sense;
    request.dxfer_len = static_cast<unsigned>(length);
    request.dxferp = data.empty() ? nullptr : data.data();
    request.cmdp = cdb.data();
    request.sbp = sense;
    request.timeout = static_cast<unsigned>(timeout);

    const int result = ::ioctl(fd, SG_IO, &request);
    const int error = errno;
    ::close(fd);
    if (result != 0) {
        std::printf("ioctl failed: errno %d (%s)\n", error, std::strerror(error));
        return 1;
    }
    std::printf("status=%02X masked=%02X host=%02X driver=%02X sb_len_wr=%u resid=%d info=%u\n",
                request.status, request.masked_status, request.host_status,
                request.driver_status, request.sb_len_wr, request.resid, request.info);
    if (request.sb_len_wr != 0) {
        std::printf("sense=");
        for (unsigned i = 0; i < request.sb_len_wr; ++i) std::printf("%02X", sense[i]);
        std::printf("\n");
    }
    if (direction == SG_DXFER_FROM_DEV) {
        const std::size_t moved = length - static_cast<std::size_t>(request.resid);
        std::printf("data=");
        for (std::size_t i = 0; i < moved; ++i) std::printf("%02X", data[i]);
        std::printf("\n");
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return usage();
    const std::string command = argv[1];
    if (command == "check") return check(argc - 2, argv + 2);
    if (command == "send") return send(argc - 2, argv + 2);
    return usage();
}

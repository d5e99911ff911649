// libsgdrive.so: loaded into a process with LD_PRELOAD, it answers SG_IO on the device files
// of the drives listed in SGDRIVE_DRIVES (description files separated by ':') and hands
// every other ioctl to the C library.
//
// 32-bit glibc built with 64-bit time_t sends ioctl calls to __ioctl_time64, others to
// ioctl; both are taken over.
//
// The drives are read on the first SG_IO request, so processes that never make one (all of
// them but the one talking to a drive) pay nothing. A description that cannot be used is
// reported on stderr, and from then on every SG_IO request of the process fails with EIO:
// a broken setup must not look like a drive that happens not to answer.
#include <dlfcn.h>
#include <scsi/sg.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>

#include "drivesim/sg/sg_bridge.h"

namespace {

using IoctlFunction = int (*)(int, unsigned long, ...);

struct BridgeState {
    std::once_flag once;
    std::unique_ptr<drivesim::sg::SgBridge> bridge;
    bool configured = false;  // SGDRIVE_DRIVES is set
    bool broken = false;      // ... but could not be used
};

BridgeState& state() {
    static BridgeState* instance = new BridgeState;  // never destroyed: ioctl may come late
    return *instance;
}

void setUp(BridgeState& s) {
    const char* list = std::getenv("SGDRIVE_DRIVES");
    if (list == nullptr || *list == '\0') return;
    s.configured = true;
    try {
        s.bridge = drivesim::sg::SgBridge::fromDriveList(list);
    } catch (const std::exception& error) {
        s.broken = true;
        std::fprintf(stderr, "sgdrive: %s\nsgdrive: every SG_IO request of this process fails\n",
                     error.what());
    }
}

// 1: the request was answered here (result in *answer); 0: not ours.
int answerSgIo(int fd, void* argument, int* answer) {
    BridgeState& s = state();
    std::call_once(s.once, setUp, std::ref(s));
    if (!s.configured) return 0;
    if (s.broken) {
        errno = EIO;
        *answer = -1;
        return 1;
    }
    drivesim::sg::EmulatedSgDevice* device = s.bridge->deviceFor(fd);
    if (device == nullptr) return 0;
    if (argument == nullptr) {
        errno = EFAULT;
        *answer = -1;
        return 1;
    }
    int result = 0;
    try {
        result = device->execute(*static_cast<sg_io_hdr_t*>(argument));
    } catch (const std::exception& error) {
        std::fprintf(stderr, "sgdrive: %s: %s\n", device->description().source.c_str(),
                     error.what());
        result = -EIO;
    }
    if (result < 0) {
        errno = -result;
        *answer = -1;
    } else {
        *answer = 0;
    }
    return 1;
}

IoctlFunction nextIoctl(const char* name) {
    return reinterpret_cast<IoctlFunction>(dlsym(RTLD_NEXT, name));
}

int dispatch(IoctlFunction next, int fd, unsigned long request, void* argument) {
    if (request == SG_IO) {
        int answer = 0;
        if (answerSgIo(fd, argument, &answer)) return answer;
    }
    if (next == nullptr) {
        errno = ENOSYS;
        return -1;
    }
    return next(fd, request, argument);
}

}  // namespace

extern "C" {

__attribute__((visibility("default"))) int ioctl(int fd, unsigned long request, ...) {
    va_list arguments;
    va_start(arguments, request);
    void* argument = va_arg(arguments, void*);
    va_end(arguments);
    static const IoctlFunction next = nextIoctl("ioctl");
    return dispatch(next, fd, request, argument);
}

__attribute__((visibility("default"))) int __ioctl_time64(int fd, unsigned long request, ...) {
    va_list arguments;
    va_start(arguments, request);
    void* argument = va_arg(arguments, void*);
    va_end(arguments);
    static const IoctlFunction next = nextIoctl("__ioctl_time64");
    return dispatch(next, fd, request, argument);
}

}  // extern "C"

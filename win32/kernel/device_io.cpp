// DeviceIoControl for the two controls the tool uses: the SCSI pass-through (direct) and
// the media change notification switch. Each goes to the emulated device behind the
// handle's letter; the time the device takes passes on the stand-in's clock.
#include <windows.h>
#include <ntddscsi.h>
#include <winioctl.h>

#include <algorithm>
#include <cstring>

#include "handles.h"
#include "win32sim/clock.h"

namespace {

// Bits of the control code that say which access the handle needs (FILE_READ_ACCESS = 1,
// FILE_WRITE_ACCESS = 2, in bits 14-15), as the I/O manager checks them.
constexpr DWORD requiredAccess(DWORD controlCode) { return (controlCode >> 14) & 3; }

bool accessAllows(DWORD granted, DWORD controlCode) {
    DWORD needs = requiredAccess(controlCode);
    if ((needs & 1) && !(granted & GENERIC_READ)) return false;
    if ((needs & 2) && !(granted & GENERIC_WRITE)) return false;
    return true;
}

BOOL fail(DWORD error) {
    SetLastError(error);
    return FALSE;
}

BOOL passThroughDirect(drivesim::ScsiDevice& device, LPVOID inBuffer, DWORD inSize,
                       LPVOID outBuffer, DWORD outSize, LPDWORD bytesReturned) {
    if (!inBuffer || inSize < sizeof(SCSI_PASS_THROUGH_DIRECT) || !outBuffer ||
        outSize < sizeof(SCSI_PASS_THROUGH_DIRECT))
        return fail(ERROR_INVALID_PARAMETER);

    SCSI_PASS_THROUGH_DIRECT request;
    std::memcpy(&request, inBuffer, sizeof request);
    if (request.Length != sizeof(SCSI_PASS_THROUGH_DIRECT) || request.CdbLength == 0 ||
        request.CdbLength > sizeof request.Cdb || request.DataIn > SCSI_IOCTL_DATA_UNSPECIFIED)
        return fail(ERROR_INVALID_PARAMETER);
    if (request.DataTransferLength != 0 && request.DataBuffer == nullptr)
        return fail(ERROR_INVALID_PARAMETER);
    if (request.SenseInfoLength != 0 &&
        (request.SenseInfoOffset < sizeof(SCSI_PASS_THROUGH_DIRECT) ||
         static_cast<std::uint64_t>(request.SenseInfoOffset) + request.SenseInfoLength > outSize))
        return fail(ERROR_INVALID_PARAMETER);

    drivesim::ScsiCommand command;
    command.cdb = request.Cdb;
    command.cdbLength = request.CdbLength;
    command.direction = static_cast<drivesim::DataDirection>(request.DataIn);
    command.data = static_cast<std::uint8_t*>(request.DataBuffer);
    command.length = request.DataTransferLength;
    command.timeoutSeconds = request.TimeOutValue;

    drivesim::ScsiResult result = device.execute(command);
    switch (result.transport) {
        case drivesim::Transport::Hung:
            win32sim::clock::pass(static_cast<std::uint64_t>(request.TimeOutValue) * 1000);
            return fail(ERROR_SEM_TIMEOUT);
        case drivesim::Transport::Failed:
            win32sim::clock::pass(result.busyMs);
            return fail(result.errorCode ? result.errorCode : ERROR_IO_DEVICE);
        case drivesim::Transport::Delivered:
            break;
    }
    win32sim::clock::pass(result.busyMs);

    auto* reply = static_cast<SCSI_PASS_THROUGH_DIRECT*>(outBuffer);
    std::memcpy(reply, &request, sizeof request);
    reply->ScsiStatus = result.status;
    if (request.DataIn == SCSI_IOCTL_DATA_IN)
        reply->DataTransferLength = std::min(result.transferred, request.DataTransferLength);
    DWORD senseBytes = 0;
    if (result.status != 0 && request.SenseInfoLength != 0) {
        // A device may claim more sense bytes than a result holds; only those it has go out.
        senseBytes = std::min<DWORD>({request.SenseInfoLength, result.senseLength,
                                      static_cast<DWORD>(result.sense.size())});
        std::memcpy(static_cast<std::uint8_t*>(outBuffer) + request.SenseInfoOffset,
                    result.sense.data(), senseBytes);
    }
    reply->SenseInfoLength = static_cast<UCHAR>(senseBytes);
    if (bytesReturned)
        *bytesReturned = senseBytes ? request.SenseInfoOffset + senseBytes
                                    : static_cast<DWORD>(sizeof(SCSI_PASS_THROUGH_DIRECT));
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

BOOL mediaChangeControl(drivesim::ScsiDevice& device, LPVOID inBuffer, DWORD inSize,
                        LPDWORD bytesReturned) {
    if (!inBuffer || inSize < sizeof(PREVENT_MEDIA_REMOVAL)) return fail(ERROR_INVALID_PARAMETER);
    bool pollingOff = static_cast<const PREVENT_MEDIA_REMOVAL*>(inBuffer)->PreventMediaRemoval != 0;
    if (DWORD error = device.mediaChangeControl(pollingOff)) return fail(error);
    if (bytesReturned) *bytesReturned = 0;
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

}  // namespace

BOOL WINAPI DeviceIoControl(HANDLE hDevice, DWORD dwIoControlCode, LPVOID lpInBuffer,
                            DWORD nInBufferSize, LPVOID lpOutBuffer, DWORD nOutBufferSize,
                            LPDWORD lpBytesReturned, LPOVERLAPPED lpOverlapped) {
    if (lpOverlapped) return fail(ERROR_INVALID_PARAMETER);
    auto object = std::dynamic_pointer_cast<win32sim::DeviceObject>(win32sim::lookupHandle(hDevice));
    if (!object) return fail(ERROR_INVALID_HANDLE);
    if (!accessAllows(object->access, dwIoControlCode)) return fail(ERROR_ACCESS_DENIED);

    auto machine = object->machine.lock();
    auto device = machine ? machine->device(object->letter) : nullptr;
    if (!machine || machine->kind(object->letter) != win32sim::DriveKind::Optical || !device)
        return fail(ERROR_INVALID_FUNCTION);
    if (!device->present()) return fail(ERROR_DEVICE_NOT_CONNECTED);

    switch (dwIoControlCode) {
        case IOCTL_SCSI_PASS_THROUGH_DIRECT:
            return passThroughDirect(*device, lpInBuffer, nInBufferSize, lpOutBuffer,
                                     nOutBufferSize, lpBytesReturned);
        case IOCTL_STORAGE_MCN_CONTROL:
            return mediaChangeControl(*device, lpInBuffer, nInBufferSize, lpBytesReturned);
        default:
            return fail(ERROR_INVALID_FUNCTION);
    }
}

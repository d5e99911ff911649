// The stand-in's kernel side as the drive layer relies on it: drive types, device opens
// with their access rights, the two device controls, handles and errors.
#include <windows.h>
#include <ntddscsi.h>
#include <winioctl.h>

#include <gtest/gtest.h>

#include <cstring>
#include <thread>

#include "support/fake_device.h"
#include "support/stand_in.h"
#include "win32sim/clock.h"
#include "win32sim/machine.h"

namespace {

using testing_support::FakeDevice;
using win32sim::DriveKind;

struct Request {
    SCSI_PASS_THROUGH_DIRECT sptd;
    ULONG filler;
    UCHAR sense[32];
};

class KernelDevices : public ::testing::Test {
protected:
    void SetUp() override {
        testing_support::resetStandIn();
        machine = std::make_shared<win32sim::Machine>();
        device = std::make_shared<FakeDevice>();
        machine->setDrive('C', DriveKind::Fixed);
        machine->setOptical('E', device);
        win32sim::installMachine(machine);
    }

    static HANDLE open(const char* path, DWORD access) {
        return CreateFileA(path, access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    }

    static Request testUnitReady() {
        Request request{};
        request.sptd.Length = sizeof(SCSI_PASS_THROUGH_DIRECT);
        request.sptd.CdbLength = 12;
        request.sptd.SenseInfoLength = 24;
        request.sptd.SenseInfoOffset = offsetof(Request, sense);
        request.sptd.DataIn = SCSI_IOCTL_DATA_IN;
        request.sptd.TimeOutValue = 5;
        return request;
    }

    static BOOL passThrough(HANDLE handle, Request& request) {
        DWORD returned = 0;
        return DeviceIoControl(handle, IOCTL_SCSI_PASS_THROUGH_DIRECT, &request, sizeof request,
                               &request, sizeof request, &returned, nullptr);
    }

    std::shared_ptr<win32sim::Machine> machine;
    std::shared_ptr<FakeDevice> device;
};

TEST_F(KernelDevices, DriveTypeFollowsTheLetterKind) {
    struct Case {
        DriveKind kind;
        UINT type;
    } cases[] = {
        {DriveKind::None, DRIVE_NO_ROOT_DIR}, {DriveKind::Removable, DRIVE_REMOVABLE},
        {DriveKind::Fixed, DRIVE_FIXED},      {DriveKind::Network, DRIVE_REMOTE},
        {DriveKind::RamDisk, DRIVE_RAMDISK},  {DriveKind::Optical, DRIVE_CDROM},
    };
    for (const auto& c : cases) {
        machine->setDrive('K', c.kind, c.kind == DriveKind::Optical ? device : nullptr);
        EXPECT_EQ(GetDriveTypeA("K:\\"), c.type) << static_cast<int>(c.kind);
        EXPECT_EQ(GetDriveTypeA("k:\\"), c.type) << "lower-case letter";
    }
    EXPECT_EQ(GetDriveTypeA("E:"), static_cast<UINT>(DRIVE_NO_ROOT_DIR)) << "not a root path";
    EXPECT_EQ(GetDriveTypeA(""), static_cast<UINT>(DRIVE_NO_ROOT_DIR));
}

TEST_F(KernelDevices, AnOpticalLetterWhoseDriveIsGoneIsNoLongerOptical) {
    device->isPresent = false;
    EXPECT_EQ(GetDriveTypeA("E:\\"), static_cast<UINT>(DRIVE_NO_ROOT_DIR));
    EXPECT_EQ(open("\\\\.\\E:", GENERIC_READ | GENERIC_WRITE), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST_F(KernelDevices, OpensAreCountedAndHandlesListedUntilClosed) {
    HANDLE a = open("\\\\.\\E:", GENERIC_READ | GENERIC_WRITE);
    HANDLE b = open("\\\\.\\E:", FILE_READ_ATTRIBUTES);
    ASSERT_NE(a, INVALID_HANDLE_VALUE);
    ASSERT_NE(b, INVALID_HANDLE_VALUE);
    EXPECT_NE(a, b);
    EXPECT_EQ(machine->openCount('E'), 2);
    auto handles = machine->openHandles();
    ASSERT_EQ(handles.size(), 2u);

    EXPECT_TRUE(CloseHandle(a));
    handles = machine->openHandles();
    ASSERT_EQ(handles.size(), 1u);
    EXPECT_EQ(handles[0].letter, 'E');
    EXPECT_EQ(handles[0].access, static_cast<DWORD>(FILE_READ_ATTRIBUTES));

    EXPECT_FALSE(CloseHandle(a)) << "closing twice";
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(machine->openCount('E'), 2) << "closing does not change the count";
}

TEST_F(KernelDevices, OpenFailuresCarryWindowsErrors) {
    struct Case {
        const char* path;
        DWORD error;
    } cases[] = {
        {"\\\\.\\F:", ERROR_FILE_NOT_FOUND},  // no such letter
        {"E:\\", ERROR_FILE_NOT_FOUND},       // not a device path
        {"\\\\.\\EE:", ERROR_FILE_NOT_FOUND},
    };
    for (const auto& c : cases) {
        SetLastError(0);
        EXPECT_EQ(open(c.path, GENERIC_READ | GENERIC_WRITE), INVALID_HANDLE_VALUE) << c.path;
        EXPECT_EQ(GetLastError(), c.error) << c.path;
    }
    device->openFailure = ERROR_ACCESS_DENIED;
    EXPECT_EQ(open("\\\\.\\E:", GENERIC_READ | GENERIC_WRITE), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(machine->openCount('E'), 0);
    EXPECT_TRUE(machine->openHandles().empty());
}

TEST_F(KernelDevices, PassThroughNeedsReadAndWriteAccess) {
    struct Case {
        DWORD access;
        BOOL ok;
    } cases[] = {
        {GENERIC_READ | GENERIC_WRITE, TRUE},
        {GENERIC_READ, FALSE},
        {GENERIC_WRITE, FALSE},
        {FILE_READ_ATTRIBUTES, FALSE},
    };
    for (const auto& c : cases) {
        HANDLE handle = open("\\\\.\\E:", c.access);
        ASSERT_NE(handle, INVALID_HANDLE_VALUE);
        Request request = testUnitReady();
        EXPECT_EQ(passThrough(handle, request), c.ok) << std::hex << c.access;
        if (!c.ok) {
            EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
        }
        CloseHandle(handle);
    }
    EXPECT_EQ(device->received().size(), 1u) << "refused requests never reach the drive";
}

TEST_F(KernelDevices, MediaChangeControlWorksWithAttributeAccess) {
    HANDLE handle = open("\\\\.\\E:", FILE_READ_ATTRIBUTES);
    PREVENT_MEDIA_REMOVAL off{1}, on{0};
    DWORD returned = 0;
    EXPECT_TRUE(DeviceIoControl(handle, IOCTL_STORAGE_MCN_CONTROL, &off, sizeof off, nullptr, 0,
                                &returned, nullptr));
    EXPECT_TRUE(DeviceIoControl(handle, IOCTL_STORAGE_MCN_CONTROL, &on, sizeof on, nullptr, 0,
                                &returned, nullptr));
    EXPECT_EQ(device->mcnSwitches(), (std::vector<bool>{true, false}));

    device->mcnFailure = ERROR_NOT_SUPPORTED;
    EXPECT_FALSE(DeviceIoControl(handle, IOCTL_STORAGE_MCN_CONTROL, &off, sizeof off, nullptr, 0,
                                 &returned, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_SUPPORTED));
    EXPECT_FALSE(DeviceIoControl(handle, IOCTL_STORAGE_MCN_CONTROL, nullptr, 0, nullptr, 0,
                                 &returned, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST_F(KernelDevices, PassThroughCarriesTheRequestAndReturnsStatusAndSense) {
    device->answer.status = 2;
    device->answer.senseLength = 18;
    device->answer.sense[0] = 0x70;
    device->answer.sense[2] = 0x02;
    device->answer.sense[12] = 0x3A;
    device->answer.sense[13] = 0x02;
    device->answer.sense[17] = 0x99;  // beyond what the request asks for below
    HANDLE handle = open("\\\\.\\E:", GENERIC_READ | GENERIC_WRITE);
    Request request = testUnitReady();
    request.sptd.SenseInfoLength = 14;
    request.sptd.Cdb[0] = 0x00;
    request.sptd.Cdb[11] = 0x5A;
    ASSERT_TRUE(passThrough(handle, request));
    EXPECT_EQ(request.sptd.ScsiStatus, 2);
    EXPECT_EQ(request.sptd.SenseInfoLength, 14);
    EXPECT_EQ(request.sense[2], 0x02);
    EXPECT_EQ(request.sense[12], 0x3A);
    EXPECT_EQ(request.sense[13], 0x02);
    EXPECT_EQ(request.sense[17], 0) << "only SenseInfoLength bytes are written";

    auto received = device->received();
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].cdb.size(), 12u);
    EXPECT_EQ(received[0].cdb[11], 0x5A);
    EXPECT_EQ(received[0].direction, drivesim::DataDirection::In);
    EXPECT_EQ(received[0].timeoutSeconds, 5u);
}

TEST_F(KernelDevices, SenseIsCutToWhatTheDeviceHasEvenIfItClaimsMore) {
    device->answer.status = 2;
    device->answer.sense.fill(0x5A);
    device->answer.senseLength = 200;  // more than the 32 bytes a result holds
    HANDLE handle = open("\\\\.\\E:", GENERIC_READ | GENERIC_WRITE);
    struct LargeRequest {
        SCSI_PASS_THROUGH_DIRECT sptd;
        ULONG filler;
        UCHAR sense[96];
    } request{};
    request.sptd.Length = sizeof(SCSI_PASS_THROUGH_DIRECT);
    request.sptd.CdbLength = 12;
    request.sptd.SenseInfoLength = sizeof request.sense;
    request.sptd.SenseInfoOffset = offsetof(LargeRequest, sense);
    request.sptd.DataIn = SCSI_IOCTL_DATA_IN;
    DWORD returned = 0;
    ASSERT_TRUE(DeviceIoControl(handle, IOCTL_SCSI_PASS_THROUGH_DIRECT, &request, sizeof request,
                                &request, sizeof request, &returned, nullptr));
    EXPECT_EQ(request.sptd.SenseInfoLength, 32);
    EXPECT_EQ(returned, offsetof(LargeRequest, sense) + 32);
    EXPECT_EQ(request.sense[31], 0x5A);
    EXPECT_EQ(request.sense[32], 0) << "nothing beyond the device's sense bytes is written";
}

TEST_F(KernelDevices, DataInLandsInTheCallersBuffer) {
    device->dataIn = {1, 2, 3, 4};
    HANDLE handle = open("\\\\.\\E:", GENERIC_READ | GENERIC_WRITE);
    std::uint8_t buffer[8] = {};
    Request request = testUnitReady();
    request.sptd.DataBuffer = buffer;
    request.sptd.DataTransferLength = sizeof buffer;
    ASSERT_TRUE(passThrough(handle, request));
    EXPECT_EQ(request.sptd.DataTransferLength, 4u) << "an underrun reports the bytes moved";
    EXPECT_EQ(buffer[3], 4);
    EXPECT_EQ(buffer[4], 0);
}

TEST_F(KernelDevices, MalformedRequestsAreRefused) {
    HANDLE handle = open("\\\\.\\E:", GENERIC_READ | GENERIC_WRITE);
    struct Case {
        const char* what;
        void (*spoil)(Request&);
    } cases[] = {
        {"wrong Length", [](Request& r) { r.sptd.Length = 40; }},
        {"CDB too long", [](Request& r) { r.sptd.CdbLength = 17; }},
        {"data without buffer", [](Request& r) { r.sptd.DataTransferLength = 16; }},
        {"sense outside the block", [](Request& r) { r.sptd.SenseInfoOffset = sizeof(Request) - 8; }},
        {"bad direction", [](Request& r) { r.sptd.DataIn = 3; }},
    };
    for (const auto& c : cases) {
        Request request = testUnitReady();
        c.spoil(request);
        EXPECT_FALSE(passThrough(handle, request)) << c.what;
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER)) << c.what;
    }
    EXPECT_TRUE(device->received().empty());
}

TEST_F(KernelDevices, TransportFailuresAndHangs) {
    HANDLE handle = open("\\\\.\\E:", GENERIC_READ | GENERIC_WRITE);
    Request request = testUnitReady();

    device->answer.transport = drivesim::Transport::Failed;
    device->answer.errorCode = ERROR_IO_DEVICE;
    EXPECT_FALSE(passThrough(handle, request));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_IO_DEVICE));

    device->answer.transport = drivesim::Transport::Hung;
    request.sptd.TimeOutValue = 60;
    auto before = win32sim::clock::nowMs();
    EXPECT_FALSE(passThrough(handle, request));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SEM_TIMEOUT));
    EXPECT_EQ(win32sim::clock::nowMs() - before, 60000u) << "a hang costs the whole time-out";
}

TEST_F(KernelDevices, TheDrivesOwnTimePassesOnTheClock) {
    device->answer.busyMs = 7;
    HANDLE handle = open("\\\\.\\E:", GENERIC_READ | GENERIC_WRITE);
    Request request = testUnitReady();
    DWORD before = GetTickCount();
    ASSERT_TRUE(passThrough(handle, request));
    EXPECT_EQ(GetTickCount() - before, 7u);
    Sleep(500);
    EXPECT_EQ(GetTickCount() - before, 507u);
}

TEST_F(KernelDevices, ControlsOnAnythingButAnOpticalDeviceFail) {
    HANDLE fixed = open("\\\\.\\C:", GENERIC_READ | GENERIC_WRITE);
    ASSERT_NE(fixed, INVALID_HANDLE_VALUE);
    Request request = testUnitReady();
    EXPECT_FALSE(passThrough(fixed, request));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_FUNCTION));
    EXPECT_FALSE(passThrough(reinterpret_cast<HANDLE>(0x7777), request));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST_F(KernelDevices, InstallingAnotherMachineClosesTheOldHandles) {
    HANDLE handle = open("\\\\.\\E:", GENERIC_READ | GENERIC_WRITE);
    win32sim::installMachine(std::make_shared<win32sim::Machine>());
    EXPECT_TRUE(machine->openHandles().empty());
    Request request = testUnitReady();
    EXPECT_FALSE(passThrough(handle, request));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST(KernelErrors, LastErrorIsPerThread) {
    SetLastError(ERROR_ACCESS_DENIED);
    DWORD seenByOtherThread = 1234;
    std::thread other([&] {
        seenByOtherThread = GetLastError();
        SetLastError(ERROR_SEM_TIMEOUT);
    });
    other.join();
    EXPECT_EQ(seenByOtherThread, static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
}

}  // namespace

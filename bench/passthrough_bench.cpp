// What one command costs on the pass-through path, layer by layer, for the three shapes of
// command the update sends: one without data (TEST UNIT READY), a 256-byte data-in (READ
// BUFFER of the identity block) and a 16 KiB data-out (a WRITE BUFFER chunk).
//
// Each command is measured three times over, from three starting points:
//   product      the product's command function (TestUnitReady, ReadBuffer, WriteBuffer):
//                CDB, request block, IssueCommand, ExecATAPICommand, DeviceIoControl, device
//   passthrough  DeviceIoControl with a ready request block: the stand-in's pass-through
//                (where Windows' own storage stack would be) and the device
//   device       the device's execute() alone
// and against two devices: `instant`, which answers GOOD at once and does nothing, and
// `emulated`, the emulated target drive (its transcript, data copies and hashing included).
// The product's own cost per command is product - passthrough; against the instant device,
// product is everything the tool and the stand-in add to a command.
//
// Against the instant device the stand-in runs on its real clock: the device reports no busy
// time, so nothing is waited for and nothing else is counted. Against the emulated drive it
// runs on its virtual clock, so that the drive's busy time (1-2 ms) is counted, not waited;
// letting virtual time pass yields the processor once per command (a system call, part of the
// passthrough figures).
#include <windows.h>
#include <ntddscsi.h>
#include <winioctl.h>

#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "drive.h"
#include "drivesim/target_drive.h"
#include "support/drive_layer_state.h"
#include "support/emulated_machine.h"
#include "support/stand_in.h"
#include "timed_device.h"
#include "win32sim/clock.h"
#include "win32sim/machine.h"

namespace {

enum class Command { TestUnitReady, ReadIdentity, WriteChunk };
enum class Layer { Product, PassThrough, Device };
enum class Target { Instant, Emulated };

constexpr DWORD kIdentityOffset = 0x1EC000;
constexpr DWORD kIdentitySize = 256;
constexpr DWORD kChunkSize = 0x4000;
constexpr DWORD kChunkCount = 128;
constexpr BYTE kTimeoutShort = 5;
constexpr BYTE kTimeoutLong = 60;

// The CDBs as the product's command functions build them.
std::array<BYTE, CDB_SIZE> testUnitReadyCdb() { return {}; }

std::array<BYTE, CDB_SIZE> bufferCdb(BYTE opcode, BYTE mode, DWORD offset, DWORD length) {
    std::array<BYTE, CDB_SIZE> cdb{};
    cdb[0] = opcode;
    cdb[1] = mode;
    cdb[3] = static_cast<BYTE>(offset >> 16);
    cdb[4] = static_cast<BYTE>(offset >> 8);
    cdb[5] = static_cast<BYTE>(offset);
    cdb[6] = static_cast<BYTE>(length >> 16);
    cdb[7] = static_cast<BYTE>(length >> 8);
    cdb[8] = static_cast<BYTE>(length);
    return cdb;
}

std::array<BYTE, CDB_SIZE> beginCdb() {
    std::array<BYTE, CDB_SIZE> cdb{};
    cdb[0] = 0x3B;
    cdb[1] = 0x01;
    cdb[9] = 0x0B;
    return cdb;
}

// One machine with one optical drive on E:, found by the drive layer and selected.
class Bench {
public:
    explicit Bench(Target target) {
        testing_support::resetStandIn();
        testing_support::resetDriveLayer();
        machine_ = std::make_shared<win32sim::Machine>();
        machine_->setDrive('C', win32sim::DriveKind::Fixed);
        if (target == Target::Instant) {
            win32sim::clock::useReal();
            device_ = std::make_shared<bench::InstantDevice>();
        } else {
            drivesim::TargetDriveConfig config;
            config.mediumLoaded = true;  // TEST UNIT READY is GOOD, as on the instant device
            device_ = std::make_shared<drivesim::TargetDrive>(std::move(config),
                                                              testing_support::standInClock());
        }
        machine_->setOptical('E', device_);
        win32sim::installMachine(machine_);
        FindOpticalDrives();
        g_SelectedDrive = 0;
        handle_ = CreateFileA("\\\\.\\E:", GENERIC_READ | GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
        image_.resize(kChunkSize * kChunkCount);
        for (std::size_t i = 0; i < image_.size(); ++i)
            image_[i] = static_cast<BYTE>(i * 131 + (i >> 11));
    }
    ~Bench() {
        if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
        if (g_hDevice != INVALID_HANDLE_VALUE) CloseHandle(g_hDevice);
        g_hDevice = INVALID_HANDLE_VALUE;
        win32sim::installMachine(std::make_shared<win32sim::Machine>());
        win32sim::clock::useVirtual();
    }
    Bench(const Bench&) = delete;
    Bench& operator=(const Bench&) = delete;

    bool ready() const { return handle_ != INVALID_HANDLE_VALUE; }

    // One command from the given layer down; false if it did not end GOOD.
    bool send(Layer layer, Command command) {
        switch (command) {
            case Command::TestUnitReady:
                return send(layer, testUnitReadyCdb(), nullptr, 0, DIRECTION_IN, kTimeoutShort);
            case Command::ReadIdentity:
                return send(layer, bufferCdb(0x3C, 6, kIdentityOffset, kIdentitySize),
                            identity_.data(), kIdentitySize, DIRECTION_IN, kTimeoutLong);
            case Command::WriteChunk: {
                // Chunks go in ascending order after a begin, as the drive wants them; a new
                // download begins after the last chunk (one begin per 128 chunks).
                if (nextChunk_ == 0 &&
                    !send(layer, beginCdb(), nullptr, 0, DIRECTION_OUT, kTimeoutLong))
                    return false;
                DWORD offset = nextChunk_ * kChunkSize;
                nextChunk_ = (nextChunk_ + 1) % kChunkCount;
                return send(layer, bufferCdb(0x3B, 6, offset, kChunkSize), image_.data() + offset,
                            kChunkSize, DIRECTION_OUT, kTimeoutLong);
            }
        }
        return false;
    }

private:
    bool send(Layer layer, const std::array<BYTE, CDB_SIZE>& cdb, BYTE* data, DWORD length,
              BYTE direction, BYTE timeout) {
        switch (layer) {
            case Layer::Product:
                return viaProduct(cdb, data, length, direction);
            case Layer::PassThrough:
                return viaPassThrough(cdb, data, length, direction, timeout);
            case Layer::Device:
                return viaDevice(cdb, data, length, direction, timeout);
        }
        return false;
    }

    // The command functions the update calls.
    static bool viaProduct(const std::array<BYTE, CDB_SIZE>& cdb, BYTE* data, DWORD length,
                           BYTE direction) {
        if (cdb[0] == 0x00) return TestUnitReady() != 0;
        DWORD offset = (DWORD{cdb[3]} << 16) | (DWORD{cdb[4]} << 8) | cdb[5];
        if (cdb[0] == 0x3C) return ReadBuffer(cdb[1], cdb[2], offset, length, data) != 0;
        if (cdb[1] == 0x01) return BeginDownload() != 0;
        (void)direction;
        return WriteBuffer(cdb[1], cdb[2], offset, length, data) != 0;
    }

    bool viaPassThrough(const std::array<BYTE, CDB_SIZE>& cdb, BYTE* data, DWORD length,
                        BYTE direction, BYTE timeout) {
        SPTD_WITH_SENSE request;
        std::memset(&request, 0, sizeof request);
        request.sptd.Length = sizeof(SCSI_PASS_THROUGH_DIRECT);
        request.sptd.CdbLength = CDB_SIZE;
        request.sptd.SenseInfoLength = SENSE_DATA_SIZE;
        request.sptd.SenseInfoOffset = offsetof(SPTD_WITH_SENSE, ucSenseBuf);
        request.sptd.DataIn = direction == DIRECTION_IN ? SCSI_IOCTL_DATA_IN : SCSI_IOCTL_DATA_OUT;
        request.sptd.DataBuffer = length ? data : nullptr;
        request.sptd.DataTransferLength = length;
        request.sptd.TimeOutValue = timeout;
        std::memcpy(request.sptd.Cdb, cdb.data(), CDB_SIZE);
        DWORD returned = 0;
        if (!DeviceIoControl(handle_, IOCTL_SCSI_PASS_THROUGH_DIRECT, &request, sizeof request,
                             &request, sizeof request, &returned, nullptr))
            return false;
        return request.sptd.ScsiStatus == 0;
    }

    bool viaDevice(const std::array<BYTE, CDB_SIZE>& cdb, BYTE* data, DWORD length,
                   BYTE direction, BYTE timeout) {
        drivesim::ScsiCommand command;
        command.cdb = cdb.data();
        command.cdbLength = CDB_SIZE;
        command.direction =
            direction == DIRECTION_IN ? drivesim::DataDirection::In : drivesim::DataDirection::Out;
        command.data = length ? data : nullptr;
        command.length = length;
        command.timeoutSeconds = timeout;
        drivesim::ScsiResult result = device_->execute(command);
        return result.transport == drivesim::Transport::Delivered && result.status == 0;
    }

    std::shared_ptr<win32sim::Machine> machine_;
    std::shared_ptr<drivesim::ScsiDevice> device_;
    HANDLE handle_ = INVALID_HANDLE_VALUE;
    std::array<BYTE, kIdentitySize> identity_{};
    std::vector<BYTE> image_;
    DWORD nextChunk_ = 0;
};

void runCommand(benchmark::State& state, Command command, Layer layer, Target target) {
    Bench bench(target);
    if (!bench.ready()) {
        state.SkipWithError("the drive could not be opened");
        return;
    }
    for (auto _ : state) {
        if (!bench.send(layer, command)) {
            state.SkipWithError("the command did not end GOOD");
            break;
        }
    }
    state.SetItemsProcessed(state.iterations());
    DWORD bytes = command == Command::ReadIdentity ? kIdentitySize
                  : command == Command::WriteChunk ? kChunkSize
                                                    : 0;
    if (bytes) state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * bytes);
}

void registerAll() {
    const std::pair<Command, const char*> commands[] = {
        {Command::TestUnitReady, "TestUnitReady"},
        {Command::ReadIdentity, "ReadBuffer_256B_in"},
        {Command::WriteChunk, "WriteBuffer_16KiB_out"},
    };
    const std::pair<Target, const char*> targets[] = {
        {Target::Instant, "instant"},
        {Target::Emulated, "emulated"},
    };
    const std::pair<Layer, const char*> layers[] = {
        {Layer::Product, "product"},
        {Layer::PassThrough, "passthrough"},
        {Layer::Device, "device"},
    };
    for (const auto& [command, commandName] : commands)
        for (const auto& [target, targetName] : targets)
            for (const auto& [layer, layerName] : layers) {
                std::string name = std::string(commandName) + "/" + targetName + "/" + layerName;
                benchmark::RegisterBenchmark(
                    name.c_str(),
                    [command = command, layer = layer, target = target](benchmark::State& s) {
                        runCommand(s, command, layer, target);
                    })
                    ->Unit(benchmark::kMicrosecond);
            }
}

}  // namespace

int main(int argc, char** argv) {
    registerAll();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

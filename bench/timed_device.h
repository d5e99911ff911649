// Measuring devices for the benchmarks.
//
// InstantDevice answers every command at once with GOOD and does no work of its own, so
// that a command sent to it costs only the layers above the device: the product's command
// functions and the pass-through as the stand-in implements it.
//
// TimedDevice stands in front of another device and accounts for what happens inside it:
// the real time spent in its execute(), the busy time it reports, and the CPU time of the
// thread that sends the commands (read at every command, so the last reading tells how
// much CPU that thread had used by its last command).
#pragma once

#include <time.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>

#include "drivesim/scsi_device.h"

namespace bench {

class InstantDevice final : public drivesim::ScsiDevice {
public:
    drivesim::ScsiResult execute(const drivesim::ScsiCommand& command) override {
        drivesim::ScsiResult result;
        result.transferred = command.length;
        return result;
    }
};

inline std::uint64_t threadCpuNs() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<std::uint64_t>(ts.tv_sec) * 1'000'000'000u +
           static_cast<std::uint64_t>(ts.tv_nsec);
}

inline std::uint64_t processCpuNs() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<std::uint64_t>(ts.tv_sec) * 1'000'000'000u +
           static_cast<std::uint64_t>(ts.tv_nsec);
}

class TimedDevice final : public drivesim::ScsiDevice {
public:
    explicit TimedDevice(std::shared_ptr<drivesim::ScsiDevice> inner) : inner_(std::move(inner)) {}

    drivesim::ScsiResult execute(const drivesim::ScsiCommand& command) override {
        std::uint64_t cpuBefore = threadCpuNs();
        auto before = std::chrono::steady_clock::now();
        drivesim::ScsiResult result = inner_->execute(command);
        auto elapsed = std::chrono::steady_clock::now() - before;
        std::uint64_t cpuAfter = threadCpuNs();

        ++commands_;
        insideNs_ += static_cast<std::uint64_t>(
            std::chrono::duration_cast<std::chrono::nanoseconds>(elapsed).count());
        insideCpuNs_ += cpuAfter - cpuBefore;
        busyMs_ += result.busyMs;
        std::uint64_t expected = 0;
        firstSenderCpuNs_.compare_exchange_strong(expected, cpuBefore);
        lastSenderCpuNs_ = cpuAfter;
        return result;
    }
    std::uint32_t openError() override { return inner_->openError(); }
    bool present() override { return inner_->present(); }
    std::uint32_t mediaChangeControl(bool pollingOff) override {
        return inner_->mediaChangeControl(pollingOff);
    }

    void resetCounts() {
        commands_ = 0;
        insideNs_ = 0;
        insideCpuNs_ = 0;
        busyMs_ = 0;
        firstSenderCpuNs_ = 0;
        lastSenderCpuNs_ = 0;
    }

    std::uint64_t commands() const { return commands_; }
    std::uint64_t insideNs() const { return insideNs_; }        // real time in execute()
    std::uint64_t insideCpuNs() const { return insideCpuNs_; }  // CPU time in execute()
    std::uint64_t busyMs() const { return busyMs_; }            // busy time the device reported
    // CPU time of the sending thread from its first command to the end of its last one.
    std::uint64_t senderCpuNs() const { return lastSenderCpuNs_ - firstSenderCpuNs_; }

private:
    std::shared_ptr<drivesim::ScsiDevice> inner_;
    std::atomic<std::uint64_t> commands_{0};
    std::atomic<std::uint64_t> insideNs_{0};
    std::atomic<std::uint64_t> insideCpuNs_{0};
    std::atomic<std::uint64_t> busyMs_{0};
    std::atomic<std::uint64_t> firstSenderCpuNs_{0};
    std::atomic<std::uint64_t> lastSenderCpuNs_{0};
};

}  // namespace bench

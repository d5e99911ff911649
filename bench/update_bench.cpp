// A complete update, from START to the completion box, with the whole program running: WinMain
// on its own thread, the scripted user at the screen, an ordinary drive on E: and the
// emulated target drive on G: with its usual timings (tray 1.5 s, 2 ms per chunk, a 20 s
// write, then the reset).
//
// CompleteUpdate/real_time runs on the real clock, so it takes as long as on a real drive
// (about 25 s: run it with few repetitions). Its wall time is split into
//   drive_busy    the busy time the drive reported for each command (from its transcript)
//   sleep         what the update's own Sleep calls asked for (tray wait, poll interval,
//                 the pauses after the reset)
//   overshoot     how much longer those waits really took than asked (the OS's timers)
//   emulation     real time inside the emulated drive's execute() (transcript, copies,
//                 hashing: what a real drive does in hardware)
//   overhead      the rest: the tool's own work (product and stand-in, message passing
//                 between the worker and the dialog, the user's reaction to the box)
// The goal is overhead under 1 % of the drive's own time (its busy times plus the tray's
// opening and the flash write it imposes). CPU time is counted for the process and for the
// worker thread (by its CPU clock, read at each command).
//
// CompleteUpdate/virtual_clock runs the same update on the virtual clock, where nothing is
// waited for: its time is the tool's processing alone.
#include <windows.h>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "drivesim/ordinary_drive.h"
#include "drivesim/target_drive.h"
#include "main_dialog.h"
#include "resource.h"
#include "support/drive_layer_state.h"
#include "support/emulated_machine.h"
#include "support/stand_in.h"
#include "timed_device.h"
#include "win32sim/clock.h"
#include "win32sim/machine.h"
#include "win32sim/process.h"
#include "win32sim/scripted_user.h"

namespace {

constexpr int kTargetEntry = 1;
const char* const kCompleted = "FW Updating Completed Sucessfully";

struct Figures {
    double wallMs = 0;
    double driveBusyMs = 0;        // from the transcript: the busy time of each command
    double driveImposedMs = 0;     // the tray's opening and the flash write
    double sleptMs = 0;            // what Sleep asked for
    double sleepCalls = 0;
    double deviceWaitMs = 0;       // what the pass-through let pass for the drive's busy time
    double waitedMs = 0;           // what all waits really took (real clock)
    double emulationMs = 0;        // real time inside the emulated drive
    double overheadMs = 0;         // the rest
    double processCpuMs = 0;
    double workerCpuMs = 0;        // the worker thread, first command to last
    double workerCpuInDriveMs = 0;
    double commands = 0;
};

double ms(std::uint64_t ns) { return static_cast<double>(ns) / 1e6; }

// Runs one complete update; the error when it did not end with the completion box.
std::optional<std::string> runUpdate(bool realClock, Figures& figures) {
    testing_support::resetStandIn();
    testing_support::resetDriveLayer();
    g_hDlg = nullptr;
    g_TargetDriveCount = 0;
    if (realClock) win32sim::clock::useReal();

    auto machine = std::make_shared<win32sim::Machine>();
    machine->setDrive('C', win32sim::DriveKind::Fixed);
    machine->setOptical('E', std::make_shared<drivesim::OrdinaryDrive>(
                                 drivesim::OrdinaryDriveConfig{}, testing_support::standInClock()));
    drivesim::TargetDriveConfig config;  // tray 1.5 s, 2 ms per chunk, 20 s write
    auto target = std::make_shared<drivesim::TargetDrive>(config, testing_support::standInClock());
    auto timed = std::make_shared<bench::TimedDevice>(target);
    machine->setOptical('G', timed);
    win32sim::installMachine(machine);

    std::optional<std::string> error;
    {
        win32sim::ScriptedUser user;
        std::thread program([] {
            char commandLine[] = "";
            WinMain(GetModuleHandleA(nullptr), nullptr, commandLine, 1);
        });

        if (!user.waitForDialog()) {
            error = "the dialog never appeared";
        } else {
            user.selectEntry(IDC_DRIVE_LIST, kTargetEntry);
            std::size_t transcriptBefore = target->transcript().size();
            timed->resetCounts();
            win32sim::clock::resetPassedTime();
            std::uint64_t cpuBefore = bench::processCpuNs();
            auto start = std::chrono::steady_clock::now();

            user.click(IDC_START);
            auto box = user.waitForMessageBox(std::chrono::seconds(120));

            auto end = std::chrono::steady_clock::now();
            std::uint64_t cpuAfter = bench::processCpuNs();
            auto passed = win32sim::clock::passedTime();

            if (!box || box->text != kCompleted) {
                error = "the update did not complete: " + (box ? box->text : std::string("no box"));
            } else {
                figures.wallMs = ms(static_cast<std::uint64_t>(
                    std::chrono::duration_cast<std::chrono::nanoseconds>(end - start).count()));
                double busy = 0;
                auto entries = target->transcript().entries();
                for (std::size_t i = transcriptBefore; i < entries.size(); ++i) {
                    const auto& entry = entries[i];
                    if (entry.type != drivesim::EntryType::Command ||
                        entry.transport != drivesim::Transport::Delivered)
                        continue;
                    busy += config.timings.busy.forKind(entry.kind);
                }
                figures.driveBusyMs = busy;
                figures.driveImposedMs = config.timings.trayOpenMs + config.timings.writeMs;
                figures.sleptMs = static_cast<double>(passed.sleptMs);
                figures.sleepCalls = static_cast<double>(passed.sleepCalls);
                figures.deviceWaitMs = static_cast<double>(passed.passedMs - passed.sleptMs);
                figures.waitedMs = ms(passed.waitedNs);
                figures.emulationMs = ms(timed->insideNs());
                figures.overheadMs = figures.wallMs - figures.waitedMs - figures.emulationMs;
                figures.processCpuMs = ms(cpuAfter - cpuBefore);
                figures.workerCpuMs = ms(timed->senderCpuNs());
                figures.workerCpuInDriveMs = ms(timed->insideCpuNs());
                figures.commands = static_cast<double>(timed->commands());
                if (static_cast<std::uint64_t>(busy) != timed->busyMs())
                    error = "the transcript's busy time differs from what the drive reported";
            }
            user.answerMessageBox(IDOK);
        }
        // The program closes itself after a completed update; otherwise close it.
        for (int attempt = 0; attempt < 100 && win32sim::runningThreads() > 0; ++attempt)
            win32sim::waitForThreads(std::chrono::milliseconds(100));
        if (user.dialogOpen()) {
            while (user.openMessageBoxes() > 0) user.answerMessageBox(IDOK);
            user.closeFromCaption();
        }
        program.join();
    }
    win32sim::waitForThreads(std::chrono::seconds(10));
    win32sim::installMachine(std::make_shared<win32sim::Machine>());
    win32sim::clock::useVirtual();
    return error;
}

void report(benchmark::State& state, const Figures& sum, std::int64_t runs) {
    auto avg = [&](double value) { return benchmark::Counter(value / static_cast<double>(runs)); };
    state.counters["wall_ms"] = avg(sum.wallMs);
    state.counters["drive_busy_ms"] = avg(sum.driveBusyMs);
    state.counters["drive_imposed_ms"] = avg(sum.driveImposedMs);
    state.counters["sleep_ms"] = avg(sum.sleptMs);
    state.counters["sleep_calls"] = avg(sum.sleepCalls);
    state.counters["device_wait_ms"] = avg(sum.deviceWaitMs);
    state.counters["overshoot_ms"] =
        avg(sum.waitedMs - sum.sleptMs - sum.deviceWaitMs > 0
                ? sum.waitedMs - sum.sleptMs - sum.deviceWaitMs
                : 0);
    state.counters["emulation_ms"] = avg(sum.emulationMs);
    state.counters["overhead_ms"] = avg(sum.overheadMs);
    double driveMs = sum.driveBusyMs + sum.driveImposedMs;
    state.counters["overhead_pct_of_drive"] = benchmark::Counter(100.0 * sum.overheadMs / driveMs);
    state.counters["process_cpu_ms"] = avg(sum.processCpuMs);
    state.counters["worker_cpu_ms"] = avg(sum.workerCpuMs);
    state.counters["worker_cpu_outside_drive_ms"] =
        avg(sum.workerCpuMs - sum.workerCpuInDriveMs);
    state.counters["commands"] = avg(sum.commands);
}

void completeUpdate(benchmark::State& state, bool realClock) {
    Figures sum;
    std::int64_t runs = 0;
    for (auto _ : state) {
        Figures figures;
        if (auto error = runUpdate(realClock, figures)) {
            state.SkipWithError(error->c_str());
            return;
        }
        state.SetIterationTime(figures.wallMs / 1000.0);
        sum.wallMs += figures.wallMs;
        sum.driveBusyMs += figures.driveBusyMs;
        sum.driveImposedMs += figures.driveImposedMs;
        sum.sleptMs += figures.sleptMs;
        sum.sleepCalls += figures.sleepCalls;
        sum.deviceWaitMs += figures.deviceWaitMs;
        sum.waitedMs += figures.waitedMs;
        sum.emulationMs += figures.emulationMs;
        sum.overheadMs += figures.overheadMs;
        sum.processCpuMs += figures.processCpuMs;
        sum.workerCpuMs += figures.workerCpuMs;
        sum.workerCpuInDriveMs += figures.workerCpuInDriveMs;
        sum.commands += figures.commands;
        ++runs;
    }
    if (runs) report(state, sum, runs);
}

}  // namespace

// About 25 s per run; repeat with --benchmark_repetitions=N.
BENCHMARK_CAPTURE(completeUpdate, real_time, true)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

BENCHMARK_CAPTURE(completeUpdate, virtual_clock, false)
    ->UseManualTime()
    ->MinTime(1.0)
    ->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();

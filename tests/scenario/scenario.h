// Scenario tests of the whole program: WinMain on its own thread, on an emulated machine,
// with the scripted user at the screen and the virtual clock.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "resource.h"
#include "support/emulated_machine.h"
#include "win32sim/message_boxes.h"
#include "win32sim/scripted_user.h"

namespace scenario {

// The program, started as Windows would start it.
class ProgramRun {
public:
    ProgramRun();
    ~ProgramRun();
    ProgramRun(const ProgramRun&) = delete;
    ProgramRun& operator=(const ProgramRun&) = delete;

    // The exit code once WinMain has returned; nullopt if it is still running then.
    std::optional<int> waitForExit(std::chrono::milliseconds timeout = std::chrono::seconds(10));
    bool ended() const;

private:
    struct State;
    std::shared_ptr<State> state_;
    std::thread thread_;
};

// Waits (bounded, real time) until a condition holds, for state that another thread is
// about to change; the last check's result.
bool eventually(const std::function<bool()>& condition,
                std::chrono::milliseconds timeout = std::chrono::seconds(10));

class ScenarioTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Starts the program and waits for its dialog.
    void startProgram();
    // Starts the program and answers the boxes shown before the dialog appears.
    void startProgramAnswering(int boxes);

    // Waits for the next box and answers it with OK.
    win32sim::MessageBoxInfo nextBox();
    // Presses START and returns the box the worker ends with (answering any "ERROR" boxes
    // of the pass-through layer first, which are collected in `errorBoxes`).
    win32sim::MessageBoxInfo startAndGetFinalBox();

    testing_support::EmulatedMachine& emulated() { return *machine_; }

    std::unique_ptr<testing_support::EmulatedMachine> machine_;
    std::unique_ptr<win32sim::ScriptedUser> user;
    std::unique_ptr<ProgramRun> program;
    std::vector<win32sim::MessageBoxInfo> errorBoxes;
};

}  // namespace scenario

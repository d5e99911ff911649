#include "scenario/scenario.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

#include "main_dialog.h"
#include "support/drive_layer_state.h"
#include "support/stand_in.h"
#include "win32sim/process.h"
#include "win32sim/resources.h"

namespace scenario {

struct ProgramRun::State {
    std::mutex mutex;
    std::condition_variable ended;
    std::optional<int> exitCode;
};

ProgramRun::ProgramRun() : state_(std::make_shared<State>()) {
    thread_ = std::thread([state = state_] {
        char commandLine[] = "";
        int code = WinMain(GetModuleHandleA(nullptr), nullptr, commandLine, 1);
        std::lock_guard<std::mutex> lock(state->mutex);
        state->exitCode = code;
        state->ended.notify_all();
    });
}

ProgramRun::~ProgramRun() {
    if (waitForExit(std::chrono::seconds(10)))
        thread_.join();
    else
        thread_.detach();  // the test has failed already; do not hang the whole suite
}

std::optional<int> ProgramRun::waitForExit(std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(state_->mutex);
    state_->ended.wait_for(lock, timeout, [&] { return state_->exitCode.has_value(); });
    return state_->exitCode;
}

bool ProgramRun::ended() const {
    std::lock_guard<std::mutex> lock(state_->mutex);
    return state_->exitCode.has_value();
}

bool eventually(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline) return condition();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

void ScenarioTest::SetUp() {
    testing_support::resetStandIn();
    testing_support::resetDriveLayer();
    win32sim::resetResources();
    g_hDlg = nullptr;
    g_TargetDriveCount = 0;
    machine_ = std::make_unique<testing_support::EmulatedMachine>();
}

void ScenarioTest::TearDown() {
    if (program && !program->ended() && user) {
        // Wind down whatever the test left running: answer boxes, then close.
        for (int attempt = 0; attempt < 50 && !program->ended(); ++attempt) {
            while (user->openMessageBoxes() > 0) user->answerMessageBox(IDOK);
            if (user->dialogOpen() && user->isEnabled(IDC_EXIT)) user->closeFromCaption();
            program->waitForExit(std::chrono::milliseconds(100));
        }
        EXPECT_TRUE(program->ended()) << "the program could not be closed at the end";
    }
    program.reset();
    EXPECT_TRUE(win32sim::waitForThreads(std::chrono::seconds(10))) << "a worker never ended";
    user.reset();
}

void ScenarioTest::startProgram() { startProgramAnswering(0); }

void ScenarioTest::startProgramAnswering(int boxes) {
    user = std::make_unique<win32sim::ScriptedUser>();
    program = std::make_unique<ProgramRun>();
    for (int i = 0; i < boxes; ++i) {
        auto box = user->waitForMessageBox();
        ASSERT_TRUE(box) << "box " << i + 1 << " of " << boxes << " before the dialog";
        EXPECT_FALSE(user->dialogOpen()) << "the box comes before the dialog is shown";
        errorBoxes.push_back(*box);
        user->answerMessageBox(IDOK);
    }
    ASSERT_NE(user->waitForDialog(), nullptr) << "the dialog never appeared";
}

win32sim::MessageBoxInfo ScenarioTest::nextBox() {
    auto box = user->waitForMessageBox();
    if (!box) {
        ADD_FAILURE() << "no message box appeared";
        return {};
    }
    user->answerMessageBox(IDOK);
    return *box;
}

win32sim::MessageBoxInfo ScenarioTest::startAndGetFinalBox() {
    user->click(IDC_START);
    for (;;) {
        auto box = nextBox();
        if (box.caption != "ERROR") return box;
        errorBoxes.push_back(box);
    }
}

}  // namespace scenario

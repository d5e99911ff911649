// Every refusal and failure of the update: the box the user sees, what the drive received
// and what it never did, and that everything comes back for another try.
#include <functional>

#include "update_fixture.h"

namespace {

using drivesim::CommandKind;
using drivesim::TargetDriveConfig;
using update_test::UpdateScenario;

struct Refusal {
    const char* name;
    std::function<void(TargetDriveConfig&)> configure;  // the target drive
    std::function<void()> prepare;                      // resources, once the dialog is up
    const char* text;
    UINT style;
    int errorBoxes;               // "ERROR" boxes of the pass-through layer before it
    std::vector<std::string> log;  // what the target saw after the listing
};

drivesim::CommandFault checkCondition(CommandKind kind, std::uint32_t nth = 1) {
    return drivesim::checkConditionFault(kind, nth, drivesim::sense::kInvalidField);
}

std::vector<std::string> chunksFrom(unsigned first, unsigned count) {
    std::vector<std::string> lines;
    char line[40];
    for (unsigned i = first; i < first + count; ++i) {
        std::snprintf(line, sizeof line, "CHUNK %X -> GOOD", i * 0x4000);
        lines.push_back(line);
    }
    return lines;
}

std::vector<std::string> join(std::vector<std::vector<std::string>> parts) {
    std::vector<std::string> all;
    for (auto& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

const std::vector<std::string> kUntilBegin = {"READ BUFFER 1EC000 256 -> GOOD", "MCN off",
                                              "SSU 2 -> GOOD", "TUR -> 02/04/01",
                                              "TUR -> 02/04/01", "TUR -> 02/3A/02",
                                              "BEGIN -> GOOD"};

void resizeImage(long delta) {
    auto image = update_test::builtInImage();
    image.resize(static_cast<std::size_t>(static_cast<long>(image.size()) + delta), 0xFF);
    win32sim::overrideResource(10, IDR_FIRMWARE, image);
}

const Refusal kRefusals[] = {
    {"IdentityReadRefused",
     [](TargetDriveConfig& c) { c.faults.commands = {checkCondition(CommandKind::ReadBuffer)}; },
     nullptr, "Updating Failure #1.", MB_ICONERROR, 0, {"READ BUFFER 1EC000 256 -> 05/24/00", "MCN on"}},
    {"IdentityReadNotCarried",
     [](TargetDriveConfig& c) {
         c.faults.commands = {drivesim::passThroughFault(CommandKind::ReadBuffer, 1, 1117)};
     },
     nullptr, "Updating Failure #1.", MB_ICONERROR, 1, {"READ BUFFER 1EC000 256 -> FAILED", "MCN on"}},
    {"FirmwareIsCurrent",
     [](TargetDriveConfig& c) { drivesim::setIdentityCode(c.firmware, "KT7"); }, nullptr,
     "Your optical drive firmware is up to date", MB_ICONWARNING, 0,
     {"READ BUFFER 1EC000 256 -> GOOD", "MCN on"}},
    {"CodeInLowerCase",
     [](TargetDriveConfig& c) { drivesim::setIdentityCode(c.firmware, "kt8"); }, nullptr,
     "This drive does not need any FW changes.", MB_ICONWARNING, 0,
     {"READ BUFFER 1EC000 256 -> GOOD", "MCN on"}},
    {"OtherCode", [](TargetDriveConfig& c) { drivesim::setIdentityCode(c.firmware, "KT9"); },
     nullptr, "This drive does not need any FW changes.", MB_ICONWARNING, 0,
     {"READ BUFFER 1EC000 256 -> GOOD", "MCN on"}},
    {"ImageMissing", nullptr, [] { win32sim::removeResource(10, IDR_FIRMWARE); },
     "FW Resource Load Error #1", MB_ICONWARNING, 0, {"READ BUFFER 1EC000 256 -> GOOD", "MCN on"}},
    {"ImageNotLoaded", nullptr, [] { win32sim::failLoadResource(true); },
     "FW Resource Load Error #2", MB_ICONWARNING, 0, {"READ BUFFER 1EC000 256 -> GOOD", "MCN on"}},
    {"ImageOneByteShort", nullptr, [] { resizeImage(-1); }, "Wrong FW file Size", MB_ICONERROR, 0,
     {"READ BUFFER 1EC000 256 -> GOOD", "MCN on"}},
    {"ImageOneByteLong", nullptr, [] { resizeImage(+1); }, "Wrong FW file Size", MB_ICONERROR, 0,
     {"READ BUFFER 1EC000 256 -> GOOD", "MCN on"}},
    {"TrayRefused",
     [](TargetDriveConfig& c) { c.faults.commands = {checkCondition(CommandKind::StartStopUnit)}; },
     nullptr, "Updating Failure #2.", MB_ICONERROR, 0,
     {"READ BUFFER 1EC000 256 -> GOOD", "MCN off", "SSU 2 -> 05/24/00", "MCN on"}},
    {"DownloadStartRefused",
     [](TargetDriveConfig& c) { c.faults.commands = {checkCondition(CommandKind::DownloadBegin)}; },
     nullptr, "Updating Failure #3.", MB_ICONERROR, 0,
     {"READ BUFFER 1EC000 256 -> GOOD", "MCN off", "SSU 2 -> GOOD", "TUR -> 02/04/01",
      "TUR -> 02/04/01", "TUR -> 02/3A/02", "BEGIN -> 05/24/00", "MCN on"}},
    {"FirstChunkRefused",
     [](TargetDriveConfig& c) { c.faults.commands = {checkCondition(CommandKind::DownloadChunk)}; },
     nullptr, "Updating Failure #4.", MB_ICONERROR, 0,
     join({kUntilBegin, {"CHUNK 0 -> 05/24/00", "MCN on"}})},
    {"ChunkAtHalfTheImageRefused",
     [](TargetDriveConfig& c) {
         c.faults.commands = {checkCondition(CommandKind::DownloadChunk, 65)};
     },
     nullptr, "Updating Failure #4.", MB_ICONERROR, 0,
     join({kUntilBegin, chunksFrom(0, 64), {"CHUNK 100000 -> 05/24/00", "MCN on"}})},
    {"ChunkNotCarried",
     [](TargetDriveConfig& c) {
         c.faults.commands = {drivesim::passThroughFault(CommandKind::DownloadChunk, 128, 1117)};
     },
     nullptr, "Updating Failure #4.", MB_ICONERROR, 1,
     join({kUntilBegin, chunksFrom(0, 127), {"CHUNK 1FC000 -> FAILED", "MCN on"}})},
    {"CommitRefused",
     [](TargetDriveConfig& c) { c.faults.commands = {checkCondition(CommandKind::DownloadCommit)}; },
     nullptr, "Updating Failure #5.", MB_ICONERROR, 0,
     join({kUntilBegin, chunksFrom(0, 128), {"COMMIT -> 05/24/00", "MCN on"}})},
};

void PrintTo(const Refusal& refusal, std::ostream* os) { *os << refusal.name; }

class UpdateRefusal : public UpdateScenario, public ::testing::WithParamInterface<Refusal> {};

TEST_P(UpdateRefusal, ShowsItsBoxAndGivesEverythingBack) {
    const Refusal& refusal = GetParam();
    TargetDriveConfig config;
    if (refusal.configure) refusal.configure(config);
    startWithTarget(config);
    if (refusal.prepare) refusal.prepare();
    auto original = target->installedFirmware();

    user->click(IDC_START);
    for (int i = 0; i < refusal.errorBoxes; ++i) {
        auto box = user->waitForMessageBox();
        ASSERT_TRUE(box);
        EXPECT_EQ(box->caption, "ERROR");
        EXPECT_EQ(box->owner, nullptr);
        EXPECT_TRUE(user->dialogEnabled()) << "an unowned box disables nothing";
        user->answerMessageBox();
    }
    auto box = user->waitForMessageBox();
    ASSERT_TRUE(box);
    EXPECT_EQ(box->text, refusal.text);
    EXPECT_EQ(box->caption, "Error");
    EXPECT_EQ(box->style, refusal.style);
    EXPECT_EQ(box->owner, user->dialog());
    EXPECT_FALSE(user->isEnabled(IDC_START)) << "disabled before the worker's first box";
    EXPECT_FALSE(user->isEnabled(IDC_EXIT));
    EXPECT_FALSE(user->dialogEnabled());
    user->answerMessageBox();

    expectRestored();
    EXPECT_EQ(targetLog(), refusal.log) << target->transcript().dump();
    EXPECT_EQ(target->installedFirmware(), original) << "nothing was written";
    EXPECT_EQ(user->progressHistory(IDC_PROGRESS), std::vector<int>{});

    // START works again: a second worker runs and ends with its own box (the one-shot
    // faults let it go further this time).
    std::size_t boxesBefore = win32sim::messageBoxes().size();
    EXPECT_FALSE(startAndGetFinalBox().text.empty());
    EXPECT_GT(win32sim::messageBoxes().size(), boxesBefore);
}

INSTANTIATE_TEST_SUITE_P(EveryEnd, UpdateRefusal, ::testing::ValuesIn(kRefusals),
                         [](const ::testing::TestParamInfo<Refusal>& param) {
                             return std::string(param.param.name);
                         });

class SelectionRefusal : public UpdateScenario {
protected:
    void expectRefused(const char* text) {
        auto box = startAndGetFinalBox();
        EXPECT_EQ(box.text, text);
        EXPECT_EQ(box.caption, "Error");
        EXPECT_EQ(box.style, static_cast<UINT>(MB_ICONWARNING));
        ASSERT_TRUE(win32sim::waitForThreads(std::chrono::seconds(10)));
        EXPECT_TRUE(user->isEnabled(IDC_START));
        EXPECT_TRUE(user->isEnabled(IDC_EXIT));
    }
};

TEST_F(SelectionRefusal, NoTargetDriveInTheList) {
    auto ordinary = emulated().addOrdinary('E');
    startProgram();
    expectRefused("There is no target drive.");
    EXPECT_EQ(ordinary->transcript().commands().size(), 1u) << "only the listing's INQUIRY";
    EXPECT_EQ(ordinary->mediaChangeHistory().size(), 1u) << "switched on, never off";
    EXPECT_FALSE(ordinary->mediaChangeHistory()[0].pollingOff);
}

TEST_F(SelectionRefusal, NoDriveAtAll) {
    startProgram();
    expectRefused("There is no target drive.");
    user->click(IDC_START);
    EXPECT_EQ(nextBox().text, "There is no target drive.") << "START works again";
}

TEST_F(SelectionRefusal, AnotherEntrySelected) {
    startWithTarget();
    user->selectEntry(IDC_DRIVE_LIST, update_test::kOrdinaryEntry);
    expectRefused("The selected drive is not target drive.");
    EXPECT_EQ(targetLog(), std::vector<std::string>{}) << "the target was not touched";
}

TEST_F(SelectionRefusal, NoEntrySelectedAfterTyping) {
    startWithTarget();
    user->typeText(IDC_DRIVE_LIST, "1 : ZELT    QX-57N8RV       1.00");
    ASSERT_EQ(user->selection(IDC_DRIVE_LIST), CB_ERR);
    expectRefused("The selected drive is not target drive.");
    EXPECT_EQ(targetLog(), std::vector<std::string>{}) << "the target was not touched";
}

}  // namespace

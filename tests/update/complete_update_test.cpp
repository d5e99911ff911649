// A complete update from START to the program's end, and what the drive has afterwards.
#include <commctrl.h>

#include <cmath>

#include "drive.h"
#include "main_dialog.h"
#include "support/drive_layer_state.h"
#include "update_fixture.h"

namespace {

using drivesim::CommandKind;
using update_test::UpdateScenario;

class CompleteUpdate : public UpdateScenario {};

// The expected dialogue with the drive up to the commit: identity read, notification off,
// tray open and waited for, the download in 128 chunks, the commit.
std::vector<std::string> expectedUntilCommit() {
    std::vector<std::string> lines = {
        "READ BUFFER 1EC000 256 -> GOOD", "MCN off",        "SSU 2 -> GOOD",
        "TUR -> 02/04/01",                "TUR -> 02/04/01", "TUR -> 02/3A/02",
        "BEGIN -> GOOD",
    };
    char line[40];
    for (unsigned offset = 0; offset < 0x200000; offset += 0x4000) {
        std::snprintf(line, sizeof line, "CHUNK %X -> GOOD", offset);
        lines.push_back(line);
    }
    lines.push_back("COMMIT -> GOOD");
    return lines;
}

TEST_F(CompleteUpdate, FromStartToTheProgramsEnd) {
    startWithTarget();
    user->click(IDC_START);

    auto done = user->waitForMessageBox();
    ASSERT_TRUE(done);
    EXPECT_EQ(done->text, "FW Updating Completed Sucessfully");
    EXPECT_EQ(done->caption, "OK");
    EXPECT_EQ(done->style, static_cast<UINT>(MB_OK));
    EXPECT_EQ(done->owner, user->dialog());
    EXPECT_FALSE(user->dialogEnabled()) << "the box is modal to the dialog";
    EXPECT_FALSE(user->isEnabled(IDC_START));
    EXPECT_FALSE(user->isEnabled(IDC_EXIT));
    EXPECT_EQ(errorBoxes.size(), 0u);
    user->answerMessageBox(IDOK);
    EXPECT_EQ(program->waitForExit(), std::optional<int>(0));

    // The dialogue with the drive, in full.
    auto log = targetLog();
    auto expected = expectedUntilCommit();
    ASSERT_GE(log.size(), expected.size() + 5) << target->transcript().dump();
    EXPECT_EQ(std::vector<std::string>(log.begin(), log.begin() + expected.size()), expected);
    std::vector<std::string> rest(log.begin() + expected.size(), log.end());
    std::size_t resetAt = 0;
    while (resetAt < rest.size() && rest[resetAt] == "TUR -> 02/04/08") ++resetAt;
    EXPECT_GT(resetAt, 10u) << "the drive was followed while it wrote";
    EXPECT_EQ(std::vector<std::string>(rest.begin() + resetAt, rest.end()),
              (std::vector<std::string>{"TUR -> 06/29/00", "TUR -> 02/3A/02", "TUR -> 02/3A/02",
                                        "SSU 3 -> GOOD", "MCN on"}));

    // The chunks carried the image's bytes.
    auto image = update_test::builtInImage();
    ASSERT_EQ(image.size(), 0x200000u);
    auto chunks = targetCommands(CommandKind::DownloadChunk);
    ASSERT_EQ(chunks.size(), 128u);
    for (std::size_t i = 0; i < chunks.size(); ++i) {
        EXPECT_EQ(chunks[i].length, 0x4000u);
        EXPECT_EQ(chunks[i].dataOutHash, drivesim::fnv1a64(image.data() + i * 0x4000, 0x4000))
            << "chunk " << i;
    }

    // The progress bar followed the drive's own count, and ended full.
    std::vector<int> expectedPositions;
    for (const auto& poll : targetCommands(CommandKind::TestUnitReady))
        if (poll.status != 0 && drivesim::toString(poll.sense) == "02/04/08")
            expectedPositions.push_back(static_cast<int>(poll.information / 2097152.0 * 100.0));
    expectedPositions.push_back(100);
    EXPECT_EQ(user->progressHistory(IDC_PROGRESS), expectedPositions);

    // The drive now runs the built-in image, and the machine may sleep again.
    EXPECT_EQ(target->installedFirmware(), image);
    EXPECT_EQ(target->installedIdentityCode(), "KT7");
    EXPECT_FALSE(target->mediaPollingOff());
    EXPECT_EQ(win32sim::executionStateCalls(),
              (std::vector<EXECUTION_STATE>{ES_CONTINUOUS | ES_SYSTEM_REQUIRED, ES_CONTINUOUS}));
}

TEST_F(CompleteUpdate, TheWaitsTakeThePrescribedTime) {
    startWithTarget();
    user->click(IDC_START);
    nextBox();
    ASSERT_EQ(program->waitForExit(), std::optional<int>(0));

    auto polls = targetCommands(CommandKind::TestUnitReady);
    auto begin = targetCommands(CommandKind::DownloadBegin);
    ASSERT_GE(polls.size(), 6u);
    // Tray wait: a second between attempts (plus the drive's own millisecond).
    EXPECT_EQ(polls[1].timeMs - polls[0].timeMs, 1001u);
    EXPECT_EQ(polls[2].timeMs - polls[1].timeMs, 1001u);
    EXPECT_EQ(begin.at(0).timeMs - polls[2].timeMs, 1u) << "no pause once the tray is open";
    // Writing: half a second between polls; after the reset, 200 ms before each of the two.
    EXPECT_EQ(polls[4].timeMs - polls[3].timeMs, 501u);
    std::size_t last = polls.size() - 1;
    EXPECT_EQ(polls[last].timeMs - polls[last - 1].timeMs, 201u);
    EXPECT_EQ(polls[last - 1].timeMs - polls[last - 2].timeMs, 201u);
}

TEST_F(CompleteUpdate, ASecondRunFindsTheFirmwareUpToDateAndLeavesTheTrayAlone) {
    startWithTarget();
    user->click(IDC_START);
    nextBox();
    ASSERT_EQ(program->waitForExit(), std::optional<int>(0));
    ASSERT_TRUE(win32sim::waitForThreads(std::chrono::seconds(10)));

    // A new process: the drive layer starts afresh.
    testing_support::resetDriveLayer();
    auto before = target->transcript().commands().size();
    program = std::make_unique<scenario::ProgramRun>();
    ASSERT_NE(user->waitForDialog(), nullptr);
    user->selectEntry(IDC_DRIVE_LIST, update_test::kTargetEntry);
    auto box = startAndGetFinalBox();
    EXPECT_EQ(box.text, "Your optical drive firmware is up to date");
    EXPECT_EQ(box.style, static_cast<UINT>(MB_ICONWARNING));

    auto commands = target->transcript().commands();
    std::vector<std::string> second;
    for (std::size_t i = before; i < commands.size(); ++i)
        second.push_back(update_test::describe(commands[i]));
    EXPECT_EQ(second, (std::vector<std::string>{"INQUIRY -> GOOD", "READ BUFFER 1EC000 256 -> GOOD"}));
    expectRestored();
}

}  // namespace

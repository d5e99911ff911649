// The drive the updater is for. It answers INQUIRY, TEST UNIT READY (tray and write-phase
// states), START STOP UNIT (tray), READ BUFFER (its installed firmware) and the three-step
// WRITE BUFFER download: begin, 128 chunks of 16 KiB in ascending order, commit. After the
// commit it writes its flash for a while, reporting progress to TEST UNIT READY, then
// resets and runs the new firmware.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "drivesim/emulated_drive.h"
#include "drivesim/firmware_image.h"
#include "drivesim/sense.h"

namespace drivesim {

enum class TrayState : std::uint8_t { Closed, Opening, Open, Closing };

const char* toString(TrayState state);

struct TargetTimings {
    std::uint32_t trayOpenMs = 1500;
    std::uint32_t trayCloseMs = 2000;
    std::uint32_t writeMs = 20000;  // from the commit to the reset
    BusyTimes busy;
};

// One scripted answer to a TEST UNIT READY during the write phase.
struct PollAnswer {
    enum class Type : std::uint8_t {
        Good,     // GOOD, as if the drive were idle
        Writing,  // 02/04/08 with `information` (VALID set), any value
        Reset,    // the write phase ends here: new firmware installed, 06/29/00
        Sense,    // `sense`, with `information` when given
    };
    Type type = Type::Good;
    std::uint32_t information = 0;
    SenseCode sense{};
    bool informationValid = false;  // Sense: whether `information` is sent

    static PollAnswer good();
    static PollAnswer writing(std::uint32_t information);
    static PollAnswer reset();
    static PollAnswer withSense(SenseCode code,
                                std::optional<std::uint32_t> information = std::nullopt);
};

struct TargetDriveConfig {
    Identity identity{"ZELT", "QX-57N8RV", "1.00", 36};
    std::string revisionAfterUpdate;  // INQUIRY revision once new firmware runs; empty: same
    FirmwareImage firmware = defaultInstalledFirmware();  // installed; 2 MiB normally
    TargetTimings timings;
    bool mediumLoaded = false;          // TEST UNIT READY is GOOD with the tray closed
    TrayState initialTray = TrayState::Closed;  // Closed or Open

    // Answers to the TEST UNIT READYs after a commit, in order. When they run out the drive
    // carries on by the clock, unless repeatLastPollAnswer keeps the last one forever.
    std::vector<PollAnswer> pollScript;
    bool repeatLastPollAnswer = false;
    bool resetNeverComes = false;  // the write phase never ends: 02/04/08 at full progress

    // At its reset the drive drops off the bus (after installing the new firmware), for
    // good or until reappearAfterResetMs later; it then reports the reset (06/29/00).
    bool vanishAtReset = false;
    std::uint32_t reappearAfterResetMs = 0;

    Faults faults;
};

class TargetDrive : public EmulatedDrive {
public:
    explicit TargetDrive(TargetDriveConfig config = {}, Clock clock = steadyClock());

    // Reading the state first brings it up to the clock's present (tray movement ends, the
    // write phase ends), so these are not const.
    FirmwareImage installedFirmware();
    std::string installedIdentityCode();
    FirmwareImage downloadBuffer();  // kImageSize bytes; chunks not received are zero
    std::uint32_t chunksReceived();  // in the current (or last committed) download
    bool downloadActive();           // begun and neither committed nor abandoned
    TrayState tray();
    bool writing();                  // between a commit and the reset
    bool resetReported();            // the 06/29/00 after the last reset was given
    std::uint32_t resets();          // how many times new firmware was installed

    const TargetDriveConfig& config() const { return config_; }

protected:
    ScsiResult handle(const ScsiCommand& command, CommandKind kind, std::uint64_t now) override;
    void settle(std::uint64_t now) override;

private:
    ScsiResult trayAnswer() const;
    ScsiResult writingAnswer(std::uint64_t now) const;
    ScsiResult pollWhileWriting(std::uint64_t now);
    ScsiResult startStopUnit(const ScsiCommand& command, std::uint64_t now);
    ScsiResult readBuffer(const ScsiCommand& command) const;
    ScsiResult downloadBegin(const ScsiCommand& command);
    ScsiResult downloadChunk(const ScsiCommand& command);
    ScsiResult downloadCommit(const ScsiCommand& command, std::uint64_t now);
    ScsiResult abandonDownload(SenseCode why);
    void finishWrite(std::uint64_t atMs);
    bool scriptDecidesReset() const;

    TargetDriveConfig config_;
    FirmwareImage installed_;

    TrayState tray_;
    std::uint64_t trayMovedAt_ = 0;

    bool downloadActive_ = false;
    std::uint32_t nextOffset_ = 0;
    std::uint32_t chunksReceived_ = 0;
    FirmwareImage downloadBuffer_;

    bool writing_ = false;
    std::uint64_t commitAt_ = 0;
    std::size_t pollIndex_ = 0;
    std::uint64_t scriptEndedAt_ = 0;
    bool unitAttention_ = false;
    bool updated_ = false;
    std::uint32_t resets_ = 0;
};

}  // namespace drivesim

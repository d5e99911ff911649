// The SCSI generic bridge: drive descriptions and the SG_IO mapping, on emulated drives with
// a hand-driven clock.
#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "drivesim/firmware_image.h"
#include "drivesim/sg/drive_config.h"
#include "drivesim/sg/sg_bridge.h"

namespace fs = std::filesystem;
using namespace drivesim;
using namespace drivesim::sg;

namespace {

class TempFolder {
public:
    TempFolder() {
        std::string pattern = (fs::temp_directory_path() / "sgdrive-test-XXXXXX").string();
        std::vector<char> buffer(pattern.begin(), pattern.end());
        buffer.push_back('\0');
        if (::mkdtemp(buffer.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
        path_ = buffer.data();
    }
    ~TempFolder() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    std::string file(const std::string& name) const { return (path_ / name).string(); }
    std::string touch(const std::string& name) const {
        std::ofstream(file(name)).flush();
        return file(name);
    }
    std::string write(const std::string& name, const std::string& text) const {
        std::ofstream(file(name)) << text;
        return file(name);
    }

private:
    fs::path path_;
};

std::vector<std::string> readLines(const std::string& path) {
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

FirmwareImage readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return FirmwareImage((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// One SG_IO request with its buffers.
struct Request {
    std::vector<std::uint8_t> cdb;
    std::vector<std::uint8_t> data;
    std::uint8_t sense[32];
    sg_io_hdr_t header{};

    Request(std::vector<std::uint8_t> bytes, int direction, std::size_t length,
            unsigned timeoutMs = 5000)
        : cdb(std::move(bytes)), data(length, 0) {
        std::memset(sense, 0xEE, sizeof sense);
        header.interface_id = 'S';
        header.dxfer_direction = direction;
        header.cmd_len = static_cast<unsigned char>(cdb.size());
        header.mx_sb_len = 24;
        header.dxfer_len = static_cast<unsigned>(length);
        header.dxferp = length ? data.data() : nullptr;
        header.cmdp = cdb.data();
        header.sbp = sense;
        header.timeout = timeoutMs;
    }
};

Request inquiry(std::size_t length = 36) {
    return Request({0x12, 0, 0, 0, static_cast<std::uint8_t>(length), 0}, SG_DXFER_FROM_DEV,
                   length);
}

Request testUnitReady() { return Request({0, 0, 0, 0, 0, 0}, SG_DXFER_NONE, 0); }

const char* kTarget =
    "kind = target\n"
    "device = g.dev\n"
    "firmware-store = g-firmware.bin\n"
    "firmware-code = KT8\n"
    "transcript = g.txt\n";

class BridgeTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder.touch("g.dev");
        folder.touch("e.dev");
    }

    DriveDescription describe(const std::string& text) {
        return parseDriveDescription(text, folder.file("drive.conf"));
    }

    TempFolder folder;
    ManualClock clock{1000};
};

// ---- descriptions ----

TEST_F(BridgeTest, ReadsEverySettingOfATargetDrive) {
    const DriveDescription d = describe(
        "# the drive\n"
        "kind = target\n"
        "device = g.dev   # beside this file\n"
        "vendor = ACME\nproduct = BURNER 9\nrevision = 2.10\ninquiry-length = 30\n"
        "revision-after-update = 3.00\n"
        "firmware-code = AB1\nfirmware-seed = 7\n"
        "tray-open-ms = 300\ntray-close-ms = 400\nwrite-ms = 2000\ninitial-tray = open\n"
        "medium-loaded = yes\nbusy-ms = 0\nhang-limit-ms = 250\n"
        "poll = writing:0x1000 good sense:03/0C/00:9 reset\nrepeat-last-poll = yes\n"
        "reset-never-comes = no\nvanish-at-reset = yes\nreappear-after-reset-ms = 500\n"
        "fault = check download-chunk 65 sense=04/44/00 info=0x10 times=2\n"
        "fault = fail any 3 error=31 times=every\n"
        "fault = hang test-unit-ready 4\n"
        "fault = vanish download-commit 1 reappear-ms=900\n");
    EXPECT_EQ(d.kind, DriveKind::Target);
    EXPECT_EQ(d.devicePath, folder.file("g.dev"));
    const TargetDriveConfig& t = d.target;
    EXPECT_EQ(t.identity.vendor, "ACME");
    EXPECT_EQ(t.identity.product, "BURNER 9");
    EXPECT_EQ(t.identity.revision, "2.10");
    EXPECT_EQ(t.identity.inquiryLength, 30u);
    EXPECT_EQ(t.revisionAfterUpdate, "3.00");
    EXPECT_EQ(t.firmware, makeFirmwareImage("AB1", 7));
    EXPECT_EQ(t.timings.trayOpenMs, 300u);
    EXPECT_EQ(t.timings.trayCloseMs, 400u);
    EXPECT_EQ(t.timings.writeMs, 2000u);
    EXPECT_EQ(t.timings.busy.downloadChunkMs, 0u);
    EXPECT_EQ(t.initialTray, TrayState::Open);
    EXPECT_TRUE(t.mediumLoaded);
    EXPECT_EQ(d.hangLimitMs, 250u);
    ASSERT_EQ(t.pollScript.size(), 4u);
    EXPECT_EQ(t.pollScript[0].type, PollAnswer::Type::Writing);
    EXPECT_EQ(t.pollScript[0].information, 0x1000u);
    EXPECT_EQ(t.pollScript[1].type, PollAnswer::Type::Good);
    EXPECT_EQ(t.pollScript[2].type, PollAnswer::Type::Sense);
    EXPECT_EQ(t.pollScript[2].sense, (SenseCode{0x03, 0x0C, 0x00}));
    EXPECT_TRUE(t.pollScript[2].informationValid);
    EXPECT_EQ(t.pollScript[2].information, 9u);
    EXPECT_EQ(t.pollScript[3].type, PollAnswer::Type::Reset);
    EXPECT_TRUE(t.repeatLastPollAnswer);
    EXPECT_FALSE(t.resetNeverComes);
    EXPECT_TRUE(t.vanishAtReset);
    EXPECT_EQ(t.reappearAfterResetMs, 500u);

    ASSERT_EQ(t.faults.commands.size(), 4u);
    const CommandFault& check = t.faults.commands[0];
    EXPECT_EQ(check.action, FaultAction::CheckCondition);
    EXPECT_EQ(check.kind, CommandKind::DownloadChunk);
    EXPECT_EQ(check.nth, 65u);
    EXPECT_EQ(check.times, 2u);
    EXPECT_EQ(check.sense, (SenseCode{0x04, 0x44, 0x00}));
    EXPECT_EQ(check.information, 0x10u);
    const CommandFault& fail = t.faults.commands[1];
    EXPECT_EQ(fail.action, FaultAction::PassThroughFailure);
    EXPECT_FALSE(fail.kind.has_value());
    EXPECT_EQ(fail.times, kEveryLater);
    EXPECT_EQ(fail.errorCode, 31u);
    EXPECT_EQ(t.faults.commands[2].action, FaultAction::Hang);
    EXPECT_EQ(t.faults.commands[2].kind, CommandKind::TestUnitReady);
    EXPECT_EQ(t.faults.commands[3].action, FaultAction::Vanish);
    EXPECT_EQ(t.faults.commands[3].reappearAfterMs, 900u);
}

TEST_F(BridgeTest, AnOrdinaryDriveKeepsItsDefaultsUnlessTold) {
    const DriveDescription d = describe("kind = ordinary\ndevice = /dev/null\nabsent = yes\n");
    EXPECT_EQ(d.kind, DriveKind::Ordinary);
    EXPECT_EQ(d.devicePath, "/dev/null");
    EXPECT_EQ(d.ordinary.identity.vendor, "GENERIC");
    EXPECT_EQ(d.ordinary.identity.product, "DVD-RW DRIVE");
    EXPECT_TRUE(d.ordinary.faults.absent);
    EXPECT_EQ(d.hangLimitMs, 5000u);
}

struct BadDescription {
    const char* text;
    const char* error;  // what the message must contain, file and line included
};

class BadDescriptionTest : public BridgeTest,
                           public ::testing::WithParamInterface<BadDescription> {};

TEST_P(BadDescriptionTest, IsRefusedNamingFileAndLine) {
    try {
        describe(GetParam().text);
        FAIL() << "accepted: " << GetParam().text;
    } catch (const ConfigError& error) {
        EXPECT_NE(std::string(error.what()).find(GetParam().error), std::string::npos)
            << error.what();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Mistakes, BadDescriptionTest,
    ::testing::Values(
        BadDescription{"kind = target\ndevice = g.dev\nfirmware-code = KT8\nspeed = 4\n",
                       "drive.conf:4: unknown setting 'speed'"},
        BadDescription{"kind = printer\n", "drive.conf:1: kind must be"},
        BadDescription{"device = g.dev\n", "drive.conf:0: no 'kind'"},
        BadDescription{"kind = target\nfirmware-code = KT8\n", "no 'device'"},
        BadDescription{"kind = target\ndevice = nowhere.dev\nfirmware-code = KT8\n",
                       "the device file"},
        BadDescription{"kind = target\ndevice = g.dev\n", "no firmware"},
        BadDescription{"kind = target\ndevice = g.dev\nfirmware-store = missing.bin\n",
                       "does not exist (give firmware-code"},
        BadDescription{"kind = target\ndevice = g.dev\nfirmware-code = KT78\n",
                       "drive.conf:3: firmware-code must be three characters"},
        BadDescription{"kind = target\ndevice = g.dev\nfirmware-code = KT8\nwrite-ms = -1\n",
                       "drive.conf:4: write-ms: '-1' is not a number"},
        BadDescription{"kind = target\ndevice = g.dev\nfirmware-code = KT8\nwrite-ms = 5s\n",
                       "drive.conf:4: write-ms: '5s' is not a number"},
        BadDescription{"kind = target\ndevice = g.dev\nfirmware-code = KT8\nwrite-ms = 1\n"
                       "write-ms = 2\n",
                       "drive.conf:5: 'write-ms' is given twice"},
        BadDescription{"kind = ordinary\ndevice = e.dev\nwrite-ms = 5\n",
                       "drive.conf:3: 'write-ms' applies to target drives only"},
        BadDescription{"kind = target\ndevice = g.dev\nfirmware-code = KT8\nmedium-loaded = 1\n",
                       "drive.conf:4: medium-loaded must be 'yes' or 'no'"},
        BadDescription{"kind = target\ndevice = g.dev\nfirmware-code = KT8\nvendor\n",
                       "drive.conf:4: expected 'key = value'"},
        BadDescription{"kind = target\ndevice = g.dev\nfirmware-code = KT8\nvendor =\n",
                       "drive.conf:4: 'vendor' has no value"},
        BadDescription{"kind = target\ndevice = g.dev\nfirmware-code = KT8\n"
                       "fault = check download-chunk 65\n",
                       "drive.conf:4: a check fault needs sense=KK/AA/QQ"},
        BadDescription{"kind = target\ndevice = g.dev\nfirmware-code = KT8\n"
                       "fault = check download-chunk 65 sense=4/44/00\n",
                       "drive.conf:4: sense must be KK/AA/QQ"},
        BadDescription{"kind = target\ndevice = g.dev\nfirmware-code = KT8\n"
                       "fault = check chunk 65 sense=04/44/00\n",
                       "drive.conf:4: unknown command kind 'chunk'"},
        BadDescription{"kind = target\ndevice = g.dev\nfirmware-code = KT8\n"
                       "fault = explode any 1\n",
                       "drive.conf:4: fault action must be"},
        BadDescription{"kind = target\ndevice = g.dev\nfirmware-code = KT8\n"
                       "fault = hang any 0\n",
                       "drive.conf:4: fault NTH counts from 1"},
        BadDescription{"kind = target\ndevice = g.dev\nfirmware-code = KT8\n"
                       "fault = hang any 1 sense=04/44/00\n",
                       "drive.conf:4: fault option 'sense' does not apply to 'hang'"},
        BadDescription{"kind = target\ndevice = g.dev\nfirmware-code = KT8\n"
                       "fault = fail any 1 times=0\n",
                       "drive.conf:4: fault times must be at least 1"},
        BadDescription{"kind = target\ndevice = g.dev\nfirmware-code = KT8\n"
                       "poll = writing:1 finished\n",
                       "drive.conf:4: poll answer must be"}));

TEST_F(BridgeTest, AMissingStoreIsMadeFromTheCodeAndAnExistingOneIsLoaded) {
    const std::string store = folder.file("g-firmware.bin");
    DriveDescription made = describe(kTarget);
    EXPECT_EQ(identityCode(made.target.firmware), "KT8");
    EXPECT_EQ(readFile(store), made.target.firmware);

    FirmwareImage current = makeFirmwareImage("KT7", 3);
    writeFirmwareStore(store, current);
    DriveDescription loaded = describe(kTarget);
    EXPECT_EQ(loaded.target.firmware, current);
}

TEST_F(BridgeTest, AStoreOfTheWrongSizeIsRefused) {
    folder.write("g-firmware.bin", "too short");
    EXPECT_THROW(describe(kTarget), ConfigError);
}

TEST_F(BridgeTest, TheDriveListIsSplitAtColons) {
    EXPECT_EQ(splitDriveList("/a/g.conf:/a/e.conf"),
              (std::vector<std::string>{"/a/g.conf", "/a/e.conf"}));
    EXPECT_EQ(splitDriveList(" /a/g.conf ::"), (std::vector<std::string>{"/a/g.conf"}));
    EXPECT_TRUE(splitDriveList("").empty());
}

// ---- SG_IO ----

TEST_F(BridgeTest, AnswersInquiryWithDataAndResidue) {
    EmulatedSgDevice device(describe(kTarget), clock.clock());
    Request request = inquiry(96);
    ASSERT_EQ(device.execute(request.header), 0);
    EXPECT_EQ(request.header.status, 0);
    EXPECT_EQ(request.header.masked_status, 0);
    EXPECT_EQ(request.header.host_status, 0);
    EXPECT_EQ(request.header.driver_status, 0);
    EXPECT_EQ(request.header.sb_len_wr, 0);
    EXPECT_EQ(request.header.resid, 96 - 36);
    EXPECT_EQ(request.header.info & SG_INFO_OK_MASK, SG_INFO_OK);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(&request.data[8]), 8), "ZELT    ");
    EXPECT_EQ(std::string(reinterpret_cast<char*>(&request.data[16]), 9), "QX-57N8RV");
}

TEST_F(BridgeTest, ACheckConditionCarriesItsSenseAsTheSgDriverReportsIt) {
    EmulatedSgDevice device(describe(kTarget), clock.clock());
    Request request = testUnitReady();  // tray closed, no medium: 02/3A/01
    ASSERT_EQ(device.execute(request.header), 0);
    EXPECT_EQ(request.header.status, 0x02);
    EXPECT_EQ(request.header.masked_status, 0x01);
    EXPECT_EQ(request.header.driver_status, kDriverSense);
    EXPECT_EQ(request.header.host_status, 0);
    EXPECT_EQ(request.header.sb_len_wr, kFixedSenseLength);
    EXPECT_EQ(request.header.info & SG_INFO_OK_MASK, SG_INFO_CHECK);
    EXPECT_EQ(request.sense[0], 0x70);
    EXPECT_EQ(request.sense[2], 0x02);
    EXPECT_EQ(request.sense[12], 0x3A);
    EXPECT_EQ(request.sense[13], 0x01);
    EXPECT_EQ(request.sense[kFixedSenseLength], 0xEE) << "wrote past the sense data";

    Request shortSense = testUnitReady();
    shortSense.header.mx_sb_len = 8;
    ASSERT_EQ(device.execute(shortSense.header), 0);
    EXPECT_EQ(shortSense.header.sb_len_wr, 8);
    EXPECT_EQ(shortSense.sense[8], 0xEE) << "wrote past mx_sb_len";
}

TEST_F(BridgeTest, ATransportFailureFailsTheCallWithAnErrno) {
    EmulatedSgDevice device(
        describe(std::string(kTarget) + "fault = fail inquiry 1 error=1167\n"
                                        "fault = fail inquiry 2 error=5\n"
                                        "fault = fail inquiry 3 error=31\n"),
        clock.clock());
    Request first = inquiry();
    EXPECT_EQ(device.execute(first.header), -ENODEV);
    Request second = inquiry();
    EXPECT_EQ(device.execute(second.header), -EACCES);
    Request third = inquiry();
    EXPECT_EQ(device.execute(third.header), -EIO);
}

TEST_F(BridgeTest, AHungCommandEndsWithATimeOutHostStatus) {
    EmulatedSgDevice device(
        describe(std::string(kTarget) + "fault = hang read-buffer 1\nhang-limit-ms = 1\n"),
        clock.clock());
    Request request({0x3C, 0x06, 0x00, 0x1E, 0xC0, 0x00, 0x00, 0x01, 0x00, 0x00},
                    SG_DXFER_FROM_DEV, 256, 60000);
    ASSERT_EQ(device.execute(request.header), 0);
    EXPECT_EQ(request.header.host_status, kDidTimeOut);
    EXPECT_EQ(request.header.driver_status, kDriverTimeout);
    EXPECT_EQ(request.header.status, 0);
    EXPECT_EQ(request.header.sb_len_wr, 0);
    EXPECT_EQ(request.header.resid, 256);
    EXPECT_EQ(request.header.info & SG_INFO_OK_MASK, SG_INFO_CHECK);
}

TEST_F(BridgeTest, RefusesRequestsTheSgDriverWouldRefuse) {
    EmulatedSgDevice device(describe(kTarget), clock.clock());
    Request wrongInterface = inquiry();
    wrongInterface.header.interface_id = 'Q';
    EXPECT_EQ(device.execute(wrongInterface.header), -ENOSYS);
    Request scatter = inquiry();
    scatter.header.iovec_count = 2;
    EXPECT_EQ(device.execute(scatter.header), -EINVAL);
    Request noCdb = inquiry();
    noCdb.header.cmd_len = 0;
    EXPECT_EQ(device.execute(noCdb.header), -EINVAL);
    Request noBuffer = inquiry();
    noBuffer.header.dxferp = nullptr;
    EXPECT_EQ(device.execute(noBuffer.header), -EFAULT);
    EXPECT_TRUE(device.drive().transcript().commands().empty())
        << "refused requests must not reach the drive";
}

TEST_F(BridgeTest, TheTranscriptFileHasALineForEveryEntryAsItHappens) {
    EmulatedSgDevice device(describe(kTarget), clock.clock());
    Request first = inquiry();
    ASSERT_EQ(device.execute(first.header), 0);
    EXPECT_EQ(readLines(folder.file("g.txt")).size(), 1u);
    Request second = testUnitReady();
    clock.advance(5);
    ASSERT_EQ(device.execute(second.header), 0);

    std::vector<std::string> expected;
    for (const auto& entry : device.drive().transcript().entries()) {
        expected.push_back(entry.toString());
    }
    EXPECT_EQ(readLines(folder.file("g.txt")), expected);
    ASSERT_EQ(expected.size(), 2u);
    EXPECT_EQ(expected[1], "00 00 00 00 00 00 none 0 t5 -> CHECK 02/3A/01 @1005");
}

TEST_F(BridgeTest, TheStoreGetsTheNewImageWhenTheDriveInstallsIt) {
    const std::string store = folder.file("g-firmware.bin");
    EmulatedSgDevice device(describe(std::string(kTarget) + "write-ms = 2000\n"),
                            clock.clock());
    const FirmwareImage before = readFile(store);
    const FirmwareImage image = makeFirmwareImage("KT7", 42);

    Request begin({0x3B, 0x01, 0, 0, 0, 0, 0, 0, 0, 0x0B, 0, 0}, SG_DXFER_TO_DEV, 0);
    ASSERT_EQ(device.execute(begin.header), 0);
    ASSERT_EQ(begin.header.status, 0);
    for (std::uint32_t offset = 0; offset < kImageSize; offset += kChunkSize) {
        Request chunk({0x3B, 0x06, 0, static_cast<std::uint8_t>(offset >> 16),
                       static_cast<std::uint8_t>(offset >> 8), static_cast<std::uint8_t>(offset),
                       0x00, 0x40, 0x00, 0, 0, 0},
                      SG_DXFER_TO_DEV, kChunkSize);
        std::memcpy(chunk.data.data(), image.data() + offset, kChunkSize);
        ASSERT_EQ(device.execute(chunk.header), 0);
        ASSERT_EQ(chunk.header.status, 0) << "chunk at " << offset;
    }
    Request commit({0x3B, 0x07, 0, 0, 0, 0, 0, 0, 0, 0, 0x1B, 0x12}, SG_DXFER_TO_DEV, 0);
    ASSERT_EQ(device.execute(commit.header), 0);
    ASSERT_EQ(commit.header.status, 0);

    clock.advance(1000);
    Request writing = testUnitReady();
    ASSERT_EQ(device.execute(writing.header), 0);
    EXPECT_EQ(writing.sense[12], 0x04);
    EXPECT_EQ(writing.sense[13], 0x08);
    EXPECT_EQ(readFile(store), before) << "the store changed before the drive's reset";

    clock.advance(1000);
    Request reset = testUnitReady();
    ASSERT_EQ(device.execute(reset.header), 0);
    EXPECT_EQ(reset.sense[2], 0x06);
    EXPECT_EQ(reset.sense[12], 0x29);
    EXPECT_EQ(readFile(store), image);

    // A drive started from the store comes back with the new firmware.
    EmulatedSgDevice again(describe(kTarget), clock.clock());
    Request read({0x3C, 0x06, 0x00, 0x1E, 0xC0, 0x46, 0x00, 0x00, 0x03, 0x00},
                 SG_DXFER_FROM_DEV, 3);
    ASSERT_EQ(again.execute(read.header), 0);
    EXPECT_EQ(std::string(read.data.begin(), read.data.end()), "KT7");
}

TEST_F(BridgeTest, TheBridgeFindsADriveByItsDeviceFile) {
    const std::vector<DriveDescription> descriptions = {
        describe(kTarget), describe("kind = ordinary\ndevice = e.dev\n")};
    SgBridge bridge(descriptions, clock.clock());
    ASSERT_EQ(bridge.size(), 2u);

    const int g = ::open(folder.file("g.dev").c_str(), O_RDWR);
    const int e = ::open(folder.file("e.dev").c_str(), O_RDONLY);
    const int other = ::open(folder.touch("other.dev").c_str(), O_RDONLY);
    ASSERT_GE(g, 0);
    ASSERT_GE(e, 0);
    ASSERT_GE(other, 0);
    EXPECT_EQ(bridge.deviceFor(g), &bridge.device(0));
    EXPECT_EQ(bridge.deviceFor(e), &bridge.device(1));
    EXPECT_EQ(bridge.deviceFor(other), nullptr);
    // A link leads to the same file, as Wine's dosdevices do.
    fs::create_symlink(folder.file("g.dev"), folder.file("g-link"));
    const int linked = ::open(folder.file("g-link").c_str(), O_RDONLY);
    EXPECT_EQ(bridge.deviceFor(linked), &bridge.device(0));
    for (int fd : {g, e, other, linked}) ::close(fd);
}

TEST_F(BridgeTest, TwoDrivesCannotShareADeviceFile) {
    const std::vector<DriveDescription> descriptions = {
        describe(kTarget), describe("kind = ordinary\ndevice = g.dev\n")};
    EXPECT_THROW(SgBridge(descriptions, clock.clock()), ConfigError);
}

TEST(ErrnoForWindowsError, KeepsTheErrorsWineCanReportAndMakesTheRestIoErrors) {
    EXPECT_EQ(errnoForWindowsError(5), EACCES);
    EXPECT_EQ(errnoForWindowsError(50), EOPNOTSUPP);
    EXPECT_EQ(errnoForWindowsError(121), ETIME);
    EXPECT_EQ(errnoForWindowsError(2), ENOENT);
    EXPECT_EQ(errnoForWindowsError(1167), ENODEV);
    EXPECT_EQ(errnoForWindowsError(31), EIO);
    EXPECT_EQ(errnoForWindowsError(1117), EIO);
}

}  // namespace

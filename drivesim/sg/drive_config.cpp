#include "drivesim/sg/drive_config.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <limits>
#include <optional>
#include <sstream>
#include <utility>

namespace drivesim::sg {
namespace {

std::string trim(const std::string& text) {
    const char* space = " \t\r\n";
    const std::size_t first = text.find_first_not_of(space);
    if (first == std::string::npos) return {};
    const std::size_t last = text.find_last_not_of(space);
    return text.substr(first, last - first + 1);
}

std::vector<std::string> words(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string word; in >> word;) out.push_back(word);
    return out;
}

std::string directoryOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

bool fileExists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

// Reads one description line by line; errors carry "file:line: ".
class Parser {
public:
    explicit Parser(const std::string& source) : base_(directoryOf(source)) { description_.source = source; }

    DriveDescription run(const std::string& text);

private:
    [[noreturn]] void fail(const std::string& message) const {
        throw ConfigError(description_.source + ":" + std::to_string(line_) + ": " + message);
    }

    void setting(const std::string& key, const std::string& value);
    void finish();

    std::uint32_t number(const std::string& text, const std::string& what) const;
    bool yesNo(const std::string& text, const std::string& what) const;
    SenseCode senseCode(const std::string& text) const;
    std::string path(const std::string& text) const;
    std::optional<CommandKind> commandKind(const std::string& text) const;
    CommandFault fault(const std::string& text) const;
    std::vector<PollAnswer> pollScript(const std::string& text) const;
    void targetOnly(const std::string& key);

    std::string base_;
    DriveDescription description_;
    std::size_t line_ = 0;
    bool kindSeen_ = false;
    std::vector<std::pair<std::string, std::size_t>> targetKeys_;  // key, line
    Identity identity_;
    bool identitySet_[4] = {false, false, false, false};
    Faults faults_;
    std::optional<std::uint32_t> busyMs_;
    bool mediumLoaded_ = false;
    std::string firmwareCode_;
    std::uint64_t firmwareSeed_ = 1;
};

DriveDescription Parser::run(const std::string& text) {
    std::istringstream in(text);
    std::string raw;
    std::vector<std::string> seen;
    while (std::getline(in, raw)) {
        ++line_;
        const std::size_t hash = raw.find('#');
        const std::string content = trim(hash == std::string::npos ? raw : raw.substr(0, hash));
        if (content.empty()) continue;
        const std::size_t equals = content.find('=');
        if (equals == std::string::npos) fail("expected 'key = value', got '" + content + "'");
        const std::string key = trim(content.substr(0, equals));
        const std::string value = trim(content.substr(equals + 1));
        if (key.empty()) fail("a setting without a name");
        if (value.empty()) fail("'" + key + "' has no value");
        if (key != "fault") {
            for (const auto& earlier : seen) {
                if (earlier == key) fail("'" + key + "' is given twice");
            }
            seen.push_back(key);
        }
        setting(key, value);
    }
    finish();
    return std::move(description_);
}

void Parser::targetOnly(const std::string& key) {
    targetKeys_.emplace_back(key, line_);
}

void Parser::setting(const std::string& key, const std::string& value) {
    if (key == "kind") {
        if (value == "target") {
            description_.kind = DriveKind::Target;
        } else if (value == "ordinary") {
            description_.kind = DriveKind::Ordinary;
        } else {
            fail("kind must be 'target' or 'ordinary', not '" + value + "'");
        }
        kindSeen_ = true;
    } else if (key == "device") {
        description_.devicePath = path(value);
    } else if (key == "vendor") {
        identity_.vendor = value;
        identitySet_[0] = true;
    } else if (key == "product") {
        identity_.product = value;
        identitySet_[1] = true;
    } else if (key == "revision") {
        identity_.revision = value;
        identitySet_[2] = true;
    } else if (key == "inquiry-length") {
        identity_.inquiryLength = number(value, key);
        identitySet_[3] = true;
    } else if (key == "medium-loaded") {
        mediumLoaded_ = yesNo(value, key);
    } else if (key == "busy-ms") {
        busyMs_ = number(value, key);
    } else if (key == "transcript") {
        description_.transcriptPath = path(value);
    } else if (key == "hang-limit-ms") {
        description_.hangLimitMs = number(value, key);
    } else if (key == "absent") {
        faults_.absent = yesNo(value, key);
    } else if (key == "fault") {
        faults_.commands.push_back(fault(value));
    } else if (key == "firmware-store") {
        targetOnly(key);
        description_.firmwareStorePath = path(value);
    } else if (key == "firmware-code") {
        targetOnly(key);
        if (value.size() != kIdentityCodeLength) fail("firmware-code must be three characters");
        firmwareCode_ = value;
    } else if (key == "firmware-seed") {
        targetOnly(key);
        firmwareSeed_ = number(value, key);
    } else if (key == "revision-after-update") {
        targetOnly(key);
        description_.target.revisionAfterUpdate = value;
    } else if (key == "tray-open-ms") {
        targetOnly(key);
        description_.target.timings.trayOpenMs = number(value, key);
    } else if (key == "tray-close-ms") {
        targetOnly(key);
        description_.target.timings.trayCloseMs = number(value, key);
    } else if (key == "write-ms") {
        targetOnly(key);
        description_.target.timings.writeMs = number(value, key);
    } else if (key == "initial-tray") {
        targetOnly(key);
        if (value == "open") {
            description_.target.initialTray = TrayState::Open;
        } else if (value == "closed") {
            description_.target.initialTray = TrayState::Closed;
        } else {
            fail("initial-tray must be 'open' or 'closed', not '" + value + "'");
        }
    } else if (key == "poll") {
        targetOnly(key);
        description_.target.pollScript = pollScript(value);
    } else if (key == "repeat-last-poll") {
        targetOnly(key);
        description_.target.repeatLastPollAnswer = yesNo(value, key);
    } else if (key == "reset-never-comes") {
        targetOnly(key);
        description_.target.resetNeverComes = yesNo(value, key);
    } else if (key == "vanish-at-reset") {
        targetOnly(key);
        description_.target.vanishAtReset = yesNo(value, key);
    } else if (key == "reappear-after-reset-ms") {
        targetOnly(key);
        description_.target.reappearAfterResetMs = number(value, key);
    } else {
        fail("unknown setting '" + key + "'");
    }
}

void Parser::finish() {
    if (!kindSeen_) {
        line_ = 0;
        fail("no 'kind' (target or ordinary)");
    }
    if (description_.devicePath.empty()) {
        line_ = 0;
        fail("no 'device': the file standing for the drive");
    }
    if (!fileExists(description_.devicePath)) {
        line_ = 0;
        fail("the device file '" + description_.devicePath + "' does not exist");
    }
    if (description_.kind == DriveKind::Ordinary && !targetKeys_.empty()) {
        line_ = targetKeys_.front().second;
        fail("'" + targetKeys_.front().first + "' applies to target drives only");
    }

    Identity& identity = description_.kind == DriveKind::Target ? description_.target.identity
                                                                : description_.ordinary.identity;
    if (identitySet_[0]) identity.vendor = identity_.vendor;
    if (identitySet_[1]) identity.product = identity_.product;
    if (identitySet_[2]) identity.revision = identity_.revision;
    if (identitySet_[3]) identity.inquiryLength = identity_.inquiryLength;

    BusyTimes& busy = description_.kind == DriveKind::Target ? description_.target.timings.busy
                                                             : description_.ordinary.busy;
    if (busyMs_) {
        busy.inquiryMs = busy.testUnitReadyMs = busy.startStopUnitMs = busy.readBufferMs =
            busy.downloadBeginMs = busy.downloadChunkMs = busy.downloadCommitMs = busy.otherMs =
                *busyMs_;
    }

    if (description_.kind == DriveKind::Ordinary) {
        description_.ordinary.mediumLoaded = mediumLoaded_;
        description_.ordinary.faults = faults_;
        return;
    }

    TargetDriveConfig& target = description_.target;
    target.mediumLoaded = mediumLoaded_;
    target.faults = faults_;
    line_ = 0;
    const std::string& store = description_.firmwareStorePath;
    if (!store.empty() && fileExists(store)) {
        try {
            target.firmware = readFirmwareStore(store);
        } catch (const ConfigError& error) {
            fail(error.what());
        }
    } else if (!firmwareCode_.empty()) {
        target.firmware = makeFirmwareImage(firmwareCode_, firmwareSeed_);
        if (!store.empty()) writeFirmwareStore(store, target.firmware);
    } else if (!store.empty()) {
        fail("the firmware store '" + store +
             "' does not exist (give firmware-code to make it from a generated image)");
    } else {
        fail("no firmware: give firmware-store, firmware-code or both");
    }
}

std::uint32_t Parser::number(const std::string& text, const std::string& what) const {
    errno = 0;
    char* end = nullptr;
    const unsigned long long value = std::strtoull(text.c_str(), &end, 0);
    if (text.empty() || text[0] == '-' || *end != '\0' || errno != 0 ||
        value > std::numeric_limits<std::uint32_t>::max()) {
        fail(what + ": '" + text + "' is not a number from 0 to 4294967295");
    }
    return static_cast<std::uint32_t>(value);
}

bool Parser::yesNo(const std::string& text, const std::string& what) const {
    if (text == "yes") return true;
    if (text == "no") return false;
    fail(what + " must be 'yes' or 'no', not '" + text + "'");
}

SenseCode Parser::senseCode(const std::string& text) const {
    unsigned key = 0, asc = 0, ascq = 0;
    char extra = 0;
    if (text.size() != 8 ||
        std::sscanf(text.c_str(), "%2x/%2x/%2x%c", &key, &asc, &ascq, &extra) != 3 || key > 0x0F) {
        fail("sense must be KK/AA/QQ in hex with a key up to 0F, not '" + text + "'");
    }
    return SenseCode{static_cast<std::uint8_t>(key), static_cast<std::uint8_t>(asc),
                     static_cast<std::uint8_t>(ascq)};
}

std::string Parser::path(const std::string& text) const {
    if (text.front() == '/') return text;
    return base_ + "/" + text;
}

std::optional<CommandKind> Parser::commandKind(const std::string& text) const {
    static const std::pair<const char*, CommandKind> kinds[] = {
        {"inquiry", CommandKind::Inquiry},
        {"test-unit-ready", CommandKind::TestUnitReady},
        {"start-stop-unit", CommandKind::StartStopUnit},
        {"read-buffer", CommandKind::ReadBuffer},
        {"download-begin", CommandKind::DownloadBegin},
        {"download-chunk", CommandKind::DownloadChunk},
        {"download-commit", CommandKind::DownloadCommit},
        {"write-buffer", CommandKind::WriteBuffer},
        {"other", CommandKind::Other},
    };
    if (text == "any") return kAnyCommand;
    for (const auto& [name, kind] : kinds) {
        if (text == name) return kind;
    }
    fail("unknown command kind '" + text + "'");
}

CommandFault Parser::fault(const std::string& text) const {
    const std::vector<std::string> parts = words(text);
    if (parts.size() < 3) fail("fault needs ACTION KIND NTH, got '" + text + "'");

    CommandFault result;
    const std::string& action = parts[0];
    if (action == "check") {
        result.action = FaultAction::CheckCondition;
    } else if (action == "fail") {
        result.action = FaultAction::PassThroughFailure;
    } else if (action == "hang") {
        result.action = FaultAction::Hang;
    } else if (action == "vanish") {
        result.action = FaultAction::Vanish;
    } else {
        fail("fault action must be check, fail, hang or vanish, not '" + action + "'");
    }
    result.kind = commandKind(parts[1]);
    result.nth = number(parts[2], "fault NTH");
    if (result.nth == 0) fail("fault NTH counts from 1");

    bool senseGiven = false;
    for (std::size_t i = 3; i < parts.size(); ++i) {
        const std::string& option = parts[i];
        const std::size_t equals = option.find('=');
        if (equals == std::string::npos) fail("fault option '" + option + "' is not name=value");
        const std::string name = option.substr(0, equals);
        const std::string value = option.substr(equals + 1);
        if (name == "times") {
            result.times = value == "every" ? kEveryLater : number(value, "fault times");
            if (result.times == 0) fail("fault times must be at least 1 (or every)");
        } else if (name == "sense" && result.action == FaultAction::CheckCondition) {
            result.sense = senseCode(value);
            senseGiven = true;
        } else if (name == "info" && result.action == FaultAction::CheckCondition) {
            result.information = number(value, "fault info");
        } else if (name == "error" && result.action == FaultAction::PassThroughFailure) {
            result.errorCode = number(value, "fault error");
        } else if (name == "reappear-ms" && result.action == FaultAction::Vanish) {
            result.reappearAfterMs = number(value, "fault reappear-ms");
        } else {
            fail("fault option '" + name + "' does not apply to '" + action + "'");
        }
    }
    if (result.action == FaultAction::CheckCondition && !senseGiven) {
        fail("a check fault needs sense=KK/AA/QQ");
    }
    return result;
}

std::vector<PollAnswer> Parser::pollScript(const std::string& text) const {
    std::vector<PollAnswer> script;
    for (const std::string& item : words(text)) {
        if (item == "good") {
            script.push_back(PollAnswer::good());
        } else if (item == "reset") {
            script.push_back(PollAnswer::reset());
        } else if (item.rfind("writing:", 0) == 0) {
            script.push_back(PollAnswer::writing(number(item.substr(8), "poll writing")));
        } else if (item.rfind("sense:", 0) == 0) {
            const std::string rest = item.substr(6);
            const std::size_t colon = rest.find(':');
            if (colon == std::string::npos) {
                script.push_back(PollAnswer::withSense(senseCode(rest)));
            } else {
                script.push_back(PollAnswer::withSense(senseCode(rest.substr(0, colon)),
                                                       number(rest.substr(colon + 1), "poll sense information")));
            }
        } else {
            fail("poll answer must be good, writing:N, reset or sense:KK/AA/QQ[:N], not '" + item +
                 "'");
        }
    }
    return script;
}

}  // namespace

DriveDescription parseDriveDescription(const std::string& text, const std::string& source) {
    return Parser(source).run(text);
}

DriveDescription loadDriveDescription(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw ConfigError(path + ": cannot read: " + std::strerror(errno));
    std::ostringstream text;
    text << in.rdbuf();
    return parseDriveDescription(text.str(), path);
}

std::vector<std::string> splitDriveList(const std::string& list) {
    std::vector<std::string> paths;
    std::size_t start = 0;
    while (start <= list.size()) {
        const std::size_t colon = list.find(':', start);
        const std::size_t end = colon == std::string::npos ? list.size() : colon;
        std::string item = trim(list.substr(start, end - start));
        if (!item.empty()) paths.push_back(std::move(item));
        if (colon == std::string::npos) break;
        start = colon + 1;
    }
    return paths;
}

FirmwareImage readFirmwareStore(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw ConfigError("cannot read the firmware store '" + path + "': " + std::strerror(errno));
    FirmwareImage image((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (image.size() != kImageSize) {
        throw ConfigError("the firmware store '" + path + "' holds " + std::to_string(image.size()) +
                          " bytes, not " + std::to_string(kImageSize));
    }
    return image;
}

void writeFirmwareStore(const std::string& path, const FirmwareImage& image) {
    const std::string temporary = path + ".new";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(image.data()),
                  static_cast<std::streamsize>(image.size()));
        out.flush();
        if (!out) throw ConfigError("cannot write the firmware store '" + temporary + "'");
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        throw ConfigError("cannot replace the firmware store '" + path + "': " + std::strerror(errno));
    }
}

}  // namespace drivesim::sg

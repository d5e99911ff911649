// The build around the resources: the size check on FW_IMAGE_FILE at configure time and
// again at build time, and the generators behind the committed and generated files giving
// the same bytes every time.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <string>
#include <vector>

#include "app_resources_paths.h"

namespace {

namespace fs = std::filesystem;

struct Result {
    int status = -1;     // exit status; -1: did not exit normally
    std::string output;  // stdout and stderr, whitespace runs folded into one space
};

std::string quoted(const std::string& arg) {
    std::string out = "'";
    for (char c : arg) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

Result run(const std::vector<std::string>& args) {
    std::string command;
    for (const std::string& arg : args) command += quoted(arg) + " ";
    command += "2>&1";
    Result result;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return result;
    char buffer[4096];
    std::size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) result.output.append(buffer, n);
    const int status = pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    // CMake wraps long messages over several indented lines.
    result.output = std::regex_replace(result.output, std::regex("\\s+"), " ");
    return result;
}

std::vector<char> readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeFile(const fs::path& path, std::size_t size) {
    std::ofstream out(path, std::ios::binary);
    const std::vector<char> bytes(size, '\x5A');
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

class ScratchDir : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "fw_resources_XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
    }
    void TearDown() override {
        std::error_code ignored;
        if (!dir_.empty()) fs::remove_all(dir_, ignored);
    }
    fs::path dir_;
};

const std::string kScript = std::string(FW_PROJECT_SOURCE_DIR) + "/cmake/FirmwareImage.cmake";
constexpr std::size_t kImageSize = FW_IMAGE_BYTES;

using FirmwareImageCheck = ScratchDir;

TEST_F(FirmwareImageCheck, ConfigureRefusesAnImageOneByteShort) {
    const fs::path image = dir_ / "short.bin";
    writeFile(image, kImageSize - 1);
    const Result result =
        run({FW_CMAKE_COMMAND, "-G", FW_CMAKE_GENERATOR, "-S", FW_PROJECT_SOURCE_DIR, "-B",
             (dir_ / "build").string(), "-DFW_IMAGE_FILE=" + image.string()});
    EXPECT_NE(result.status, 0);
    EXPECT_NE(result.output.find("'" + image.string() + "' is 2097151 bytes"), std::string::npos)
        << result.output;
    EXPECT_NE(result.output.find("must be exactly 2097152 bytes"), std::string::npos)
        << result.output;
}

struct BuildCheckCase {
    const char* what;
    long size;  // -1: no file at all
    bool accepted;
};

const BuildCheckCase kBuildChecks[] = {
    {"empty", 0, false},
    {"one byte short", static_cast<long>(kImageSize) - 1, false},
    {"one byte long", static_cast<long>(kImageSize) + 1, false},
    {"missing", -1, false},
    {"exactly 2 MiB", static_cast<long>(kImageSize), true},
};

// What the build runs before embedding FW_IMAGE_FILE, so that a file changed after
// configuring fails the build too.
TEST_F(FirmwareImageCheck, BuildStepPassesOnlyAnImageOfTheRightSize) {
    for (const BuildCheckCase& c : kBuildChecks) {
        SCOPED_TRACE(c.what);
        const fs::path image = dir_ / "image.bin";
        const fs::path copy = dir_ / "copy.bin";
        fs::remove(image);
        fs::remove(copy);
        if (c.size >= 0) writeFile(image, static_cast<std::size_t>(c.size));

        const Result result = run({FW_CMAKE_COMMAND, "-DFW_IMAGE_INPUT=" + image.string(),
                                   "-DFW_IMAGE_OUTPUT=" + copy.string(), "-P", kScript});
        if (c.accepted) {
            EXPECT_EQ(result.status, 0) << result.output;
            EXPECT_EQ(readFile(copy), readFile(image));
        } else {
            EXPECT_NE(result.status, 0);
            EXPECT_NE(result.output.find(image.string()), std::string::npos) << result.output;
            if (c.size >= 0) {
                EXPECT_NE(result.output.find("is " + std::to_string(c.size) + " bytes"),
                          std::string::npos)
                    << result.output;
            }
            EXPECT_FALSE(fs::exists(copy)) << "the image was passed on all the same";
        }
    }
}

using Generators = ScratchDir;

TEST_F(Generators, FirmwareImageComesOutTheSameEveryTime) {
    if (std::string(FW_IMAGE_SOURCE) != "") GTEST_SKIP() << "built with FW_IMAGE_FILE";
    if (std::string(FW_PYTHON_EXECUTABLE) == "") GTEST_SKIP() << "no python3";
    const fs::path again = dir_ / "firmware.bin";
    const Result result =
        run({FW_PYTHON_EXECUTABLE,
             std::string(FW_PROJECT_SOURCE_DIR) + "/resources/make_firmware.py", again.string()});
    ASSERT_EQ(result.status, 0) << result.output;
    const std::vector<char> built = readFile(FW_IMAGE_PATH);
    ASSERT_EQ(built.size(), kImageSize);
    EXPECT_TRUE(readFile(again) == built) << "make_firmware.py is not deterministic";
}

TEST_F(Generators, CommittedLogoAndIconAreWhatTheArtScriptDraws) {
    if (std::string(FW_PYTHON_EXECUTABLE) == "") GTEST_SKIP() << "no python3";
    const std::string resources = std::string(FW_PROJECT_SOURCE_DIR) + "/resources";
    const Result result =
        run({FW_PYTHON_EXECUTABLE, resources + "/art/make_art.py", dir_.string()});
    ASSERT_EQ(result.status, 0) << result.output;
    for (const char* file : {"logo.bmp", "main.ico"}) {
        SCOPED_TRACE(file);
        const std::vector<char> drawn = readFile(dir_ / file);
        ASSERT_FALSE(drawn.empty());
        EXPECT_TRUE(drawn == readFile(resources + "/" + file))
            << "resources/" << file << " differs from what art/make_art.py draws: rerun it";
    }
}

}  // namespace

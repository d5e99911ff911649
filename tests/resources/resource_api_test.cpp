// The stand-in's resource API: lookups and their error codes, module handles, and the
// faults tests put on resources (replaced, removed, failing to load).
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "resource.h"
#include "resources/resource_reading.h"
#include "win32sim/resources.h"

namespace {

using resources_test::loadResource;

constexpr DWORD kImageSize = 2097152;
constexpr DWORD kUntouched = 0xDEADBEEF;  // last error before a call under test

class ResourceApi : public ::testing::Test {
protected:
    void SetUp() override { win32sim::resetResources(); }
    void TearDown() override { win32sim::resetResources(); }

    static HRSRC findImage() {
        return FindResourceA(nullptr, MAKEINTRESOURCEA(IDR_FIRMWARE), RT_RCDATA);
    }
};

// --- Lookups ------------------------------------------------------------------------------

struct Lookup {
    const char* what;
    LPCSTR type;
    LPCSTR name;
    DWORD error;  // 0: found
};

const Lookup kLookups[] = {
    {"dialog by id", RT_DIALOG, MAKEINTRESOURCEA(IDD_MAIN), 0},
    {"dialog as \"#101\"", RT_DIALOG, "#101", 0},
    {"type as \"#5\"", "#5", MAKEINTRESOURCEA(IDD_MAIN), 0},
    {"image", RT_RCDATA, MAKEINTRESOURCEA(IDR_FIRMWARE), 0},
    {"manifest", RT_MANIFEST, MAKEINTRESOURCEA(1), 0},
    {"unknown name of a known type", RT_RCDATA, MAKEINTRESOURCEA(999),
     ERROR_RESOURCE_NAME_NOT_FOUND},
    {"id of another type", RT_BITMAP, MAKEINTRESOURCEA(IDD_MAIN), ERROR_RESOURCE_NAME_NOT_FOUND},
    {"type not in the program", RT_MENU, MAKEINTRESOURCEA(IDD_MAIN), ERROR_RESOURCE_TYPE_NOT_FOUND},
    {"string type", "FIRMWARE", MAKEINTRESOURCEA(IDR_FIRMWARE), ERROR_RESOURCE_TYPE_NOT_FOUND},
    {"string name", RT_DIALOG, "MAIN", ERROR_RESOURCE_NAME_NOT_FOUND},
    {"\"#\" without digits", RT_DIALOG, "#", ERROR_RESOURCE_NAME_NOT_FOUND},
    {"\"#101x\"", RT_DIALOG, "#101x", ERROR_RESOURCE_NAME_NOT_FOUND},
    {"\"# 101\"", RT_DIALOG, "# 101", ERROR_RESOURCE_NAME_NOT_FOUND},
    {"\"#65637\" (101 + 65536)", RT_DIALOG, "#65637", ERROR_RESOURCE_NAME_NOT_FOUND},
};

TEST_F(ResourceApi, FindResourceFindsByIdAndReportsWhatIsMissing) {
    for (const Lookup& lookup : kLookups) {
        SCOPED_TRACE(lookup.what);
        SetLastError(kUntouched);
        const HRSRC info = FindResourceA(nullptr, lookup.name, lookup.type);
        if (lookup.error == 0) {
            EXPECT_NE(info, nullptr) << "error " << GetLastError();
        } else {
            EXPECT_EQ(info, nullptr);
            EXPECT_EQ(GetLastError(), lookup.error);
        }
    }
}

TEST_F(ResourceApi, ProgramModuleHandleIsFixedAndAcceptedLikeNull) {
    const HMODULE module = GetModuleHandleA(nullptr);
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(GetModuleHandleA(nullptr), module);

    const HRSRC viaHandle = FindResourceA(module, MAKEINTRESOURCEA(IDD_MAIN), RT_DIALOG);
    const HRSRC viaNull = FindResourceA(nullptr, MAKEINTRESOURCEA(IDD_MAIN), RT_DIALOG);
    ASSERT_NE(viaHandle, nullptr);
    EXPECT_EQ(viaHandle, viaNull);
    EXPECT_EQ(SizeofResource(module, viaHandle), SizeofResource(nullptr, viaNull));
}

TEST_F(ResourceApi, OtherModulesHaveNoResources) {
    SetLastError(kUntouched);
    EXPECT_EQ(GetModuleHandleA("kernel32.dll"), nullptr);
    EXPECT_NE(GetLastError(), kUntouched);

    static int notAModule;
    const auto other = reinterpret_cast<HMODULE>(&notAModule);
    SetLastError(kUntouched);
    EXPECT_EQ(FindResourceA(other, MAKEINTRESOURCEA(IDD_MAIN), RT_DIALOG), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_DATA_NOT_FOUND));
}

TEST_F(ResourceApi, HandlesThatAreNotResourcesAreRefused) {
    static int notAResource;
    const auto bogus = reinterpret_cast<HRSRC>(&notAResource);
    for (const HRSRC info : {static_cast<HRSRC>(nullptr), bogus}) {
        SetLastError(kUntouched);
        EXPECT_EQ(LoadResource(nullptr, info), nullptr);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
        SetLastError(kUntouched);
        EXPECT_EQ(SizeofResource(nullptr, info), 0u);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    }
    EXPECT_EQ(LockResource(nullptr), nullptr);
}

// --- Faults -------------------------------------------------------------------------------

TEST_F(ResourceApi, ReplacedImageIsWhatTheProgramReads) {
    // The update must notice an image a byte short or a byte long.
    for (const DWORD size : {kImageSize - 1, kImageSize + 1}) {
        SCOPED_TRACE(size);
        std::vector<std::uint8_t> replacement(size, 0x5A);
        replacement.front() = 0x01;
        replacement.back() = 0x02;
        win32sim::overrideResource(10, IDR_FIRMWARE, replacement);

        const HRSRC info = findImage();
        ASSERT_NE(info, nullptr);
        EXPECT_EQ(SizeofResource(nullptr, info), size);
        const auto loaded = loadResource(RT_RCDATA, IDR_FIRMWARE);
        ASSERT_TRUE(loaded);
        EXPECT_TRUE(*loaded == replacement);
        EXPECT_TRUE(win32sim::resourceBytes(10, IDR_FIRMWARE) == replacement);
    }
    win32sim::resetResources();
    const HRSRC info = findImage();
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(SizeofResource(nullptr, info), kImageSize);
}

TEST_F(ResourceApi, ReplacingLeavesEarlierHandlesAndBytesIntact) {
    const HRSRC before = findImage();
    ASSERT_NE(before, nullptr);
    const auto* bytes =
        static_cast<const std::uint8_t*>(LockResource(LoadResource(nullptr, before)));
    ASSERT_NE(bytes, nullptr);
    const std::vector<std::uint8_t> original(bytes, bytes + kImageSize);

    win32sim::overrideResource(10, IDR_FIRMWARE, std::vector<std::uint8_t>(16, 0xFF));
    win32sim::resetResources();
    win32sim::overrideResource(10, IDR_FIRMWARE, std::vector<std::uint8_t>(16, 0xEE));

    EXPECT_EQ(SizeofResource(nullptr, before), kImageSize);
    EXPECT_TRUE(std::vector<std::uint8_t>(bytes, bytes + kImageSize) == original);
}

TEST_F(ResourceApi, ReplacedEmptyResourceStillLoads) {
    win32sim::overrideResource(10, IDR_FIRMWARE, {});
    const HRSRC info = findImage();
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(SizeofResource(nullptr, info), 0u);
    EXPECT_NE(LockResource(LoadResource(nullptr, info)), nullptr);
}

TEST_F(ResourceApi, ResourceThatWasNeverThereCanBeAdded) {
    win32sim::overrideResource(10, 4242, {1, 2, 3});
    const auto loaded = loadResource(RT_RCDATA, 4242);
    ASSERT_TRUE(loaded);
    EXPECT_EQ(*loaded, (std::vector<std::uint8_t>{1, 2, 3}));
    win32sim::resetResources();
    EXPECT_EQ(FindResourceA(nullptr, MAKEINTRESOURCEA(4242), RT_RCDATA), nullptr);
}

struct Removal {
    const char* what;
    WORD type;
    WORD name;
    DWORD error;  // what FindResourceA reports afterwards
};

const Removal kRemovals[] = {
    // The image is the only RCDATA: with it gone, so is the type.
    {"image", 10, IDR_FIRMWARE, ERROR_RESOURCE_TYPE_NOT_FOUND},
    {"dialog", 5, IDD_MAIN, ERROR_RESOURCE_TYPE_NOT_FOUND},
    {"logo", 2, IDB_LOGO, ERROR_RESOURCE_TYPE_NOT_FOUND},
};

TEST_F(ResourceApi, RemovedResourceIsNotFoundUntilReset) {
    for (const Removal& removal : kRemovals) {
        SCOPED_TRACE(removal.what);
        win32sim::removeResource(removal.type, removal.name);
        SetLastError(kUntouched);
        EXPECT_EQ(
            FindResourceA(nullptr, MAKEINTRESOURCEA(removal.name), MAKEINTRESOURCEA(removal.type)),
            nullptr);
        EXPECT_EQ(GetLastError(), removal.error);
        EXPECT_FALSE(win32sim::resourceBytes(removal.type, removal.name));

        win32sim::resetResources();
        EXPECT_NE(
            FindResourceA(nullptr, MAKEINTRESOURCEA(removal.name), MAKEINTRESOURCEA(removal.type)),
            nullptr);
    }
}

TEST_F(ResourceApi, RemovingOneOfSeveralLeavesTheTypeAndTheOthers) {
    win32sim::overrideResource(10, 4242, {7});
    win32sim::removeResource(10, IDR_FIRMWARE);
    SetLastError(kUntouched);
    EXPECT_EQ(findImage(), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND));
    EXPECT_NE(FindResourceA(nullptr, MAKEINTRESOURCEA(4242), RT_RCDATA), nullptr);
    EXPECT_NE(FindResourceA(nullptr, MAKEINTRESOURCEA(IDD_MAIN), RT_DIALOG), nullptr);
}

TEST_F(ResourceApi, LoadFailureLeavesFindAndSizeWorking) {
    win32sim::failLoadResource(true);
    const HRSRC info = findImage();
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(SizeofResource(nullptr, info), kImageSize);
    SetLastError(kUntouched);
    EXPECT_EQ(LoadResource(nullptr, info), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_DATA_NOT_FOUND));
    // The fault is on loading only: the bytes are still there for tests.
    EXPECT_TRUE(win32sim::resourceBytes(10, IDR_FIRMWARE));

    win32sim::failLoadResource(false);
    EXPECT_NE(LoadResource(nullptr, info), nullptr);

    win32sim::failLoadResource(true);
    win32sim::resetResources();
    EXPECT_NE(LoadResource(nullptr, info), nullptr);
}

// The update worker reads the image on its own thread while tests set faults on the UI
// thread: what a reader sees must always be one whole resource, never a mix.
TEST_F(ResourceApi, ReadersOnOtherThreadsSeeWholeResources) {
    auto marker = [](DWORD size) { return static_cast<std::uint8_t>(size % 251); };
    std::atomic<bool> stop{false};
    std::atomic<int> mixed{0};
    std::atomic<int> reads{0};
    std::thread reader([&] {
        while (!stop) {
            const HRSRC info = findImage();
            if (info == nullptr) continue;  // removed for a moment
            const DWORD size = SizeofResource(nullptr, info);
            const auto* data =
                static_cast<const std::uint8_t*>(LockResource(LoadResource(nullptr, info)));
            if (data == nullptr) continue;  // a load failure
            if (size != kImageSize && (data[0] != marker(size) || data[size - 1] != marker(size))) {
                ++mixed;
            }
            ++reads;
        }
    });
    for (DWORD round = 0; round < 100000 && (round < 200 || reads < 200); ++round) {
        const DWORD size = 1000 + round % 1000;
        win32sim::overrideResource(10, IDR_FIRMWARE, std::vector<std::uint8_t>(size, marker(size)));
        if (round % 7 == 0) win32sim::removeResource(10, IDR_FIRMWARE);
        win32sim::failLoadResource(round % 5 == 0);
        if (round % 11 == 0) win32sim::resetResources();
        std::this_thread::yield();
    }
    stop = true;
    reader.join();
    EXPECT_EQ(mixed, 0);
    EXPECT_GT(reads, 0);
}

}  // namespace

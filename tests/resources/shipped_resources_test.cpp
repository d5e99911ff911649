// The resources the program ships, read back from the compiled app.res through the
// resource API: the main dialog, logo, icon, manifest and firmware image.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "app_resources_paths.h"
#include "resource.h"
#include "resources/resource_reading.h"
#include "win32sim/dialog_template.h"
#include "win32sim/resources.h"

namespace {

using resources_test::i32;
using resources_test::loadResource;
using resources_test::text;
using resources_test::u16;
using resources_test::u32;

class ShippedResources : public ::testing::Test {
protected:
    void SetUp() override { win32sim::resetResources(); }
    void TearDown() override { win32sim::resetResources(); }
};

// --- The main dialog ----------------------------------------------------------------------

struct ExpectedControl {
    std::int32_t id;
    const char* className;
    DWORD style;
    short x, y, cx, cy;
    const char* title;
    std::optional<WORD> titleId;
};

// Styles as literal values, so that a bit windres adds or drops shows up.
const ExpectedControl kControls[] = {
    {IDC_DRIVE_LIST, "ComboBox", 0x50210102, 6, 5, 222, 79, "", std::nullopt},
    {IDC_START, "Button", 0x50010000, 123, 64, 51, 24, "S T A R T", std::nullopt},
    {IDC_EXIT, "Button", 0x50010000, 180, 64, 50, 24, "E X I T", std::nullopt},
    {IDC_PROGRESS, "msctls_progress32", 0x50800000, 6, 28, 222, 18, "", std::nullopt},
    {IDC_STATIC, "Static", 0x5000000E, 7, 65, 111, 23, "", WORD{IDB_LOGO}},
};

TEST_F(ShippedResources, MainDialogIsTheExtendedTemplateWeDesigned) {
    const auto bytes = loadResource(RT_DIALOG, IDD_MAIN);
    ASSERT_TRUE(bytes);
    const auto dialog = win32sim::parseDialogTemplate(bytes->data(), bytes->size());
    ASSERT_TRUE(dialog);

    EXPECT_EQ(dialog->style, 0x80C808C8u);
    EXPECT_EQ(dialog->exStyle, 0u);
    EXPECT_EQ(dialog->helpId, 0u);
    EXPECT_EQ(dialog->x, 0);
    EXPECT_EQ(dialog->y, 0);
    EXPECT_EQ(dialog->cx, 238);
    EXPECT_EQ(dialog->cy, 99);
    EXPECT_EQ(dialog->menu, "");
    EXPECT_EQ(dialog->windowClass, "");
    EXPECT_EQ(dialog->title, "ZELT_FW_Updater_For_QX-57N8RV 2.00");
    EXPECT_EQ(dialog->pointSize, 8);
    EXPECT_EQ(dialog->weight, 400);
    EXPECT_EQ(dialog->italic, 0);
    EXPECT_EQ(dialog->charset, 1);
    EXPECT_EQ(dialog->typeface, "MS Shell Dlg");

    ASSERT_EQ(dialog->items.size(), std::size(kControls));
    for (std::size_t i = 0; i < std::size(kControls); ++i) {
        const ExpectedControl& want = kControls[i];
        const win32sim::DialogItemTemplate& item = dialog->items[i];
        SCOPED_TRACE("control " + std::to_string(i) + " (id " + std::to_string(want.id) + ")");
        EXPECT_EQ(item.id, want.id);
        EXPECT_EQ(item.className, want.className);
        EXPECT_EQ(item.style, want.style) << std::hex << item.style;
        EXPECT_EQ(item.exStyle, 0u);
        EXPECT_EQ(item.helpId, 0u);
        EXPECT_EQ(item.x, want.x);
        EXPECT_EQ(item.y, want.y);
        EXPECT_EQ(item.cx, want.cx);
        EXPECT_EQ(item.cy, want.cy);
        EXPECT_EQ(item.title, want.title);
        EXPECT_EQ(item.titleId, want.titleId);
        EXPECT_TRUE(item.creationData.empty());
    }
}

TEST_F(ShippedResources, LogoControlNamesTheBitmapThatIsThere) {
    const auto bytes = loadResource(RT_DIALOG, IDD_MAIN);
    ASSERT_TRUE(bytes);
    const auto dialog = win32sim::parseDialogTemplate(bytes->data(), bytes->size());
    ASSERT_TRUE(dialog);
    ASSERT_FALSE(dialog->items.empty());
    const auto& logo = dialog->items.back();
    ASSERT_TRUE(logo.titleId);
    EXPECT_NE(FindResourceA(nullptr, MAKEINTRESOURCEA(*logo.titleId), RT_BITMAP), nullptr);
}

// --- Logo and icon ------------------------------------------------------------------------

TEST_F(ShippedResources, LogoIsAnUncompressed24BitBitmapOf166By37) {
    const auto bmp = loadResource(RT_BITMAP, IDB_LOGO);
    ASSERT_TRUE(bmp);
    // A bitmap resource is the file without its BITMAPFILEHEADER.
    ASSERT_GE(bmp->size(), 40u);
    EXPECT_EQ(u32(*bmp, 0), 40u);  // biSize: BITMAPINFOHEADER
    EXPECT_EQ(i32(*bmp, 4), 166);  // biWidth
    EXPECT_EQ(i32(*bmp, 8), 37);   // biHeight: bottom-up
    EXPECT_EQ(u16(*bmp, 12), 1);   // biPlanes
    EXPECT_EQ(u16(*bmp, 14), 24);  // biBitCount
    EXPECT_EQ(u32(*bmp, 16), 0u);  // biCompression: BI_RGB
    EXPECT_EQ(u32(*bmp, 32), 0u);  // biClrUsed: no palette
    constexpr std::size_t kStride = (166 * 3 + 3) / 4 * 4;
    ASSERT_EQ(bmp->size(), 40 + kStride * 37) << "header and rows, nothing missing or extra";

    // Something is drawn on it: not one flat colour.
    std::set<std::uint32_t> colours;
    for (std::size_t row = 0; row < 37; ++row) {
        for (std::size_t x = 0; x < 166; ++x) {
            const std::size_t at = 40 + row * kStride + x * 3;
            colours.insert((*bmp)[at] | ((*bmp)[at + 1] << 8) | ((*bmp)[at + 2] << 16));
        }
    }
    EXPECT_GT(colours.size(), 16u);
}

TEST_F(ShippedResources, IconGroupHoldsOne32By32SixteenColourImage) {
    const auto group = loadResource(RT_GROUP_ICON, IDI_MAIN);
    ASSERT_TRUE(group);
    ASSERT_EQ(group->size(), 6u + 14u) << "GRPICONDIR with exactly one entry";
    EXPECT_EQ(u16(*group, 0), 0);   // idReserved
    EXPECT_EQ(u16(*group, 2), 1);   // idType: icon
    EXPECT_EQ(u16(*group, 4), 1);   // idCount
    EXPECT_EQ((*group)[6], 32);     // bWidth
    EXPECT_EQ((*group)[7], 32);     // bHeight
    EXPECT_EQ((*group)[8], 16);     // bColorCount
    EXPECT_EQ(u16(*group, 10), 1);  // wPlanes
    EXPECT_EQ(u16(*group, 12), 4);  // wBitCount
    const std::uint32_t bytesInRes = u32(*group, 14);
    const WORD iconId = u16(*group, 18);

    const auto image = loadResource(RT_ICON, iconId);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->size(), bytesInRes);
    ASSERT_GE(image->size(), 40u);
    EXPECT_EQ(u32(*image, 0), 40u);
    EXPECT_EQ(i32(*image, 4), 32);
    EXPECT_EQ(i32(*image, 8), 64);  // colour rows and mask rows
    EXPECT_EQ(u16(*image, 14), 4);
    EXPECT_EQ(u32(*image, 16), 0u);
    // Header, 16-entry palette, 4-bit pixels, 1-bit mask.
    EXPECT_EQ(image->size(), 40u + 16 * 4 + 32 * 16 + 32 * 4);
}

// --- Manifest -----------------------------------------------------------------------------

TEST_F(ShippedResources, ManifestRunsAsInvokerWithoutCommonControlsDependency) {
    const auto manifest = loadResource(RT_MANIFEST, 1);
    ASSERT_TRUE(manifest);
    const std::string xml = text(*manifest);
    const auto level = xml.find("<requestedExecutionLevel");
    ASSERT_NE(level, std::string::npos);
    const std::string element = xml.substr(level, xml.find('>', level) - level);
    EXPECT_NE(element.find("level=\"asInvoker\""), std::string::npos) << element;
    EXPECT_NE(element.find("uiAccess=\"false\""), std::string::npos) << element;
    EXPECT_EQ(xml.find("Common-Controls"), std::string::npos);
    EXPECT_EQ(xml.find("<dependency"), std::string::npos);
}

// --- Firmware image -----------------------------------------------------------------------

std::vector<std::uint8_t> readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in),
                                     std::istreambuf_iterator<char>());
}

TEST_F(ShippedResources, FirmwareImageIsTwoMiBWithIdentityCodeKT7) {
    const HRSRC info = FindResourceA(nullptr, MAKEINTRESOURCEA(IDR_FIRMWARE), RT_RCDATA);
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(SizeofResource(nullptr, info), 2097152u);

    const auto image = loadResource(RT_RCDATA, IDR_FIRMWARE);
    ASSERT_TRUE(image);
    ASSERT_EQ(image->size(), 2097152u);
    if (std::string(FW_IMAGE_SOURCE) != "")
        GTEST_SKIP() << "built with FW_IMAGE_FILE " FW_IMAGE_SOURCE;
    const std::size_t code = 0x1EC000 + 70;
    EXPECT_EQ(std::string(image->begin() + code, image->begin() + code + 3), "KT7");
}

TEST_F(ShippedResources, EmbeddedImageIsTheOneThisBuildMade) {
    const auto image = loadResource(RT_RCDATA, IDR_FIRMWARE);
    ASSERT_TRUE(image);
    const std::vector<std::uint8_t> file = readFile(FW_IMAGE_PATH);
    ASSERT_EQ(file.size(), std::size_t{FW_IMAGE_BYTES}) << FW_IMAGE_PATH;
    EXPECT_TRUE(*image == file) << "app.res carries a stale image";
}

}  // namespace

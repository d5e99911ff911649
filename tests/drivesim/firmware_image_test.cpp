#include "drivesim/firmware_image.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

namespace {

using namespace drivesim;

TEST(FirmwareImage, HasTheImageSizeAndTheCodeInItsIdentityBlock) {
    FirmwareImage image = makeFirmwareImage("QX2", 7);
    ASSERT_EQ(image.size(), 0x200000u);
    const char* block = reinterpret_cast<const char*>(image.data() + 0x1EC000);
    EXPECT_EQ(std::string(block + 70, 3), "QX2");
    EXPECT_EQ(identityCode(image), "QX2");
    // The block reads like a header: text before the code, not random bytes.
    EXPECT_EQ(std::string(block, 4), "ZELT");
    EXPECT_EQ(std::string(block + 64, 6), "IDENT=");
}

TEST(FirmwareImage, IsDeterministicPerSeed) {
    EXPECT_EQ(makeFirmwareImage("KT8", 3), makeFirmwareImage("KT8", 3));
    EXPECT_NE(makeFirmwareImage("KT8", 3), makeFirmwareImage("KT8", 4));
}

TEST(FirmwareImage, ImagesWithTheSameSeedDifferOnlyInTheCode) {
    FirmwareImage a = makeFirmwareImage("KT8", 5);
    FirmwareImage b = makeFirmwareImage("QX2", 5);
    std::size_t differing = 0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i] != b[i]) {
            ++differing;
            EXPECT_GE(i, kIdentityBlockOffset + kIdentityCodeOffset);
            EXPECT_LT(i, kIdentityBlockOffset + kIdentityCodeOffset + 3);
        }
    }
    EXPECT_GT(differing, 0u);
}

TEST(FirmwareImage, BodyIsNotConstant) {
    FirmwareImage image = makeFirmwareImage("KT8", 1);
    std::size_t zeros = 0;
    for (std::size_t i = 0; i < 0x10000; ++i) zeros += image[i] == 0;
    EXPECT_LT(zeros, 0x10000u / 64) << "pseudo-random body expected";
}

TEST(FirmwareImage, SetIdentityCodeRewritesOnlyTheCode) {
    FirmwareImage image = makeFirmwareImage("KT8", 1);
    setIdentityCode(image, "AB1");
    EXPECT_EQ(identityCode(image), "AB1");
    setIdentityCode(image, "KT8");
    EXPECT_EQ(image, makeFirmwareImage("KT8", 1));
}

TEST(FirmwareImage, RefusesCodesThatAreNotThreeCharacters) {
    EXPECT_THROW(makeFirmwareImage("KT", 1), std::invalid_argument);
    EXPECT_THROW(makeFirmwareImage("KT88", 1), std::invalid_argument);
    FirmwareImage tooSmall(100);
    EXPECT_THROW(setIdentityCode(tooSmall, "KT8"), std::invalid_argument);
    EXPECT_EQ(identityCode(tooSmall), "");
}

TEST(FirmwareImage, DefaultInstalledFirmwareIsKT8) {
    EXPECT_EQ(identityCode(defaultInstalledFirmware()), "KT8");
    EXPECT_EQ(defaultInstalledFirmware().size(), kImageSize);
}

}  // namespace

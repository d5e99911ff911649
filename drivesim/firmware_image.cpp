#include "drivesim/firmware_image.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace drivesim {
namespace {

// splitmix64: small, fast and good enough to make the image body look like code.
std::uint64_t nextRandom(std::uint64_t& state) {
    std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

void putText(std::uint8_t* block, std::size_t offset, std::size_t width, std::string_view text) {
    std::memset(block + offset, ' ', width);
    std::memcpy(block + offset, text.data(), std::min(width, text.size()));
}

void checkCode(std::string_view code) {
    if (code.size() != kIdentityCodeLength) {
        throw std::invalid_argument("firmware identity code must be three characters");
    }
}

}  // namespace

FirmwareImage makeFirmwareImage(std::string_view code, std::uint64_t seed) {
    checkCode(code);
    FirmwareImage image(kImageSize);
    std::uint64_t state = seed;
    for (std::size_t i = 0; i < kImageSize; i += 8) {
        std::uint64_t word = nextRandom(state);
        for (std::size_t b = 0; b < 8; ++b) image[i + b] = static_cast<std::uint8_t>(word >> (8 * b));
    }

    // Identity block: header text, the code after "IDENT=", zero padding, then erased flash.
    std::uint8_t* block = image.data() + kIdentityBlockOffset;
    std::memset(block, 0x00, kIdentityBlockSize);
    putText(block, 0, 32, "ZELT QX-57N8RV DRIVE FIRMWARE");
    putText(block, 32, 32, "BOOT 02.10  FLASH 16M");
    putText(block, kIdentityCodeOffset - 6, 6, "IDENT=");
    std::memcpy(block + kIdentityCodeOffset, code.data(), kIdentityCodeLength);
    std::memset(block + 128, 0xFF, kIdentityBlockSize - 128);
    return image;
}

void setIdentityCode(FirmwareImage& image, std::string_view code) {
    checkCode(code);
    if (image.size() < kImageSize) throw std::invalid_argument("firmware image too small");
    std::memcpy(image.data() + kIdentityBlockOffset + kIdentityCodeOffset, code.data(),
                kIdentityCodeLength);
}

std::string identityCode(const FirmwareImage& image) {
    const std::size_t at = kIdentityBlockOffset + kIdentityCodeOffset;
    if (image.size() < at + kIdentityCodeLength) return {};
    return std::string(reinterpret_cast<const char*>(image.data() + at), kIdentityCodeLength);
}

const FirmwareImage& defaultInstalledFirmware() {
    static const FirmwareImage image = makeFirmwareImage("KT8", 1);
    return image;
}

}  // namespace drivesim

// The drive's firmware as a 2 MiB image, downloaded in 16 KiB chunks. Its identity block
// names the hardware variant the image is built for by a three-character code.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace drivesim {

using FirmwareImage = std::vector<std::uint8_t>;

inline constexpr std::size_t kImageSize = 0x200000;
inline constexpr std::size_t kChunkSize = 0x4000;
inline constexpr std::size_t kChunkCount = kImageSize / kChunkSize;
inline constexpr std::size_t kIdentityBlockOffset = 0x1EC000;
inline constexpr std::size_t kIdentityBlockSize = 256;
inline constexpr std::size_t kIdentityCodeOffset = 70;  // within the identity block
inline constexpr std::size_t kIdentityCodeLength = 3;

// A deterministic image: pseudo-random bytes from `seed`, with an identity block carrying
// header text and `code` (exactly three characters, else std::invalid_argument).
FirmwareImage makeFirmwareImage(std::string_view code, std::uint64_t seed = 1);

// Rewrites the identity code of an existing image (at least kImageSize bytes).
void setIdentityCode(FirmwareImage& image, std::string_view code);

// The three characters at the identity code's place; empty when the image is too small.
std::string identityCode(const FirmwareImage& image);

// The image a target drive has installed unless told otherwise: code "KT8", seed 1.
const FirmwareImage& defaultInstalledFirmware();

}  // namespace drivesim

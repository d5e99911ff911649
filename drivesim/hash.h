// FNV-1a, 64-bit: a cheap fingerprint of the data a host sent, so a transcript can show
// which bytes went to the drive without keeping them.
#pragma once

#include <cstddef>
#include <cstdint>

namespace drivesim {

inline constexpr std::uint64_t kFnv1aOffsetBasis = 14695981039346656037ull;
inline constexpr std::uint64_t kFnv1aPrime = 1099511628211ull;

constexpr std::uint64_t fnv1a64(const std::uint8_t* data, std::size_t length) {
    std::uint64_t hash = kFnv1aOffsetBasis;
    for (std::size_t i = 0; i < length; ++i) {
        hash ^= data[i];
        hash *= kFnv1aPrime;
    }
    return hash;
}

}  // namespace drivesim

// Reading the program's resources the way the program does, and little-endian fields.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace resources_test {

// FindResourceA, LoadResource, LockResource and SizeofResource on the program's module;
// nullopt (with a test failure naming the step) when one of them fails.
inline std::optional<std::vector<std::uint8_t>> loadResource(LPCSTR type, WORD name) {
    const HMODULE module = GetModuleHandleA(nullptr);
    const HRSRC info = FindResourceA(module, MAKEINTRESOURCEA(name), type);
    if (info == nullptr) {
        ADD_FAILURE() << "FindResourceA " << name << ": error " << GetLastError();
        return std::nullopt;
    }
    const HGLOBAL loaded = LoadResource(module, info);
    const void* data = loaded != nullptr ? LockResource(loaded) : nullptr;
    if (data == nullptr) {
        ADD_FAILURE() << "LoadResource/LockResource " << name << ": error " << GetLastError();
        return std::nullopt;
    }
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    return std::vector<std::uint8_t>(bytes, bytes + SizeofResource(module, info));
}

inline std::uint16_t u16(const std::vector<std::uint8_t>& b, std::size_t at) {
    return static_cast<std::uint16_t>(b.at(at) | (b.at(at + 1) << 8));
}

inline std::uint32_t u32(const std::vector<std::uint8_t>& b, std::size_t at) {
    return static_cast<std::uint32_t>(u16(b, at)) |
           (static_cast<std::uint32_t>(u16(b, at + 2)) << 16);
}

inline std::int32_t i32(const std::vector<std::uint8_t>& b, std::size_t at) {
    return static_cast<std::int32_t>(u32(b, at));
}

inline std::string text(const std::vector<std::uint8_t>& b) {
    return std::string(b.begin(), b.end());
}

}  // namespace resources_test

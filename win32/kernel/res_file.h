// Reading a compiled resource file (.res), the form in which the Linux build carries the
// program's resources. Private to the stand-in's kernel side (and its tests).
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace win32sim {

// A resource type or name: an ordinal, or a string (kept as written, UTF-16 narrowed to
// ASCII; Windows compares these without regard to case).
struct ResId {
    bool isString = false;
    WORD ordinal = 0;
    std::string text;

    static ResId fromOrdinal(WORD ordinal) { return ResId{false, ordinal, {}}; }
    static ResId fromString(std::string text) { return ResId{true, 0, std::move(text)}; }
};

struct ResEntry {
    ResId type;
    ResId name;
    WORD memoryFlags = 0;
    WORD language = 0;
    const std::uint8_t* data = nullptr;  // into the bytes given to parseResFile
    DWORD size = 0;
};

// The resources in a .res file, in file order, without the empty entry it starts with.
// nullopt when the bytes are not a well-formed .res (cut short, sizes that do not fit).
std::optional<std::vector<ResEntry>> parseResFile(const std::uint8_t* data, std::size_t size);

}  // namespace win32sim

// Reads the little-endian fields of Windows' binary resource formats (.res files, dialog
// templates), every read checked against the end of the data.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace win32sim {

class ByteReader {
public:
    ByteReader(const std::uint8_t* data, std::size_t size, std::size_t pos = 0)
        : data_(data), size_(size), pos_(pos) {}

    std::size_t pos() const { return pos_; }

    bool byte(BYTE& out) {
        if (size_ - pos_ < 1) return false;
        out = data_[pos_++];
        return true;
    }

    bool word(WORD& out) {
        if (size_ - pos_ < 2) return false;
        out = static_cast<WORD>(data_[pos_] | (data_[pos_ + 1] << 8));
        pos_ += 2;
        return true;
    }

    bool dword(DWORD& out) {
        if (size_ - pos_ < 4) return false;
        WORD low = 0, high = 0;
        word(low);
        word(high);
        out = static_cast<DWORD>(low) | (static_cast<DWORD>(high) << 16);
        return true;
    }

    bool coordinate(short& out) {
        WORD raw = 0;
        if (!word(raw)) return false;
        out = static_cast<short>(raw);
        return true;
    }

    bool bytes(std::size_t count, std::vector<std::uint8_t>& out) {
        if (size_ - pos_ < count) return false;
        out.assign(data_ + pos_, data_ + pos_ + count);
        pos_ += count;
        return true;
    }

    // A zero-terminated UTF-16 string, narrowed to ASCII (anything else becomes '?').
    bool string(std::string& out) {
        WORD first = 0;
        return word(first) && stringFrom(first, out);
    }

    // sz_Or_Ord: 0xFFFF and an ordinal, or a string (0x0000 alone: the empty string).
    struct SzOrOrd {
        std::string text;
        std::optional<WORD> ordinal;
    };
    bool szOrOrd(SzOrOrd& out) {
        WORD first = 0;
        if (!word(first)) return false;
        out = SzOrOrd{};
        if (first == 0xFFFF) {
            WORD ordinal = 0;
            if (!word(ordinal)) return false;
            out.ordinal = ordinal;
            return true;
        }
        return stringFrom(first, out.text);
    }

    // Moves on to the next DWORD boundary from the start of the data.
    bool alignDword() {
        const std::size_t aligned = (pos_ + 3) & ~std::size_t{3};
        if (aligned > size_) return false;
        pos_ = aligned;
        return true;
    }

private:
    bool stringFrom(WORD unit, std::string& out) {
        out.clear();
        while (unit != 0) {
            out.push_back(unit < 0x80 ? static_cast<char>(unit) : '?');
            if (!word(unit)) return false;
        }
        return true;
    }

    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_;
};

}  // namespace win32sim

// parseDialogTemplate: DLGTEMPLATEEX and its DLGITEMTEMPLATEEX items, read field by field
// with every read checked against the end of the data.
#include "win32sim/dialog_template.h"

#include <cctype>
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>

namespace win32sim {
namespace {

class TemplateReader {
public:
    TemplateReader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

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

    // A zero-terminated UTF-16 string whose first unit was already read, narrowed to ASCII
    // (anything else becomes '?').
    bool stringFrom(WORD unit, std::string& out) {
        out.clear();
        while (unit != 0) {
            out.push_back(unit < 0x80 ? static_cast<char>(unit) : '?');
            if (!word(unit)) return false;
        }
        return true;
    }

    bool string(std::string& out) {
        WORD first = 0;
        return word(first) && stringFrom(first, out);
    }

    // sz_Or_Ord: 0x0000 (nothing), 0xFFFF and an ordinal, or a string.
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

    // Items start on a DWORD boundary from the start of the template.
    bool alignDword() {
        const std::size_t aligned = (pos_ + 3) & ~std::size_t{3};
        if (aligned > size_) return false;
        pos_ = aligned;
        return true;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

// Class names are case-insensitive; the classes a dialog names by atom, and the progress
// bar, are reported in their usual spelling however the template wrote them.
struct KnownClass {
    WORD atom;  // 0: none
    const char* name;
};
constexpr KnownClass kKnownClasses[] = {
    {0x0080, "Button"},    {0x0081, "Edit"},     {0x0082, "Static"},       {0x0083, "ListBox"},
    {0x0084, "ScrollBar"}, {0x0085, "ComboBox"}, {0, "msctls_progress32"},
};

bool equalNoCase(const std::string& a, const char* b) {
    std::size_t i = 0;
    for (; i < a.size() && b[i] != '\0'; ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return i == a.size() && b[i] == '\0';
}

std::string className(const TemplateReader::SzOrOrd& value) {
    for (const KnownClass& known : kKnownClasses) {
        if (value.ordinal ? known.atom != 0 && known.atom == *value.ordinal
                          : equalNoCase(value.text, known.name)) {
            return known.name;
        }
    }
    return value.ordinal ? "#" + std::to_string(*value.ordinal) : value.text;
}

// A dialog's menu or class given as an ordinal reads "#<ordinal>".
std::string nameOrOrdinal(const TemplateReader::SzOrOrd& value) {
    return value.ordinal ? "#" + std::to_string(*value.ordinal) : value.text;
}

bool readItem(TemplateReader& reader, DialogItemTemplate& item) {
    DWORD id = 0;
    WORD extraCount = 0;
    TemplateReader::SzOrOrd windowClass, title;
    if (!reader.alignDword() || !reader.dword(item.helpId) || !reader.dword(item.exStyle) ||
        !reader.dword(item.style) || !reader.coordinate(item.x) || !reader.coordinate(item.y) ||
        !reader.coordinate(item.cx) || !reader.coordinate(item.cy) || !reader.dword(id) ||
        !reader.szOrOrd(windowClass) || !reader.szOrOrd(title) || !reader.word(extraCount) ||
        !reader.bytes(extraCount, item.creationData)) {
        return false;
    }
    item.id = static_cast<std::int32_t>(id);
    item.className = className(windowClass);
    item.title = std::move(title.text);
    item.titleId = title.ordinal;
    return true;
}

}  // namespace

std::optional<DialogTemplate> parseDialogTemplate(const std::uint8_t* data, std::size_t size) {
    if (data == nullptr) return std::nullopt;
    TemplateReader reader(data, size);
    DialogTemplate dialog;
    WORD version = 0, signature = 0, itemCount = 0;
    TemplateReader::SzOrOrd menu, windowClass;
    if (!reader.word(version) || !reader.word(signature) || version != 1 || signature != 0xFFFF) {
        return std::nullopt;  // cut short, or a plain DLGTEMPLATE
    }
    if (!reader.dword(dialog.helpId) || !reader.dword(dialog.exStyle) ||
        !reader.dword(dialog.style) || !reader.word(itemCount) || !reader.coordinate(dialog.x) ||
        !reader.coordinate(dialog.y) || !reader.coordinate(dialog.cx) ||
        !reader.coordinate(dialog.cy) || !reader.szOrOrd(menu) || !reader.szOrOrd(windowClass) ||
        !reader.string(dialog.title)) {
        return std::nullopt;
    }
    dialog.menu = nameOrOrdinal(menu);
    dialog.windowClass = nameOrOrdinal(windowClass);
    // DS_SHELLFONT is DS_SETFONT | DS_FIXEDSYS: either way the font fields are there.
    if (dialog.style & DS_SETFONT) {
        if (!reader.word(dialog.pointSize) || !reader.word(dialog.weight) ||
            !reader.byte(dialog.italic) || !reader.byte(dialog.charset) ||
            !reader.string(dialog.typeface)) {
            return std::nullopt;
        }
    }
    for (WORD i = 0; i < itemCount; ++i) {
        DialogItemTemplate item;
        if (!readItem(reader, item)) return std::nullopt;
        dialog.items.push_back(std::move(item));
    }
    return dialog;
}

}  // namespace win32sim

// parseDialogTemplate: DLGTEMPLATEEX and its DLGITEMTEMPLATEEX items, read field by field
// with every read checked against the end of the data.
#include "win32sim/dialog_template.h"

#include "byte_reader.h"

#include <cctype>
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>

namespace win32sim {
namespace {


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

std::string className(const ByteReader::SzOrOrd& value) {
    for (const KnownClass& known : kKnownClasses) {
        if (value.ordinal ? known.atom != 0 && known.atom == *value.ordinal
                          : equalNoCase(value.text, known.name)) {
            return known.name;
        }
    }
    return value.ordinal ? "#" + std::to_string(*value.ordinal) : value.text;
}

// A dialog's menu or class given as an ordinal reads "#<ordinal>".
std::string nameOrOrdinal(const ByteReader::SzOrOrd& value) {
    return value.ordinal ? "#" + std::to_string(*value.ordinal) : value.text;
}

bool readItem(ByteReader& reader, DialogItemTemplate& item) {
    DWORD id = 0;
    WORD extraCount = 0;
    ByteReader::SzOrOrd windowClass, title;
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
    ByteReader reader(data, size);
    DialogTemplate dialog;
    WORD version = 0, signature = 0, itemCount = 0;
    ByteReader::SzOrOrd menu, windowClass;
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

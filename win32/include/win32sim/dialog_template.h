// An extended dialog template (DLGTEMPLATEEX with its DLGITEMTEMPLATEEX items) as read
// from the compiled resources: DialogBoxParamA builds the dialog from it, and tests read it
// to check the dialog the program ships.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace win32sim {

struct DialogItemTemplate {
    DWORD helpId = 0;
    DWORD exStyle = 0;
    DWORD style = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    std::int32_t id = 0;            // -1 for an item without an id
    std::string className;          // predefined classes by name: "Button", "Edit", "Static",
                                    // "ListBox", "ScrollBar", "ComboBox"
    std::string title;              // text title, when the title is a string
    std::optional<WORD> titleId;    // resource id, when the title is an ordinal (SS_BITMAP)
    std::vector<std::uint8_t> creationData;
};

struct DialogTemplate {
    DWORD helpId = 0;
    DWORD exStyle = 0;
    DWORD style = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    std::string menu;         // empty: no menu
    std::string windowClass;  // empty: the default dialog class
    std::string title;
    WORD pointSize = 0;       // present with DS_SETFONT
    WORD weight = 0;
    BYTE italic = 0;
    BYTE charset = 0;
    std::string typeface;
    std::vector<DialogItemTemplate> items;
};

// Parses an extended template; nullopt when the bytes are not one (or are cut short).
std::optional<DialogTemplate> parseDialogTemplate(const std::uint8_t* data, std::size_t size);

}  // namespace win32sim

// The terminal front-end's parts: decoding the keyboard's bytes and drawing the screen.
// Both are pure, so that what they do does not depend on a real terminal.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "win32sim/front_end.h"

namespace win32sim::terminal {

// --- Keys ------------------------------------------------------------------------------
enum class TermKey {
    Char, Enter, Escape, Tab, ShiftTab, Space, Backspace,
    Up, Down, Left, Right, AltUp, AltDown, F4, AltF4, F10, CtrlW, CtrlC, Unknown
};

struct KeyPress {
    TermKey key = TermKey::Unknown;
    char ch = 0;  // for Char
};

// Decodes the key at the front of `bytes`. Returns how many bytes it took, or 0 when the
// bytes so far may be the start of a longer sequence (with `final`, nothing more is coming:
// a lone ESC is then the Escape key).
std::size_t decodeKey(const std::string& bytes, bool final, KeyPress& key);

// --- Screen ----------------------------------------------------------------------------
struct ScreenState {
    std::optional<DialogView> dialog;
    std::vector<MessageBoxView> boxes;          // oldest first; the last one has the keyboard
    std::map<int, std::size_t> focusedButton;  // per box id: index into its buttons
};

// The whole screen for a terminal of the given size: ANSI text that starts at the top left
// corner and paints every cell.
std::string renderScreen(const ScreenState& state, int width, int height);

// Plain text of the same screen, one string per row (for checks).
std::vector<std::string> renderText(const ScreenState& state, int width, int height);

std::string buttonLabel(int id);  // "OK", "Cancel", ...

}  // namespace win32sim::terminal

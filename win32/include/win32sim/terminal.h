// The terminal front-end: the dialog and its message boxes drawn in the terminal (alternate
// screen, ANSI escapes), the keyboard as the user's input.
//
// Keys: Tab / Shift+Tab move the focus; Enter presses the focused (or default) button;
// Space presses the focused button; Esc is Cancel; Up/Down move through a combo box's list;
// Alt+Down or F4 opens and closes the list; letters, digits and Backspace edit the list's
// field; Ctrl+W, F10 or Alt+F4 is the caption's close command; Ctrl+C quits at once.
// In a message box: Tab, Left/Right choose a button, Enter/Space press it, Esc cancels.
#pragma once

#include <functional>

namespace win32sim::terminal {

// Sets up the terminal, attaches the front-end, runs `program` (WinMain) on the calling
// thread, then restores the terminal (also on Ctrl+C or a terminating signal, which end
// the process) and returns the program's exit code. Needs a terminal on stdin and stdout:
// without one it says so on stderr and returns 2 without running the program.
int run(const std::function<int()>& program);

}  // namespace win32sim::terminal

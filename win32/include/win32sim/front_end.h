// The stand-in's user interface as a front-end sees it: the dialog and the message boxes
// on show, snapshots of their state, and the user's input. The scripted user (tests) and
// the terminal front-end (interactive runs) are built on it.
//
// A dialog is on show from the end of its WM_INITDIALOG until EndDialog. Message boxes wait
// for an answer only while a front-end is attached; without one they answer IDOK at once.
#pragma once

#include <windows.h>

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "message_boxes.h"

namespace win32sim {

class FrontEnd {
public:
    virtual ~FrontEnd() = default;
    // Something on show changed (a window's state, a box opened or closed). Called on any
    // thread with the stand-in's lock held: note it and return, never call back from here.
    virtual void changed() = 0;
};

// One front-end at a time: attaching fails while another one is attached.
bool attachFrontEnd(FrontEnd* frontEnd);
// Detaching answers the boxes still open with their default button.
void detachFrontEnd(FrontEnd* frontEnd);
bool frontEndAttached();

// --- Snapshots -------------------------------------------------------------------------
struct ControlView {
    HWND hwnd = nullptr;
    int id = 0;
    std::string className;  // as the template names it ("Button", "msctls_progress32", ...)
    DWORD style = 0;
    short x = 0, y = 0, cx = 0, cy = 0;  // dialog units, as in the template
    std::string text;                    // a combo box's: its edit field
    bool enabled = true;
    bool visible = true;
    bool isDefault = false;  // the dialog's default push button
    // Combo box
    std::vector<std::string> entries;
    int selection = CB_ERR;
    bool dropped = false;  // list open
    // Progress bar
    int low = 0, high = 0, pos = 0;
    std::vector<int> history;  // every PBM_SETPOS position received, in order
    // Static with SS_BITMAP
    std::optional<WORD> imageId;
};

struct DialogView {
    HWND hwnd = nullptr;
    std::string caption;
    DWORD style = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    bool enabled = true;
    bool ended = false;  // EndDialog was called
    int focusId = 0;     // control with the focus, 0 if none
    std::vector<ControlView> controls;  // in template order

    const ControlView* control(int id) const;
};

// The dialog on show now (most recently shown, not ended), if any.
std::optional<DialogView> shownDialog();
// Any dialog that still exists, on show or not.
std::optional<DialogView> viewDialog(HWND dialog);

// A counter that grows with every change on show; waits are bounded in real time.
std::uint64_t changeCount();
// Returns once the count differs from `seen` (true) or after the timeout (false).
bool waitForChange(std::uint64_t seen, std::chrono::milliseconds timeout);

// --- Message boxes ---------------------------------------------------------------------
struct MessageBoxView {
    int id = 0;  // unique per box
    MessageBoxInfo info;
    std::vector<int> buttons;  // IDOK, IDCANCEL, ... left to right
    int defaultButton = IDOK;
};

// Boxes waiting for an answer, oldest first.
std::vector<MessageBoxView> shownMessageBoxes();
// Answers a box. A box without the button refuses it, except that IDCANCEL closes a box
// whose only button is OK with IDOK (as Esc does on Windows). False if refused or not open.
bool answerMessageBox(int id, int button);
// Waits until the box has closed: MessageBoxA has re-enabled the owner and is returning.
bool waitForMessageBoxClosed(int id, std::chrono::milliseconds timeout);

// --- Input -----------------------------------------------------------------------------
enum class Key { Enter, Escape, Tab, ShiftTab, Space, Up, Down, AltUp, AltDown, Backspace, AltF4 };

struct Input {
    enum class Kind { Key, Char, Click, Focus, SelectEntry, CloseCommand };
    Kind kind = Kind::Key;
    Key key = Key::Enter;
    char ch = 0;
    int controlId = 0;
    int index = 0;

    static Input press(Key k) { return {Kind::Key, k, 0, 0, 0}; }
    static Input type(char c) { return {Kind::Char, Key::Enter, c, 0, 0}; }
    static Input click(int id) { return {Kind::Click, Key::Enter, 0, id, 0}; }
    static Input focus(int id) { return {Kind::Focus, Key::Enter, 0, id, 0}; }
    static Input selectEntry(int id, int index) {
        return {Kind::SelectEntry, Key::Enter, 0, id, index};
    }
    static Input closeCommand() { return {Kind::CloseCommand, Key::Enter, 0, 0, 0}; }
};

// Hands input to the dialog's thread, where it is handled as the user's: ignored while the
// dialog is disabled or not on show, or when it targets a disabled control. With a wait,
// returns once the dialog thread has handled it (or has opened a message box while doing
// so); false if the dialog is gone or the wait ran out. Without one, returns at once.
bool deliverInput(HWND dialog, const Input& input,
                  std::chrono::milliseconds wait = std::chrono::milliseconds(0));

}  // namespace win32sim

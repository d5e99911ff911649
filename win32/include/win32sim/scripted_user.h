// The scripted user: the test front-end of the stand-in's user interface. While one is
// alive, dialogs and message boxes are shown to it, and it acts as a person at the screen
// would. Input goes to the dialog thread like real input and is ignored where Windows
// ignores it (a disabled control, a dialog disabled by a modal message box). Every wait is
// bounded in real time, so a test that goes wrong fails instead of hanging.
#pragma once

#include <windows.h>

#include <chrono>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "front_end.h"
#include "message_boxes.h"

namespace win32sim {

class ScriptedUser {
public:
    using Duration = std::chrono::milliseconds;
    static constexpr Duration kWait{10000};

    ScriptedUser();   // attaches as the front-end
    ~ScriptedUser();  // detaches; boxes still open are answered with IDOK
    ScriptedUser(const ScriptedUser&) = delete;
    ScriptedUser& operator=(const ScriptedUser&) = delete;

    // --- The dialog --------------------------------------------------------------------
    // Waits until a dialog is shown and its initialisation has run; null on time-out.
    HWND waitForDialog(Duration timeout = kWait);
    HWND dialog() const;      // the dialog shown now, or null
    bool dialogOpen() const;  // shown and not ended yet

    // --- Input (each returns once the dialog thread has handled it) ---------------------
    // Input to the dialog on show; nothing happens without one. "Handled" includes what
    // the dialog thread posted to itself meanwhile, and ends early if handling it brought
    // up a message box or another dialog on that thread.
    void selectEntry(int comboId, int index);                // picks an entry of the list
    // Gives the edit field the focus and types. Coming into the field selects its text, so
    // the field then holds `text`; into a field that has the focus already, it adds to it.
    void typeText(int comboId, const std::string& text);
    void click(int controlId);                               // mouse click
    void focus(int controlId);                               // gives a control the focus
    void pressEnter();
    void pressEscape();
    void pressTab();
    void pressShiftTab();
    void pressSpace();
    void press(Key key);  // any key the dialog manager knows (arrows, Alt+Down, Backspace...)
    void closeFromCaption();  // the caption's close command (also Alt+F4)
    // Asks the dialog whether the session may end (WM_QUERYENDSESSION); its answer.
    bool queryEndSession();

    // --- Reading the dialog's state ------------------------------------------------------
    // Reads see the dialog on show, or after it has ended, its last state (until another
    // dialog is shown or a new ScriptedUser is made). Controls that do not exist read as
    // disabled, empty, CB_ERR, 0.
    std::string caption() const;
    std::string text(int controlId) const;  // window text (a combo box's: its edit field)
    bool isEnabled(int controlId) const;
    bool dialogEnabled() const;
    int focusedControl() const;  // id of the control with the focus, 0 if none
    std::vector<std::string> entries(int comboId) const;
    int selection(int comboId) const;  // CB_ERR when none
    std::string editText(int comboId) const;
    int progressPos(int progressId) const;
    std::pair<int, int> progressRange(int progressId) const;
    std::vector<int> progressHistory(int progressId) const;  // every position set, in order
    std::optional<DialogView> view() const;                  // all of it at once

    // --- Message boxes -------------------------------------------------------------------
    // Waits for the next box not yet answered; nullopt on time-out.
    std::optional<MessageBoxInfo> waitForMessageBox(Duration timeout = kWait);
    // Answers the oldest open box with a button (IDOK, IDCANCEL, ...), waiting for one to
    // open if none is, and returns once the box has closed (its owner enabled again).
    // False when no box opened in time or the box has no such button.
    bool answerMessageBox(int button = IDOK);
    // Waits for a box, checks nothing, answers it with IDOK and returns it.
    std::optional<MessageBoxInfo> acknowledgeMessageBox(Duration timeout = kWait);
    int openMessageBoxes() const;
};

}  // namespace win32sim

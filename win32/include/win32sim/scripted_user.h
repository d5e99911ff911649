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
    void selectEntry(int comboId, int index);                // picks an entry of the list
    void typeText(int comboId, const std::string& text);     // types into the edit field
    void click(int controlId);                               // mouse click
    void focus(int controlId);                               // gives a control the focus
    void pressEnter();
    void pressEscape();
    void pressTab();
    void closeFromCaption();  // the caption's close command (also Alt+F4)
    // Asks the dialog whether the session may end (WM_QUERYENDSESSION); its answer.
    bool queryEndSession();

    // --- Reading the dialog's state ------------------------------------------------------
    bool isEnabled(int controlId) const;
    bool dialogEnabled() const;
    int focusedControl() const;  // id of the control with the focus, 0 if none
    std::vector<std::string> entries(int comboId) const;
    int selection(int comboId) const;  // CB_ERR when none
    std::string editText(int comboId) const;
    int progressPos(int progressId) const;
    std::pair<int, int> progressRange(int progressId) const;
    std::vector<int> progressHistory(int progressId) const;  // every position set, in order

    // --- Message boxes -------------------------------------------------------------------
    // Waits for the next box not yet answered; nullopt on time-out.
    std::optional<MessageBoxInfo> waitForMessageBox(Duration timeout = kWait);
    // Answers the oldest open box with a button (IDOK, IDCANCEL, ...).
    void answerMessageBox(int button = IDOK);
    // Waits for a box, checks nothing, answers it with IDOK and returns it.
    std::optional<MessageBoxInfo> acknowledgeMessageBox(Duration timeout = kWait);
    int openMessageBoxes() const;
};

}  // namespace win32sim

// Dialogs from template data, for tests that build their own dialog, and the window
// classes' registration state.
#pragma once

#include <windows.h>

#include <cstddef>

#include "dialog_template.h"

namespace win32sim {

// DialogBoxParamA after the template has been loaded and parsed: creates the dialog and its
// controls, runs it modally on the calling thread and returns EndDialog's result, or -1
// when a window class is unknown (or the progress class not registered yet).
INT_PTR dialogBoxFromTemplate(const DialogTemplate& dialogTemplate, HWND owner, DLGPROC proc,
                              LPARAM initParam);

// Messages sent or posted to the thread owning a window, not handled yet (0 for an invalid
// window): lets a test know that a sender is really waiting.
std::size_t queuedMessages(HWND window);

// Forgets InitCommonControlsEx: the progress class is unknown again until the next call.
void resetCommonControls();
bool progressClassRegistered();

}  // namespace win32sim

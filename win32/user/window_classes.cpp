// The window classes a dialog template can name: the predefined controls, and the progress
// bar once InitCommonControlsEx has registered it.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <atomic>
#include <cctype>

#include "user_internal.h"
#include "win32sim/dialogs.h"

namespace win32sim {
namespace {
std::atomic<bool> g_progressRegistered{false};
}

void resetCommonControls() { g_progressRegistered = false; }
bool progressClassRegistered() { return g_progressRegistered; }

}  // namespace win32sim

namespace win32sim::user {

std::optional<Kind> classKind(const std::string& className) {
    std::string name = className;
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (name == "button") return Kind::Button;
    if (name == "static") return Kind::Static;
    if (name == "edit") return Kind::Edit;
    if (name == "combobox") return Kind::ComboBox;
    if (name == "msctls_progress32" && progressClassRegistered()) return Kind::Progress;
    // ListBox and ScrollBar are not provided: a template naming them fails to load.
    return std::nullopt;
}

}  // namespace win32sim::user

BOOL WINAPI InitCommonControlsEx(const INITCOMMONCONTROLSEX* picce) {
    if (!picce || picce->dwSize != sizeof(INITCOMMONCONTROLSEX)) return FALSE;
    if (picce->dwICC & ICC_PROGRESS_CLASS) win32sim::g_progressRegistered = true;
    return TRUE;
}

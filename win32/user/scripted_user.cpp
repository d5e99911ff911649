// The scripted user: the front-end tests drive the dialog with.
#include "win32sim/scripted_user.h"

#include "user_internal.h"

namespace win32sim {
namespace {

using namespace user;

class ScriptedFrontEnd final : public FrontEnd {
public:
    void changed() override {}  // the scripted user waits on the change signal itself
};

ScriptedFrontEnd g_scriptedFrontEnd;

HWND dialogOnShowLocked() {
    WindowPtr dlg = latestDialogLocked(true);
    return dlg ? dlg->handle : nullptr;
}

std::optional<DialogView> readViewLocked() {
    if (WindowPtr dlg = latestDialogLocked(false)) return viewLocked(*dlg);
    return lastDialogViewLocked();
}

std::optional<DialogView> readView() {
    Lock lock(userMutex());
    return readViewLocked();
}

std::optional<ControlView> readControl(int id) {
    std::optional<DialogView> view = readView();
    if (!view) return std::nullopt;
    const ControlView* c = view->control(id);
    if (!c) return std::nullopt;
    return *c;
}

void give(const Input& input) {
    HWND dialog;
    {
        Lock lock(userMutex());
        dialog = dialogOnShowLocked();
    }
    if (!dialog || !deliverInput(dialog, input, ScriptedUser::kWait)) return;
    // What the input posted to the dialog thread (the Cancel press after the close command)
    // is handled before the next step too: wait for a no-op queued behind it.
    auto fence = std::make_shared<QueueItem>();
    fence->type = QueueItem::Type::Task;
    fence->hwnd = dialog;
    fence->isInput = true;
    fence->task = [] { return LRESULT(0); };
    sendAndWait(fence, SteadyClock::now() + ScriptedUser::kWait);
}

}  // namespace

ScriptedUser::ScriptedUser() {
    {
        Lock lock(userMutex());
        forgetLastDialogLocked();
    }
    attachFrontEnd(&g_scriptedFrontEnd);
}

ScriptedUser::~ScriptedUser() { detachFrontEnd(&g_scriptedFrontEnd); }

HWND ScriptedUser::waitForDialog(Duration timeout) {
    Lock lock(userMutex());
    changedSignal().wait_for(lock, timeout, [] { return dialogOnShowLocked() != nullptr; });
    return dialogOnShowLocked();
}

HWND ScriptedUser::dialog() const {
    Lock lock(userMutex());
    return dialogOnShowLocked();
}

bool ScriptedUser::dialogOpen() const { return dialog() != nullptr; }

void ScriptedUser::selectEntry(int comboId, int index) { give(Input::selectEntry(comboId, index)); }

void ScriptedUser::typeText(int comboId, const std::string& text) {
    give(Input::focus(comboId));
    if (focusedControl() != comboId) return;  // the field took no focus: nothing to type into
    for (char ch : text) give(Input::type(ch));
}

void ScriptedUser::click(int controlId) { give(Input::click(controlId)); }
void ScriptedUser::focus(int controlId) { give(Input::focus(controlId)); }
void ScriptedUser::pressEnter() { give(Input::press(Key::Enter)); }
void ScriptedUser::pressEscape() { give(Input::press(Key::Escape)); }
void ScriptedUser::pressTab() { give(Input::press(Key::Tab)); }
void ScriptedUser::pressShiftTab() { give(Input::press(Key::ShiftTab)); }
void ScriptedUser::pressSpace() { give(Input::press(Key::Space)); }
void ScriptedUser::press(Key key) { give(Input::press(key)); }
void ScriptedUser::closeFromCaption() { give(Input::closeCommand()); }

bool ScriptedUser::queryEndSession() {
    HWND dialog = this->dialog();
    if (!dialog) return true;  // nothing on show objects
    std::optional<LRESULT> answer = sendMessageUntil(dialog, WM_QUERYENDSESSION, 0, 0,
                                                     SteadyClock::now() + kWait);
    return !answer || *answer != 0;
}

std::string ScriptedUser::caption() const {
    std::optional<DialogView> view = readView();
    return view ? view->caption : std::string();
}

std::string ScriptedUser::text(int controlId) const {
    std::optional<ControlView> c = readControl(controlId);
    return c ? c->text : std::string();
}

bool ScriptedUser::isEnabled(int controlId) const {
    std::optional<ControlView> c = readControl(controlId);
    return c && c->enabled;
}

bool ScriptedUser::dialogEnabled() const {
    std::optional<DialogView> view = readView();
    return view && view->enabled;
}

int ScriptedUser::focusedControl() const {
    std::optional<DialogView> view = readView();
    return view ? view->focusId : 0;
}

std::vector<std::string> ScriptedUser::entries(int comboId) const {
    std::optional<ControlView> c = readControl(comboId);
    return c ? c->entries : std::vector<std::string>();
}

int ScriptedUser::selection(int comboId) const {
    std::optional<ControlView> c = readControl(comboId);
    return c ? c->selection : CB_ERR;
}

std::string ScriptedUser::editText(int comboId) const { return text(comboId); }

int ScriptedUser::progressPos(int progressId) const {
    std::optional<ControlView> c = readControl(progressId);
    return c ? c->pos : 0;
}

std::pair<int, int> ScriptedUser::progressRange(int progressId) const {
    std::optional<ControlView> c = readControl(progressId);
    return c ? std::make_pair(c->low, c->high) : std::make_pair(0, 0);
}

std::vector<int> ScriptedUser::progressHistory(int progressId) const {
    std::optional<ControlView> c = readControl(progressId);
    return c ? c->history : std::vector<int>();
}

std::optional<DialogView> ScriptedUser::view() const { return readView(); }

std::optional<MessageBoxInfo> ScriptedUser::waitForMessageBox(Duration timeout) {
    Lock lock(userMutex());
    changedSignal().wait_for(lock, timeout, [] { return oldestOpenBoxLocked().has_value(); });
    std::optional<MessageBoxView> box = oldestOpenBoxLocked();
    if (!box) return std::nullopt;
    return box->info;
}

bool ScriptedUser::answerMessageBox(int button) {
    std::optional<MessageBoxView> box;
    {
        Lock lock(userMutex());
        changedSignal().wait_for(lock, kWait, [] { return oldestOpenBoxLocked().has_value(); });
        box = oldestOpenBoxLocked();
    }
    if (!box || !win32sim::answerMessageBox(box->id, button)) return false;
    return waitForMessageBoxClosed(box->id, kWait);
}

std::optional<MessageBoxInfo> ScriptedUser::acknowledgeMessageBox(Duration timeout) {
    std::optional<MessageBoxView> box;
    {
        Lock lock(userMutex());
        changedSignal().wait_for(lock, timeout, [] { return oldestOpenBoxLocked().has_value(); });
        box = oldestOpenBoxLocked();
    }
    if (!box) return std::nullopt;
    // A box without OK takes its default button.
    if (win32sim::answerMessageBox(box->id, IDOK) ||
        win32sim::answerMessageBox(box->id, box->defaultButton))
        waitForMessageBoxClosed(box->id, kWait);
    return box->info;
}

int ScriptedUser::openMessageBoxes() const {
    Lock lock(userMutex());
    return static_cast<int>(openBoxCountLocked());
}

}  // namespace win32sim

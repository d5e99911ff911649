// The terminal front-end at work: raw keyboard, the alternate screen, a thread that redraws
// whenever something on show changes and a thread that turns keys into the user's input.
#include "win32sim/terminal.h"

#include <errno.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cctype>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <thread>

#include "terminal_internal.h"

namespace win32sim::terminal {
namespace {

using namespace std::chrono_literals;

const char kEnterScreen[] = "\x1b[?1049h\x1b[?25l\x1b[H\x1b[2J";
const char kLeaveScreen[] = "\x1b[0m\x1b[?25h\x1b[?1049l";

termios g_savedTermios;

void writeAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        ssize_t written = ::write(fd, data, size);
        if (written < 0) {
            if (errno == EINTR) continue;
            return;
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
}

// Only async-signal-safe calls: it also runs in the signal handler.
void restoreTerminal() {
    writeAll(STDOUT_FILENO, kLeaveScreen, sizeof(kLeaveScreen) - 1);
    tcsetattr(STDIN_FILENO, TCSAFLUSH, &g_savedTermios);
}

extern "C" void onTerminatingSignal(int signal) {
    restoreTerminal();
    _exit(128 + signal);
}

const int kSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

void installSignalHandlers(bool install) {
    struct sigaction action {};
    action.sa_handler = install ? onTerminatingSignal : SIG_DFL;
    sigemptyset(&action.sa_mask);
    for (int signal : kSignals) sigaction(signal, &action, nullptr);
}

std::pair<int, int> terminalSize() {
    winsize size{};
    if (ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0 && size.ws_row > 0)
        return {size.ws_col, size.ws_row};
    return {80, 24};
}

class TerminalScreen final : public FrontEnd {
public:
    TerminalScreen() {
        if (pipe(wakePipe_) != 0) wakePipe_[0] = wakePipe_[1] = -1;
    }
    ~TerminalScreen() override {
        for (int fd : wakePipe_)
            if (fd >= 0) close(fd);
    }
    TerminalScreen(const TerminalScreen&) = delete;
    TerminalScreen& operator=(const TerminalScreen&) = delete;

    void changed() override {
        std::lock_guard<std::mutex> lock(mutex_);
        dirty_ = true;
        wake_.notify_all();
    }

    void start() {
        renderThread_ = std::thread([this] { renderLoop(); });
        inputThread_ = std::thread([this] { inputLoop(); });
    }

    void stop() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            quit_ = true;
            wake_.notify_all();
        }
        if (wakePipe_[1] >= 0) writeAll(wakePipe_[1], "q", 1);
        if (renderThread_.joinable()) renderThread_.join();
        if (inputThread_.joinable()) inputThread_.join();
    }

private:
    std::size_t focusedButton(const MessageBoxView& box) {
        std::lock_guard<std::mutex> lock(mutex_);
        auto it = focusedButtons_.find(box.id);
        if (it != focusedButtons_.end()) return it->second;
        for (std::size_t i = 0; i < box.buttons.size(); ++i)
            if (box.buttons[i] == box.defaultButton) return i;
        return 0;
    }

    void setFocusedButton(int boxId, std::size_t index) {
        std::lock_guard<std::mutex> lock(mutex_);
        focusedButtons_[boxId] = index;
        dirty_ = true;
        wake_.notify_all();
    }

    void renderLoop() {
        std::pair<int, int> lastSize{0, 0};
        for (;;) {
            {
                std::unique_lock<std::mutex> lock(mutex_);
                wake_.wait_for(lock, 200ms, [this] { return dirty_ || quit_; });
                if (quit_) return;
                std::pair<int, int> size = terminalSize();
                if (!dirty_ && size == lastSize) continue;
                dirty_ = false;
            }
            ScreenState state;
            state.dialog = shownDialog();
            state.boxes = shownMessageBoxes();
            for (const MessageBoxView& box : state.boxes)
                state.focusedButton[box.id] = focusedButton(box);
            std::pair<int, int> size = terminalSize();
            std::string frame;
            if (size != lastSize) frame = "\x1b[2J";
            lastSize = size;
            frame += renderScreen(state, size.first, size.second);
            writeAll(STDOUT_FILENO, frame.data(), frame.size());
            std::this_thread::sleep_for(15ms);  // lets a burst of changes make one frame
        }
    }

    void inputLoop() {
        std::string pending;
        for (;;) {
            pollfd fds[2] = {{STDIN_FILENO, POLLIN, 0}, {wakePipe_[0], POLLIN, 0}};
            // An incomplete escape sequence gets a moment to complete.
            int ready = poll(fds, 2, pending.empty() ? -1 : 30);
            if (ready < 0) {
                if (errno == EINTR) continue;
                return;
            }
            if (fds[1].revents) return;
            bool final = ready == 0;
            if (fds[0].revents & POLLIN) {
                char buffer[64];
                ssize_t n = read(STDIN_FILENO, buffer, sizeof(buffer));
                if (n <= 0) return;
                pending.append(buffer, static_cast<std::size_t>(n));
            } else if (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) {
                return;
            }
            while (!pending.empty()) {
                KeyPress key;
                std::size_t used = decodeKey(pending, final, key);
                if (used == 0) break;
                pending.erase(0, used);
                handleKey(key);
            }
        }
    }

    void handleKey(const KeyPress& key) {
        if (key.key == TermKey::CtrlC) {
            restoreTerminal();
            _exit(130);
        }
        std::vector<MessageBoxView> boxes = shownMessageBoxes();
        if (!boxes.empty()) {
            handleBoxKey(boxes.back(), key);  // the newest box is the active window
            return;
        }
        std::optional<DialogView> dialog = shownDialog();
        if (!dialog) return;
        std::optional<Input> input;
        switch (key.key) {
        case TermKey::Char: input = Input::type(key.ch); break;
        case TermKey::Enter: input = Input::press(Key::Enter); break;
        case TermKey::Escape: input = Input::press(Key::Escape); break;
        case TermKey::Tab: input = Input::press(Key::Tab); break;
        case TermKey::ShiftTab: input = Input::press(Key::ShiftTab); break;
        case TermKey::Space: input = Input::press(Key::Space); break;
        case TermKey::Backspace: input = Input::press(Key::Backspace); break;
        case TermKey::Up: input = Input::press(Key::Up); break;
        case TermKey::Down: input = Input::press(Key::Down); break;
        case TermKey::AltUp: input = Input::press(Key::AltUp); break;
        case TermKey::AltDown:
        case TermKey::F4: input = Input::press(Key::AltDown); break;
        case TermKey::CtrlW:
        case TermKey::F10:
        case TermKey::AltF4: input = Input::closeCommand(); break;
        default: break;
        }
        if (input) deliverInput(dialog->hwnd, *input);
    }

    void handleBoxKey(const MessageBoxView& box, const KeyPress& key) {
        const std::size_t count = box.buttons.size();
        std::size_t focused = focusedButton(box);
        switch (key.key) {
        case TermKey::Tab:
        case TermKey::Right:
        case TermKey::Down: setFocusedButton(box.id, (focused + 1) % count); return;
        case TermKey::ShiftTab:
        case TermKey::Left:
        case TermKey::Up: setFocusedButton(box.id, (focused + count - 1) % count); return;
        case TermKey::Enter:
        case TermKey::Space: answerMessageBox(box.id, box.buttons[focused]); return;
        case TermKey::Escape:
        case TermKey::CtrlW:
        case TermKey::F10:
        case TermKey::AltF4: answerMessageBox(box.id, IDCANCEL); return;  // refused without one
        case TermKey::Char:
            // A button's first letter presses it.
            for (int button : box.buttons) {
                std::string label = buttonLabel(button);
                if (std::tolower(static_cast<unsigned char>(label[0])) ==
                    std::tolower(static_cast<unsigned char>(key.ch))) {
                    answerMessageBox(box.id, button);
                    return;
                }
            }
            return;
        default: return;
        }
    }

    std::mutex mutex_;
    std::condition_variable wake_;
    bool dirty_ = true;
    bool quit_ = false;
    std::map<int, std::size_t> focusedButtons_;
    int wakePipe_[2] = {-1, -1};
    std::thread renderThread_;
    std::thread inputThread_;
};

}  // namespace

int run(const std::function<int()>& program) {
    if (!isatty(STDIN_FILENO) || !isatty(STDOUT_FILENO) ||
        tcgetattr(STDIN_FILENO, &g_savedTermios) != 0) {
        std::fprintf(stderr, "The dialog needs a terminal on standard input and output.\n");
        return 2;
    }
    TerminalScreen screen;
    if (!attachFrontEnd(&screen)) {
        std::fprintf(stderr, "Another front-end is attached already.\n");
        return 2;
    }

    termios raw = g_savedTermios;
    raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO | ISIG | IEXTEN);
    raw.c_iflag &= ~static_cast<tcflag_t>(IXON | ICRNL | BRKINT | INPCK | ISTRIP);
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    installSignalHandlers(true);
    tcsetattr(STDIN_FILENO, TCSAFLUSH, &raw);
    writeAll(STDOUT_FILENO, kEnterScreen, sizeof(kEnterScreen) - 1);

    screen.start();
    int code = program();
    screen.stop();
    detachFrontEnd(&screen);

    restoreTerminal();
    installSignalHandlers(false);
    return code;
}

}  // namespace win32sim::terminal

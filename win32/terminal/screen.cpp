// Drawing the dialog and its message boxes as text. Dialog units map to character cells as
// Windows maps them to a font's average character: 4 units across, 8 units down per cell.
#include <windows.h>

#include <algorithm>
#include <cctype>

#include "terminal_internal.h"

namespace win32sim::terminal {
namespace {

enum Attr : std::uint8_t { kPlain = 0, kBold = 1, kDim = 2, kReverse = 4 };

struct Cell {
    const char* glyph = " ";  // one column wide; string literals only
    char ch = ' ';            // used when glyph is null
    std::uint8_t attr = kPlain;
};

class Canvas {
public:
    Canvas(int width, int height)
        : width_(std::max(width, 1)), height_(std::max(height, 1)),
          cells_(static_cast<std::size_t>(width_ * height_)) {}

    int width() const { return width_; }
    int height() const { return height_; }

    void put(int x, int y, const char* glyph, std::uint8_t attr) {
        if (Cell* c = at(x, y)) *c = Cell{glyph, ' ', attr};
    }
    void text(int x, int y, const std::string& s, std::uint8_t attr, int maxWidth = 1 << 20) {
        for (int i = 0; i < static_cast<int>(s.size()) && i < maxWidth; ++i) {
            char ch = s[static_cast<std::size_t>(i)];
            if (ch < ' ' || ch > '~') ch = '?';  // only plain ASCII reaches the terminal
            if (Cell* c = at(x + i, y)) *c = Cell{nullptr, ch, attr};
        }
    }
    void fill(int x, int y, int w, int h, std::uint8_t attr) {
        for (int row = y; row < y + h; ++row)
            for (int col = x; col < x + w; ++col) put(col, row, " ", attr);
    }
    void frame(int x, int y, int w, int h, std::uint8_t attr) {
        fill(x, y, w, h, kPlain);
        for (int col = x + 1; col < x + w - 1; ++col) {
            put(col, y, "\u2500", attr);
            put(col, y + h - 1, "\u2500", attr);
        }
        for (int row = y + 1; row < y + h - 1; ++row) {
            put(x, row, "\u2502", attr);
            put(x + w - 1, row, "\u2502", attr);
        }
        put(x, y, "\u250c", attr);
        put(x + w - 1, y, "\u2510", attr);
        put(x, y + h - 1, "\u2514", attr);
        put(x + w - 1, y + h - 1, "\u2518", attr);
    }

    std::string ansi() const {
        std::string out = "\x1b[H\x1b[0m";
        std::uint8_t current = kPlain;
        for (int y = 0; y < height_; ++y) {
            if (y) out += "\r\n";
            for (int x = 0; x < width_; ++x) {
                const Cell& c = cells_[static_cast<std::size_t>(y * width_ + x)];
                if (c.attr != current) {
                    out += "\x1b[0";
                    if (c.attr & kBold) out += ";1";
                    if (c.attr & kDim) out += ";2";
                    if (c.attr & kReverse) out += ";7";
                    out += 'm';
                    current = c.attr;
                }
                if (c.glyph)
                    out += c.glyph;
                else
                    out += c.ch;
            }
        }
        out += "\x1b[0m";
        return out;
    }

    std::vector<std::string> rows() const {
        std::vector<std::string> result;
        for (int y = 0; y < height_; ++y) {
            std::string row;
            for (int x = 0; x < width_; ++x) {
                const Cell& c = cells_[static_cast<std::size_t>(y * width_ + x)];
                if (c.glyph)
                    row += c.glyph;
                else
                    row += c.ch;
            }
            result.push_back(row);
        }
        return result;
    }

private:
    Cell* at(int x, int y) {
        if (x < 0 || y < 0 || x >= width_ || y >= height_) return nullptr;
        return &cells_[static_cast<std::size_t>(y * width_ + x)];
    }

    int width_, height_;
    std::vector<Cell> cells_;
};

int cols(int dialogUnits) { return (dialogUnits + 3) / 4; }
int rows(int dialogUnits) { return (dialogUnits + 7) / 8; }

std::uint8_t controlAttr(const ControlView& c, bool focused) {
    if (!c.enabled) return kDim;
    return focused ? kReverse : kPlain;
}

std::string centred(const std::string& s, int width) {
    int pad = std::max(0, width - static_cast<int>(s.size()));
    return std::string(static_cast<std::size_t>(pad / 2), ' ') + s +
           std::string(static_cast<std::size_t>(pad - pad / 2), ' ');
}

struct Placed {
    int x, y;  // screen cell of the control's top left corner
};

// An edit field, with the arrow of a combo box's list.
void drawField(Canvas& canvas, const ControlView& c, Placed at, bool focused, bool arrow) {
    int width = std::max(8, cols(c.cx));
    std::uint8_t attr = controlAttr(c, focused);
    canvas.text(at.x, at.y, std::string(static_cast<std::size_t>(width), ' '), attr);
    canvas.text(at.x, at.y, c.text, attr, width - 2);
    if (arrow)
        canvas.put(at.x + width - 1, at.y, c.dropped ? "\u25b2" : "\u25bc",
                   c.enabled ? kBold : kDim);
}

void drawDroppedList(Canvas& canvas, const ControlView& c, Placed at) {
    int width = std::max(8, cols(c.cx));
    const int count = static_cast<int>(c.entries.size());
    const int visible = std::max(1, std::min(count, 8));
    int first = std::clamp(c.selection - visible + 1, 0, std::max(0, count - visible));
    canvas.frame(at.x - 1, at.y + 1, width + 2, visible + 2, kPlain);
    if (count == 0) canvas.text(at.x, at.y + 2, "(empty)", kDim);
    for (int i = 0; i < visible && first + i < count; ++i) {
        int index = first + i;
        std::uint8_t attr = index == c.selection ? kReverse : kPlain;
        canvas.text(at.x, at.y + 2 + i, std::string(static_cast<std::size_t>(width), ' '), attr);
        canvas.text(at.x, at.y + 2 + i, c.entries[static_cast<std::size_t>(index)], attr, width);
    }
}

void drawProgress(Canvas& canvas, const ControlView& c, Placed at) {
    int barWidth = std::max(10, cols(c.cx) - 7);
    int span = c.high - c.low;
    int percent = span > 0 ? (c.pos - c.low) * 100 / span : 0;
    int filled = span > 0 ? (c.pos - c.low) * barWidth / span : 0;
    canvas.put(at.x, at.y, "[", kPlain);
    for (int i = 0; i < barWidth; ++i)
        canvas.put(at.x + 1 + i, at.y, i < filled ? "\u2588" : "\u2591", kPlain);
    canvas.put(at.x + 1 + barWidth, at.y, "]", kPlain);
    std::string label = std::to_string(percent) + "%";
    label.insert(0, 4 - std::min<std::size_t>(4, label.size()), ' ');
    canvas.text(at.x + barWidth + 3, at.y, label, kBold);
}

void drawButton(Canvas& canvas, const ControlView& c, Placed at, bool focused) {
    std::string label = "[ " + c.text + " ]";
    std::uint8_t attr = controlAttr(c, focused);
    if (c.isDefault && c.enabled) attr |= kBold;
    // Centred on the button; a label wider than the button may overhang it by a column.
    int x = at.x + (cols(c.cx) - static_cast<int>(label.size())) / 2;
    canvas.text(std::max(at.x - 1, x), at.y, label, attr);
}

void drawDialog(Canvas& canvas, const DialogView& dlg, int statusRows) {
    const int innerW = std::max(cols(dlg.cx), 20);
    const int innerH = std::max(rows(dlg.cy), 3);
    const int w = innerW + 2, h = innerH + 2;
    const int x0 = std::max(0, (canvas.width() - w) / 2);
    const int y0 = std::max(0, (canvas.height() - statusRows - h) / 2);
    const std::uint8_t frameAttr = dlg.enabled ? kPlain : kDim;
    canvas.frame(x0, y0, w, h, frameAttr);

    // The title bar: the caption, and the close mark with a system menu.
    std::string caption = " " + dlg.caption + " ";
    canvas.text(x0 + 2, y0, caption, frameAttr | kBold, innerW - 5);
    if (dlg.style & WS_SYSMENU) canvas.text(x0 + w - 5, y0, "[x]", frameAttr | kBold);

    const ControlView* dropped = nullptr;
    Placed droppedAt{0, 0};
    for (const ControlView& c : dlg.controls) {
        if (!c.visible) continue;
        bool focused = dlg.focusId != 0 && c.id == dlg.focusId;
        std::string kind = c.className;
        for (char& ch : kind) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
        int rowSpan = kind == "combobox" ? 12 : c.cy;  // a combo's height includes its list
        Placed at{x0 + 1 + c.x / 4, y0 + 1 + (c.y + rowSpan / 2) / 8};
        if (kind == "combobox" || kind == "edit") {
            drawField(canvas, c, at, focused, kind == "combobox");
            if (c.dropped) {
                dropped = &c;
                droppedAt = at;
            }
        } else if (kind == "msctls_progress32") {
            drawProgress(canvas, c, at);
        } else if (kind == "button") {
            drawButton(canvas, c, at, focused);
        } else if (kind == "static") {
            std::string text = c.imageId ? "[ZELT]" : c.text;
            canvas.text(at.x, at.y, text, c.imageId ? (kBold | kReverse) : kPlain, cols(c.cx));
        }
    }
    if (dropped) drawDroppedList(canvas, *dropped, droppedAt);
}

std::vector<std::string> wrap(const std::string& text, std::size_t width) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find('\n', start);
        std::size_t length = end == std::string::npos ? std::string::npos : end - start;
        std::string para = text.substr(start, length);
        if (!para.empty() && para.back() == '\r') para.pop_back();
        while (para.size() > width) {
            std::size_t cut = para.rfind(' ', width);
            if (cut == std::string::npos || cut == 0) cut = width;
            lines.push_back(para.substr(0, cut));
            para.erase(0, cut == width ? cut : cut + 1);
        }
        lines.push_back(para);
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return lines;
}

const char* iconMark(UINT style) {
    switch (style & MB_ICONMASK) {
    case MB_ICONHAND: return "(x)";
    case MB_ICONQUESTION: return "(?)";
    case MB_ICONEXCLAMATION: return "(!)";
    case MB_ICONASTERISK: return "(i)";
    default: return nullptr;
    }
}

void drawBox(Canvas& canvas, const MessageBoxView& box, std::size_t focused, int offset,
             int statusRows) {
    const int maxText = std::max(20, std::min(60, canvas.width() - 14));
    std::vector<std::string> lines = wrap(box.info.text, static_cast<std::size_t>(maxText));
    const char* icon = iconMark(box.info.style);
    const int iconWidth = icon ? 5 : 0;
    int textWidth = 0;
    for (const std::string& l : lines) textWidth = std::max(textWidth, static_cast<int>(l.size()));
    std::string buttons;
    std::vector<std::pair<int, std::string>> labels;  // column within the row, label
    for (std::size_t i = 0; i < box.buttons.size(); ++i) {
        if (i) buttons += "  ";
        std::string label = "[ " + centred(buttonLabel(box.buttons[i]), 6) + " ]";
        labels.emplace_back(static_cast<int>(buttons.size()), label);
        buttons += label;
    }
    int innerW = std::max({textWidth + iconWidth, static_cast<int>(buttons.size()),
                           static_cast<int>(box.info.caption.size()) + 4}) + 4;
    innerW = std::min(innerW, canvas.width() - 2);
    const int innerH = static_cast<int>(lines.size()) + 4;
    const int w = innerW + 2, h = innerH + 2;
    const int x0 = std::max(0, (canvas.width() - w) / 2 + offset);
    const int y0 = std::max(0, (canvas.height() - statusRows - h) / 2 + offset);
    canvas.frame(x0, y0, w, h, kBold);
    canvas.text(x0 + 2, y0, " " + box.info.caption + " ", kBold, innerW - 2);
    const int textX = x0 + 3 + iconWidth;
    if (icon) canvas.text(x0 + 3, y0 + 2, icon, kBold);
    for (std::size_t i = 0; i < lines.size(); ++i)
        canvas.text(textX, y0 + 2 + static_cast<int>(i), lines[i], kPlain, innerW - 2 - iconWidth);
    const int buttonsX = x0 + 1 + (innerW - static_cast<int>(buttons.size())) / 2;
    const int buttonsY = y0 + h - 3;
    for (std::size_t i = 0; i < labels.size(); ++i)
        canvas.text(buttonsX + labels[i].first, buttonsY, labels[i].second,
                    i == focused ? kReverse : kPlain);
}

Canvas draw(const ScreenState& state, int width, int height) {
    Canvas canvas(width, height);
    const int statusRows = 1;
    if (state.dialog) drawDialog(canvas, *state.dialog, statusRows);
    for (std::size_t i = 0; i < state.boxes.size(); ++i) {
        const MessageBoxView& box = state.boxes[i];
        auto it = state.focusedButton.find(box.id);
        std::size_t focused = it != state.focusedButton.end() ? it->second : 0;
        drawBox(canvas, box, focused, static_cast<int>(i), statusRows);
    }
    std::string status;
    if (!state.boxes.empty())
        status = " Tab/Left/Right:choose  Enter/Space:press  Esc:cancel  Ctrl+C:quit";
    else if (state.dialog)
        status = " Tab:move  Enter/Space:press  Up/Down/Alt+Down:list  Esc:cancel  "
                 "Ctrl+W/F10:close  Ctrl+C:quit";
    else
        status = " (no window on show)  Ctrl+C:quit";
    canvas.text(0, canvas.height() - 1, status, kDim, canvas.width());
    return canvas;
}

}  // namespace

std::string buttonLabel(int id) {
    switch (id) {
    case IDOK: return "OK";
    case IDCANCEL: return "Cancel";
    case IDABORT: return "Abort";
    case IDRETRY: return "Retry";
    case IDIGNORE: return "Ignore";
    case IDYES: return "Yes";
    case IDNO: return "No";
    default: return "?";
    }
}

std::string renderScreen(const ScreenState& state, int width, int height) {
    return draw(state, width, height).ansi();
}

std::vector<std::string> renderText(const ScreenState& state, int width, int height) {
    return draw(state, width, height).rows();
}

}  // namespace win32sim::terminal

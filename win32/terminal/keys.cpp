// Keyboard bytes as xterm-like terminals (and tmux) send them.
#include <cstring>

#include "terminal_internal.h"

namespace win32sim::terminal {
namespace {

struct Sequence {
    const char* bytes;
    TermKey key;
};

// Longer sequences first where one is a prefix of another.
const Sequence kSequences[] = {
    {"\x1b[1;3A", TermKey::AltUp},
    {"\x1b[1;3B", TermKey::AltDown},
    {"\x1b[1;3S", TermKey::AltF4},
    {"\x1b\x1b[A", TermKey::AltUp},
    {"\x1b\x1b[B", TermKey::AltDown},
    {"\x1b\x1bOS", TermKey::AltF4},
    {"\x1b[21~", TermKey::F10},     {"\x1b[14~", TermKey::F4},       {"\x1b[A", TermKey::Up},
    {"\x1b[B", TermKey::Down},      {"\x1b[C", TermKey::Right},      {"\x1b[D", TermKey::Left},
    {"\x1bOA", TermKey::Up},        {"\x1bOB", TermKey::Down},       {"\x1bOC", TermKey::Right},
    {"\x1bOD", TermKey::Left},      {"\x1bOS", TermKey::F4},         {"\x1b[Z", TermKey::ShiftTab},
};

bool isCsiFinal(char c) { return c >= 0x40 && c <= 0x7e; }

}  // namespace

std::size_t decodeKey(const std::string& bytes, bool final, KeyPress& key) {
    if (bytes.empty()) return 0;
    key = KeyPress{};
    const char first = bytes[0];
    if (first != '\x1b') {
        switch (first) {
        case '\r':
        case '\n': key.key = TermKey::Enter; break;
        case '\t': key.key = TermKey::Tab; break;
        case ' ': key.key = TermKey::Space; break;
        case '\x7f':
        case '\x08': key.key = TermKey::Backspace; break;
        case '\x17': key.key = TermKey::CtrlW; break;
        case '\x03': key.key = TermKey::CtrlC; break;
        default:
            if (first > ' ' && first < '\x7f') {
                key.key = TermKey::Char;
                key.ch = first;
            }
        }
        return 1;
    }
    for (const Sequence& s : kSequences) {
        std::size_t n = std::strlen(s.bytes);
        if (bytes.compare(0, n, s.bytes) == 0) {
            key.key = s.key;
            return n;
        }
        // The start of this sequence: wait for the rest unless nothing more comes.
        if (!final && bytes.size() < n && std::string(s.bytes, bytes.size()) == bytes) return 0;
    }
    if (bytes.size() == 1) {
        if (!final) return 0;
        key.key = TermKey::Escape;
        return 1;
    }
    // Some other CSI or SS3 sequence: skip it whole.
    if (bytes[1] == '[' || bytes[1] == 'O') {
        for (std::size_t i = 2; i < bytes.size(); ++i)
            if (isCsiFinal(bytes[i])) return i + 1;
        if (!final) return 0;
        return bytes.size();
    }
    // ESC followed by another key: Alt with that key, which nothing uses.
    return 2;
}

}  // namespace win32sim::terminal

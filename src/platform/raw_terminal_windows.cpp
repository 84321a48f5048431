#include "platform/raw_terminal.h"

#include <QByteArray>

#include <conio.h>
#include <cstdio>
#include <io.h>
#include <windows.h>

namespace {
constexpr int kEscapeAloneMs = 50;
constexpr int kNapMs = 5;

// The console gives keys, not bytes: wait for one up to `ms`.
bool keyWithin(int ms, int* c) {
    for (int waited = 0;; waited += kNapMs) {
        if (_kbhit()) {
            *c = _getch();
            return true;
        }
        if (waited >= ms)
            return false;
        Sleep(kNapMs);
    }
}
} // namespace

struct RawTerminal::Saved {};

bool RawTerminal::isTerminal() {
    return _isatty(_fileno(stdin)) != 0;
}

// _getch reads one key without echo and without waiting for a line: the console needs no
// mode of its own for that.
RawTerminal::RawTerminal() : m_saved(std::make_unique<Saved>()) {}

RawTerminal::~RawTerminal() = default;

RawTerminal::Press RawTerminal::read(int ms) {
    int c = 0;
    if (!keyWithin(ms, &c))
        return {};
    if (c == '\r' || c == '\n')
        return {Key::Return, 0};
    // Arrow and function keys come as 0 or 0xE0 and a second code: read it and drop both.
    if (c == 0 || c == 0xE0) {
        (void)keyWithin(kEscapeAloneMs, &c);
        return {Key::Other, 0};
    }
    if (c == 0x1b)
        return {Key::Escape, 0};
    return {Key::Other, char(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c)};
}

QString RawTerminal::readLine() {
    QByteArray line;
    for (int c = std::getchar(); c != EOF && c != '\n'; c = std::getchar())
        line += char(c);
    return QString::fromLocal8Bit(line).trimmed();
}

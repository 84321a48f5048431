#include "platform/raw_terminal.h"

#include <QByteArray>

#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {
constexpr int kEscapeAloneMs = 50;

bool byteWithin(int ms, char* c) {
    pollfd p{STDIN_FILENO, POLLIN, 0};
    if (::poll(&p, 1, ms) <= 0)
        return false;
    return ::read(STDIN_FILENO, c, 1) == 1;
}

// Keys one by one, without echo; Ctrl+C still interrupts.
bool makeRaw(const termios& before) {
    termios raw = before;
    raw.c_lflag &= tcflag_t(~(ICANON | ECHO));
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    return ::tcsetattr(STDIN_FILENO, TCSANOW, &raw) == 0;
}
} // namespace

struct RawTerminal::Saved {
    termios before{};
    bool raw = false;
};

bool RawTerminal::isTerminal() {
    return ::isatty(STDIN_FILENO) == 1;
}

RawTerminal::RawTerminal() : m_saved(std::make_unique<Saved>()) {
    if (!isTerminal() || ::tcgetattr(STDIN_FILENO, &m_saved->before) != 0)
        return;
    m_saved->raw = makeRaw(m_saved->before);
}

RawTerminal::~RawTerminal() {
    if (m_saved->raw)
        ::tcsetattr(STDIN_FILENO, TCSANOW, &m_saved->before);
}

RawTerminal::Press RawTerminal::read(int ms) {
    char c = 0;
    if (!byteWithin(ms, &c))
        return {};
    if (c == '\r' || c == '\n')
        return {Key::Return, 0};
    if (c != '\x1b')
        return {Key::Other, char(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c)};
    char more = 0;
    if (!byteWithin(kEscapeAloneMs, &more))
        return {Key::Escape, 0};
    // A sequence: drop the rest of what came with it.
    while (byteWithin(kEscapeAloneMs, &more)) {
    }
    return {Key::Other, 0};
}

QString RawTerminal::readLine() {
    if (m_saved->raw)
        ::tcsetattr(STDIN_FILENO, TCSANOW, &m_saved->before);
    // Byte by byte from the descriptor, as the keys are read: no buffer keeps what follows.
    QByteArray line;
    char c = 0;
    while (::read(STDIN_FILENO, &c, 1) == 1 && c != '\n')
        line += c;
    if (m_saved->raw)
        makeRaw(m_saved->before);
    return QString::fromUtf8(line).trimmed();
}

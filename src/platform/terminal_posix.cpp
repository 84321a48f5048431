#include "platform/terminal.h"

#include <csignal>

#include <unistd.h>

namespace terminal {
bool errorOutputIsTerminal() {
    return ::isatty(STDERR_FILENO) != 0;
}

void reportClosedPipes() {
    std::signal(SIGPIPE, SIG_IGN);
}
} // namespace terminal

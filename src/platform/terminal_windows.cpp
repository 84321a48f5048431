#include "platform/terminal.h"

#include <io.h>

#include <cstdio>

namespace terminal {
bool errorOutputIsTerminal() {
    return _isatty(_fileno(stderr)) != 0;
}

void reportClosedPipes() {
    // A write to a closed pipe already fails here with an error, without a signal.
}
} // namespace terminal

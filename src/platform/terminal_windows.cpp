#include "platform/terminal.h"

#include <io.h>

#include <cstdio>

namespace terminal {
bool errorOutputIsTerminal() {
    return _isatty(_fileno(stderr)) != 0;
}
} // namespace terminal

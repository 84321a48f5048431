#include "platform/terminal.h"

#include <unistd.h>

namespace terminal {
bool errorOutputIsTerminal() {
    return ::isatty(STDERR_FILENO) != 0;
}
} // namespace terminal

#pragma once

// Whether the program's error output goes to a terminal (and a progress line that rewrites
// itself is readable there) or to a file or pipe.
namespace terminal {
bool errorOutputIsTerminal();
} // namespace terminal

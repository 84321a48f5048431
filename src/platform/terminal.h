#pragma once

// Whether the program's error output goes to a terminal (and a progress line that rewrites
// itself is readable there) or to a file or pipe.
namespace terminal {
bool errorOutputIsTerminal();
// A write to a pipe whose reader has gone fails (and is seen) instead of killing the program
// at once, so that the program can say so and end with its own exit status.
void reportClosedPipes();
} // namespace terminal

#pragma once

#include <QString>

// Ctrl+C (SIGINT) or SIGTERM while a file is being written under a temporary name: the
// temporary file takes its own name, and the program ends as the signal would have ended it.
// All of it runs in the signal handler and uses only calls that are safe there.
namespace interrupt_rename {

// From now on a SIGINT or SIGTERM renames `from` to `to` and ends the program (status 130 or
// 143). One pair at a time; a second call replaces the first.
void arm(const QString& from, const QString& to);
// The signals end the program as before and rename nothing.
void disarm();

// While one lives, a signal waits: it is acted on when the last one ends (around a write of
// the file, so that the file is renamed whole).
class Hold {
public:
    Hold();
    ~Hold();
    Hold(const Hold&) = delete;
    Hold& operator=(const Hold&) = delete;
};

} // namespace interrupt_rename

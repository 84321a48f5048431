#pragma once

#include <QString>

#include <memory>

// Things that are not regular files, made at a path for the tests of what the tool refuses to
// write, and a file held open the way a viewer holds a PDF. Each returns false where the
// system has no such thing (FIFOs and devices on Windows; a file that refuses to be replaced
// on Linux).
namespace odd_files {

enum class Kind { LinkTo, Fifo, Device };
// A symbolic link to `target` (which may be missing or the link itself), a FIFO, or a null
// device of its own (never the system's).
bool make(Kind kind, const QString& path, const QString& target = {});
// What stands at the path itself (a link is not followed), to see that nothing changed it.
QString fingerprint(const QString& path);

// Keeps `path` open, sharing only reading, until destroyed; null where no program can hold a
// file against its replacement.
std::shared_ptr<void> holdOpen(const QString& path);

} // namespace odd_files

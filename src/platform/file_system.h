#pragma once

#include "platform/system_error.h"

#include <QByteArray>
#include <QString>

// The record file's and the exports' calls into the file system: what stands at a path,
// whether it may be written, its first bytes, a new file written whole to the disk, the rename
// that puts it in place, and whether another program has a file open.
namespace file_system {

enum class Kind { Missing, File, Folder, Fifo, Device, Socket, Special };

struct PathInfo {
    Kind kind = Kind::Missing;
    // A file that no one is meant to write: no write-permission bit at all, or the read-only
    // attribute.
    bool writeProtected = false;
    // Why nothing could be looked at (kind is Missing); None for a plain missing name.
    SystemError error;
};
// Follows symbolic links.
PathInfo look(const QString& path);

// Whether this process may write `path` (a file or a folder): None, Denied or ReadOnlyDisk.
SystemError writable(const QString& path);

// Up to `size` first bytes of a file, read without waiting on a FIFO a file was swapped for.
SystemError readHead(const QString& path, qint64 size, QByteArray* bytes);

// Creates `path` (it must not exist), writes `bytes` and waits until they are on the disk;
// with the permissions of `permissionsOf` when that file exists. `mode` >= 0: exactly these
// permissions, given before the first byte is written (where the system has such bits).
// Leaves nothing on failure.
SystemError writeNew(const QString& path, const QByteArray& bytes, const QString& permissionsOf,
                     int mode = -1);

// Appends `line` (ending in a line break) to `path` in one write on a file opened for
// appending, so that several programs can add lines at once; a last line that a crash cut
// short gets its own end first. Creates the file. A short write is DiskFull.
SystemError appendLine(const QString& path, QByteArray line);

// Renames `from` over `to` in one step.
SystemError replace(const QString& from, const QString& to);
// Makes the folder entries of files renamed into the folder of `file` durable.
void syncFolderOf(const QString& file);

// Whether another program (or another connection of this one) has the file open in a way
// that says it is writing it: a lock on it, or on Windows any handle that refuses to share.
bool heldByAnother(const QString& path);

} // namespace file_system

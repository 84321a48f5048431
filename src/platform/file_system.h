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

// A new file written whole to the disk, in pieces, for a file too big to hold in memory at
// once: createNew() makes `path` (it must not exist) with the permissions of `permissionsOf`
// when that file exists, or with exactly `mode` when >= 0 (given before the first byte, where
// the system has such bits), and hands back its handle; writePiece() adds bytes; finishNew()
// waits until they are on the disk and closes it; discardNew() closes a handle still open
// (pass -1 for one that is closed) and removes the file.
SystemError createNew(const QString& path, const QString& permissionsOf, int mode, qintptr* handle);
SystemError writePiece(qintptr handle, const char* data, qint64 size);
SystemError finishNew(qintptr handle);
void discardNew(qintptr handle, const QString& path);

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

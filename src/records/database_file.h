#pragma once

#include <functional>

#include <QString>

struct SystemError;

// The record database file and the files written beside it, looked at before SQLite or an
// export touches them, so that a message names the real cause: a folder, a FIFO or a device
// where a file belongs, a symbolic link loop, no permission, an empty file, a file that is not
// SQLite, a full disk, a journal left by a write cut short.
namespace database_file {

// The path as messages show it: absolute, native separators.
QString shown(const QString& path);

// A name a message echoes (a table, a column, whatever the user typed): at most 60 characters,
// cut with "…", so that a huge name never makes a huge message.
QString shortName(const QString& name);
// Every double-quoted run of `message` longer than that, cut the same way.
QString shortenQuoted(const QString& message);

// What a file holds, told by its first bytes.
enum class FileKind {
    Unreadable, // no such file, not a regular file, or it can not be read (see `error`)
    Empty,
    Sqlite,
    SqliteWal, // an SQLite file that an older build left writing ahead into a log
    Access,    // a Microsoft Access (Jet or ACE) database
    Other,
};

// Up to `length` bytes of `path` from its start (the whole file for -1), read through
// SQLite's own file layer. Never through a descriptor of our own: on this system closing any
// descriptor of a file drops every lock the process holds on it, SQLite's included, so a
// look of our own while a connection of this process writes would let another program write
// the same pages. SQLite keeps its descriptor open until its last lock goes. Empty with
// `error` set when the file can not be opened or read.
QByteArray readBytes(const QString& path, qint64 length, QString* error);
// The same, the whole file handed to `take` a block at a time, so that a large file is never
// held; false with `error` set when it can not be read.
bool readBlocks(const QString& path, const std::function<void(QByteArrayView)>& take,
                QString* error);

// The kind of the file at `path`, from its header; `error` says why for Unreadable. Meant for
// the moment before a connection opens the file (a connection reads the header itself), and
// safe at any other moment too.
FileKind fileKind(const QString& path, QString* error = nullptr);

// Why `path` can not be opened as a record database, or empty when it can: it does not
// exist, is not a regular file, can not be read, is empty, or is not an SQLite file.
QString readProblem(const QString& path);
// Throws RecordError with readProblem() when there is one.
void checkReadable(const QString& path);

// Why this process may not write the database `path` and the journal beside it, or empty
// when it may: "... can not be written: the disk is read-only" (the cause, not the mode),
// "... is read-only", "the folder of ... is read-only".
QString writeProblem(const QString& path);
// The same for a file made in `folder` (a backup): "its folder is read-only", ...
QString folderWriteProblem(const QString& folder);

// Why an export may not write `path`, or empty when it may: only a regular file (also through
// a symbolic link) is replaced, only a new name in an existing folder is created. A file
// without any write-permission bit is write-protected and refused, whoever runs the export
// (root may write it, but someone meant it to stay).
QString targetProblem(const QString& path);

// A journal beside the file is the undo record of a write that a crash or a kill cut short.
// SQLite rolls it back on the first read of a connection that may write, but refuses to read
// through a read-only one; so when the file and its folder are writable, this opens the file
// for writing once and lets SQLite roll back, whatever the caller means to do next. It never
// waits for another program (whose live journal is not hot anyway) and fails silently: the
// open that follows reports what is wrong.
void rollBackLeftoverJournal(const QString& path);
// "VELM.mdb has an unfinished write (VELM.mdb-journal): open it once with write permission to
// roll it back" (absolute paths), for a file that can not be rolled back now.
QString unfinishedWrite(const QString& path);
// Whether an extended SQLite result code says so: a journal could not be rolled back because
// the connection may not write.
bool isUnfinishedWrite(int sqliteCode);

// "disk full" with the place that has no room; for SQLITE_FULL and a full disk alike.
QString diskFull(const QString& path);
// What a failed write of `path` means: "disk full ...", "permission denied", "open in another
// program" ...
QString writeError(const SystemError& error, const QString& path);

} // namespace database_file

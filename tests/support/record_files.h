#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantList>

#include <functional>

// Looking at a record database file from outside the tool, as a technician's copy, a backup
// or another program would.
namespace record_files {

// The whole file; "(unreadable)" when it cannot be read, "(not a file)" for a folder, a FIFO
// (never waiting for a writer) and the like.
QByteArray bytes(const QString& file);
// Which of SQLite's companions ("-journal", "-wal", "-shm") lie beside the file.
QStringList sideFiles(const QString& file);
// The first value of `sql` run on the file through a connection of its own (which also rolls
// back a journal that a crash left); invalid on failure.
QVariant query(const QString& file, const QString& sql);
// Runs one statement with bound values on the file through a connection of its own; false on
// failure.
bool exec(const QString& file, const QString& sql, const QVariantList& values = {});
// The same on a copy of the file alone, made before anything opens the file itself.
QVariant queryCopyAlone(const QString& file, const QString& sql);

// Leaves the file as a kill in the middle of a large commit leaves it: part of a transaction
// (rows added to "Timer Records") already written into the file, and beside it the journal
// that undoes it. False when that state could not be made.
bool leaveUnfinishedWrite(const QString& file);

// Appends `rows` rows to "Timer Records" in one transaction, the i-th (from 1) with
// Timer_Order `order(i)` and Time `time(i)`, as benchmarks fill a large table.
void fillTimers(const QString& file, int rows, const std::function<int(int)>& order,
                const std::function<QString(int)>& time);

} // namespace record_files

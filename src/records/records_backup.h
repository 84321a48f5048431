#pragma once

#include <QDateTime>
#include <QList>
#include <QString>

// Backups of the record database, beside it: "VELM.mdb.backup-20140818-093000" (the file's
// name, ".backup-" and the local time). Made with SQLite's online backup, so a backup taken
// while the tool runs holds the committed rows of one moment, never half of a commit.
namespace records_backup {

// The name a backup made at `when` gets, with "-ACTION" after the time for one the tool made
// before an action ("VELM.mdb.backup-20140818-093000-import"); a name already taken gets
// "-2", "-3", ... at its end, so that two backups in one second never overwrite each other.
QString backupPath(const QString& databaseFile, const QDateTime& when,
                   const QString& action = QString());
// A free name in `folder`: `prefix`, the local time as YYYYMMDD-HHMMSS, "-2", "-3", ... when
// taken, then `suffix` ("VELM.mdb.not-imported-" ... ".json").
QString stampedPath(const QString& folder, const QString& prefix, const QDateTime& when,
                    const QString& suffix = QString());

// Backs the database up and returns the backup's path. The copy is written under a temporary
// name and renamed once whole, so a failure (a full disk, a read-only folder) leaves nothing
// that looks like a backup; the temporary files of a backup that was killed are removed the
// next time (unless a program still holds them open with a lock). Throws RecordError.
QString backUp(const QString& databaseFile, const QDateTime& when = QDateTime::currentDateTime(),
               const QString& action = QString());

// The rows of each of the six tables in `backup`, in start-up order (-1: a table it lacks).
// Throws RecordError when it is no record database or is damaged.
QList<int> rowCounts(const QString& backup);

// Copies `backup` whole into `databaseFile` with the online backup, in one step and one
// commit: another program sees the old records or the restored ones, never a mix. Throws
// RecordError, having changed nothing, when the backup is no sound record database or the
// file cannot be written.
void restoreInto(const QString& backup, const QString& databaseFile);

} // namespace records_backup

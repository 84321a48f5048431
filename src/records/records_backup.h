#pragma once

#include <QDateTime>
#include <QString>

// Backups of the record database, beside it: "VELM.mdb.backup-20140818-093000" (the file's
// name, ".backup-" and the local time). Made with SQLite's online backup, so a backup taken
// while the tool runs holds the committed rows of one moment, never half of a commit.
namespace records_backup {

// The name a backup made at `when` gets; a name already taken gets "-2", "-3", ... after it,
// so that two backups in one second never overwrite each other.
QString backupPath(const QString& databaseFile, const QDateTime& when);
// A free name in `folder`: `prefix`, the local time as YYYYMMDD-HHMMSS, "-2", "-3", ... when
// taken, then `suffix` ("VELM.mdb.not-imported-" ... ".json").
QString stampedPath(const QString& folder, const QString& prefix, const QDateTime& when,
                    const QString& suffix = QString());

// Backs the database up and returns the backup's path. The copy is written under a temporary
// name and renamed once whole, so a failure (a full disk, a read-only folder) leaves nothing
// that looks like a backup; the temporary files of a backup that was killed are removed the
// next time (unless a program still holds them open with a lock). Throws RecordError.
QString backUp(const QString& databaseFile, const QDateTime& when = QDateTime::currentDateTime());

} // namespace records_backup

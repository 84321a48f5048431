#pragma once

#include <QDateTime>
#include <QList>
#include <QString>

class RecordTable;

// Restore points: backups the tool makes beside the record file before an action that
// removes or overwrites records in bulk, named as the backups are with the action added
// ("VELM.mdb.backup-20140818-093000-delete-all-timers"). The newest kKept of them stay; the
// backups a user asked for ("VELM.mdb.backup-20140818-093000") are never removed. Any of
// the two can be restored into the record file.
namespace restore_points {

inline constexpr int kKept = 20;

// One backup beside the record file.
struct Backup {
    QString path;
    QString name;      // the file's name
    QDateTime time;    // from its name
    QString action;    // empty: a backup the user asked for
    int sequence = 1;  // 2, 3, ... for a second backup of one action in the same second
    QDateTime written; // the file's own time: which of two in one second came last
    qint64 size = 0;   // bytes
    QList<int> rows;   // each table's rows in start-up order (-1: none); empty: unreadable
    QString problem;   // why it cannot be read, when it cannot

    bool isRestorePoint() const { return !action.isEmpty(); }
};

// Backs the record file up before `action` ("import", "delete-all-timers", ...; put through
// actionName()) and removes the oldest restore points beyond kKept. Returns the
// restore point's path. Throws RecordError, having made nothing, when it cannot be made: the
// action must not go on then.
QString make(const QString& databaseFile, const QString& action,
             const QDateTime& when = QDateTime::currentDateTime());

// make() for an action on `table`'s file. A table that is closed or read-only makes none:
// it cannot be written, and the action stops on its own error before anything is removed.
// Returns the restore point's path, or empty.
QString beforeWriting(const RecordTable& table, const QString& action);

// Every backup beside the record file, newest first; with `withRows`, each one's rows.
QList<Backup> list(const QString& databaseFile, bool withRows = true);
// The size of every file in the record file's folder, in bytes.
qint64 folderSize(const QString& databaseFile);

// Removes the restore points beyond the newest `keep`; returns how many went.
int prune(const QString& databaseFile, int keep = kKept);

// Puts the backup `name` (a file name listed by list()) back into the record file, after a
// restore point of the records as they are. Returns that restore point's path. Throws
// RecordError, having changed no record, when the name is no backup of the file, the backup
// is unsound, or the restore point or the copy cannot be made.
QString restore(const QString& databaseFile, const QString& name,
                const QDateTime& when = QDateTime::currentDateTime());

// An action as a name carries it: lower-case words joined by '-' ("Delete All Timer Records"
// becomes "delete-all-timer-records").
QString actionName(const QString& words);

} // namespace restore_points

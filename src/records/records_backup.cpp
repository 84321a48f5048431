#include "records/records_backup.h"

#include "platform/file_system.h"
#include "records/database_file.h"
#include "records/leftover_parts.h"
#include "records/record_sql.h"
#include "records/record_table.h"
#include "records/schema.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUuid>

#include <sqlite3.h>

namespace records_backup {

namespace {

// One connection of the SQLite library itself: Qt's driver does not reach the backup API.
class Handle {
public:
    Handle(const QString& path, int flags) {
        const int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &m_db, flags, nullptr);
        if (rc != SQLITE_OK)
            m_error = m_db ? QString::fromUtf8(sqlite3_errmsg(m_db)) : QStringLiteral("no memory");
        else
            sqlite3_busy_timeout(m_db, record_sql::busyWaitMs);
        sqlite3_extended_result_codes(m_db, 1);
    }
    ~Handle() { sqlite3_close(m_db); }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;

    sqlite3* db() const { return m_db; }
    bool ok() const { return m_error.isEmpty(); }
    QString error() const { return m_error; }

private:
    sqlite3* m_db = nullptr;
    QString m_error;
};

QString describe(int rc, const QString& text, const QString& file, const QString& target) {
    if (database_file::isUnfinishedWrite(rc))
        return database_file::unfinishedWrite(file);
    switch (rc & 0xff) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return record_sql::heldByAnother(file);
    case SQLITE_FULL:
        return database_file::diskFull(target);
    case SQLITE_NOTADB:
        return QStringLiteral("%1 is not a record database").arg(file);
    default:
        return text;
    }
}

// Copies every page of `from` into `to` in one step, so that the copy is of one moment;
// `failure` starts the message ("Can not back up X").
void copyPages(const Handle& from, const Handle& to, const QString& failure, const QString& shown,
               const QString& target) {
    sqlite3_backup* backup = sqlite3_backup_init(to.db(), "main", from.db(), "main");
    if (!backup)
        throw RecordError(
            QStringLiteral("%1: %2").arg(failure, QString::fromUtf8(sqlite3_errmsg(to.db()))));
    // The busy timeouts are the whole wait for another program's commit.
    const int rc = sqlite3_backup_step(backup, -1);
    sqlite3_backup_finish(backup);
    // An extended code: it tells a journal the source may not roll back from a plain
    // read-only file.
    if (rc != SQLITE_DONE)
        throw RecordError(QStringLiteral("%1: %2").arg(
            failure, describe(rc, QString::fromUtf8(sqlite3_errstr(rc)), shown, target)));
}

// Copies `source` into the new file `target`; returns what the copy's quick check finds
// wrong (the source's damage: pages are copied as they are), or empty.
QString copy(const QString& source, const QString& target, const QString& shown) {
    const QString failure = QStringLiteral("Can not back up %1").arg(shown);
    Handle from(source, SQLITE_OPEN_READWRITE);
    if (!from.ok())
        throw RecordError(QStringLiteral("%1: %2").arg(failure, from.error()));
    Handle to(target, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    if (!to.ok())
        throw RecordError(QStringLiteral("%1: can not write %2: %3")
                              .arg(failure, QDir::toNativeSeparators(target), to.error()));
    copyPages(from, to, failure, shown, target);
    return record_sql::quickCheck(to.db());
}

// The number of rows of `table` in `db`; -1 when it has no such table.
int countRows(sqlite3* db, const QString& table) {
    sqlite3_stmt* statement = nullptr;
    const QByteArray sql = QStringLiteral("SELECT count(*) FROM \"%1\"").arg(table).toUtf8();
    if (sqlite3_prepare_v2(db, sql.constData(), -1, &statement, nullptr) != SQLITE_OK)
        return -1;
    const int rows = sqlite3_step(statement) == SQLITE_ROW ? sqlite3_column_int(statement, 0) : -1;
    sqlite3_finalize(statement);
    return rows;
}

} // namespace

QString stampedPath(const QString& folder, const QString& prefix, const QDateTime& when,
                    const QString& suffix) {
    const QString base =
        QDir(folder).filePath(prefix + when.toString(QStringLiteral("yyyyMMdd-HHmmss")));
    QString path = base + suffix;
    for (int n = 2; QFileInfo::exists(path) || QFileInfo(path).isSymLink(); ++n)
        path = base + QStringLiteral("-%1").arg(n) + suffix;
    return path;
}

QString backupPath(const QString& databaseFile, const QDateTime& when, const QString& action) {
    const QFileInfo info(databaseFile);
    QString name = info.fileName() + QStringLiteral(".backup-") +
                   when.toString(QStringLiteral("yyyyMMdd-HHmmss"));
    if (!action.isEmpty())
        name += QLatin1Char('-') + action;
    // The number that tells two backups of one second apart comes last, after the action.
    const QString base = info.absoluteDir().filePath(name);
    QString path = base;
    for (int n = 2; QFileInfo::exists(path) || QFileInfo(path).isSymLink(); ++n)
        path = base + QStringLiteral("-%1").arg(n);
    return path;
}

QString backUp(const QString& databaseFile, const QDateTime& when, const QString& action) {
    const QFileInfo info(databaseFile);
    const QString shown = database_file::shown(databaseFile);
    const QString problem = database_file::readProblem(databaseFile);
    if (!problem.isEmpty())
        throw RecordError(QStringLiteral("Can not back up: %1").arg(problem));
    if (const QString why = database_file::folderWriteProblem(info.absolutePath()); !why.isEmpty())
        throw RecordError(QStringLiteral("Can not back up %1: %2").arg(shown, why));
    // The copies a backup killed half-way left, among the other leftovers beside the file.
    leftover_parts::sweep(info.absoluteFilePath());
    const QString target = backupPath(databaseFile, when, action);
    const QString temp =
        target + QStringLiteral(".part-") + QUuid::createUuid().toString(QUuid::Id128);
    QString damage;
    try {
        damage = copy(info.absoluteFilePath(), temp, shown);
    } catch (const RecordError&) {
        QFile::remove(temp);
        QFile::remove(temp + QStringLiteral("-journal"));
        throw;
    }
    // The same checks and rename as every file the tool writes whole (the name is new, but
    // something may have taken it since it was chosen).
    const QString taken = database_file::targetProblem(target);
    const SystemError error = taken.isEmpty() ? file_system::replace(temp, target) : SystemError{};
    if (!taken.isEmpty() || error) {
        QFile::remove(temp);
        throw RecordError(
            QStringLiteral("Can not back up %1: %2")
                .arg(shown, taken.isEmpty() ? database_file::writeError(error, target) : taken));
    }
    file_system::syncFolderOf(target);
    // The copy of a damaged file is still the best copy there is: it stays, and the message
    // says what it holds.
    if (!damage.isEmpty())
        throw RecordError(
            QStringLiteral("%1 is damaged (%2): the backup %3 holds the same damage")
                .arg(shown, database_file::shortName(damage), QDir::toNativeSeparators(target)));
    return target;
}

QList<int> rowCounts(const QString& backup) {
    const QString shown = database_file::shown(backup);
    database_file::checkReadable(backup);
    Handle db(backup, SQLITE_OPEN_READONLY);
    if (!db.ok())
        throw RecordError(QStringLiteral("Can not read %1: %2").arg(shown, db.error()));
    if (const QString damage = record_sql::quickCheck(db.db()); !damage.isEmpty())
        throw RecordError(QStringLiteral("%1 is damaged (%2)").arg(shown, damage));
    QList<int> rows;
    bool any = false;
    for (const schema::TableDef& table : schema::tables()) {
        rows << countRows(db.db(), table.name);
        any = any || rows.back() >= 0;
    }
    if (!any)
        throw RecordError(QStringLiteral("%1 is not a record database").arg(shown));
    return rows;
}

void restoreInto(const QString& backup, const QString& databaseFile) {
    const QString shown = database_file::shown(databaseFile);
    const QString failure = QStringLiteral("Can not restore %1").arg(shown);
    // The whole backup is looked at before a page of the file is touched.
    if (rowCounts(backup).contains(-1))
        throw RecordError(QStringLiteral("%1: %2 lacks a table of the record database")
                              .arg(failure, database_file::shown(backup)));
    database_file::checkReadable(databaseFile);
    if (const QString why = database_file::writeProblem(databaseFile); !why.isEmpty())
        throw RecordError(QStringLiteral("%1: %2").arg(failure, why));
    Handle from(backup, SQLITE_OPEN_READONLY);
    Handle to(databaseFile, SQLITE_OPEN_READWRITE);
    if (!from.ok() || !to.ok())
        throw RecordError(
            QStringLiteral("%1: %2").arg(failure, from.ok() ? to.error() : from.error()));
    // The same durability as every other commit to the file.
    sqlite3_exec(to.db(), "PRAGMA synchronous=FULL", nullptr, nullptr, nullptr);
    copyPages(from, to, failure, shown, databaseFile);
}

} // namespace records_backup

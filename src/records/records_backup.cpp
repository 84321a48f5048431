#include "records/records_backup.h"

#include "platform/file_system.h"
#include "records/database_file.h"
#include "records/record_sql.h"
#include "records/record_table.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
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

// Copies every page of `source` into `target` in one step, so that the copy is of one moment;
// returns what the copy's quick check finds wrong (the source's damage: pages are copied as
// they are), or empty.
QString copy(const QString& source, const QString& target, const QString& shown) {
    Handle from(source, SQLITE_OPEN_READWRITE);
    if (!from.ok())
        throw RecordError(QStringLiteral("Can not back up %1: %2").arg(shown, from.error()));
    Handle to(target, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    if (!to.ok())
        throw RecordError(QStringLiteral("Can not back up %1: can not write %2: %3")
                              .arg(shown, QDir::toNativeSeparators(target), to.error()));
    sqlite3_backup* backup = sqlite3_backup_init(to.db(), "main", from.db(), "main");
    if (!backup)
        throw RecordError(QStringLiteral("Can not back up %1: %2")
                              .arg(shown, QString::fromUtf8(sqlite3_errmsg(to.db()))));
    // The source's busy timeout is the whole wait for another program's commit.
    const int rc = sqlite3_backup_step(backup, -1);
    sqlite3_backup_finish(backup);
    if (rc != SQLITE_DONE) {
        // An extended code: it tells a journal the source may not roll back from a plain
        // read-only file.
        const int code = rc;
        throw RecordError(QStringLiteral("Can not back up %1: %2")
                              .arg(shown, describe(code, QString::fromUtf8(sqlite3_errstr(code)),
                                                   shown, target)));
    }
    return record_sql::quickCheck(to.db());
}

// The temporary copies (and their journals) that a backup killed half-way left beside the
// database. A copy some program still writes holds a lock and stays. (Each copy is looked at
// once: closing a file drops the locks this process holds on it, should it hold any.)
void removeStaleCopies(const QFileInfo& database) {
    const QDir dir = database.absoluteDir();
    const QString lead = database.fileName() + QStringLiteral(".backup-");
    const QString journal = QStringLiteral("-journal");
    QSet<QString> copies;
    for (const QString& name : dir.entryList(QDir::Files | QDir::Hidden)) {
        if (name.startsWith(lead) && name.contains(QStringLiteral(".part-")))
            copies.insert(name.endsWith(journal) ? name.chopped(journal.size()) : name);
    }
    for (const QString& name : std::as_const(copies)) {
        const QString copy = dir.filePath(name);
        if (file_system::heldByAnother(copy))
            continue;
        QFile::remove(copy);
        QFile::remove(copy + journal);
    }
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

QString backupPath(const QString& databaseFile, const QDateTime& when) {
    const QFileInfo info(databaseFile);
    return stampedPath(info.absolutePath(), info.fileName() + QStringLiteral(".backup-"), when);
}

QString backUp(const QString& databaseFile, const QDateTime& when) {
    const QFileInfo info(databaseFile);
    const QString shown = database_file::shown(databaseFile);
    const QString problem = database_file::readProblem(databaseFile);
    if (!problem.isEmpty())
        throw RecordError(QStringLiteral("Can not back up: %1").arg(problem));
    if (const QString why = database_file::folderWriteProblem(info.absolutePath()); !why.isEmpty())
        throw RecordError(QStringLiteral("Can not back up %1: %2").arg(shown, why));
    removeStaleCopies(info);
    const QString target = backupPath(databaseFile, when);
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
    if (!QFile::rename(temp, target)) {
        QFile::remove(temp);
        throw RecordError(QStringLiteral("Can not back up %1: can not write %2")
                              .arg(shown, QDir::toNativeSeparators(target)));
    }
    // The copy of a damaged file is still the best copy there is: it stays, and the message
    // says what it holds.
    if (!damage.isEmpty())
        throw RecordError(
            QStringLiteral("%1 is damaged (%2): the backup %3 holds the same damage")
                .arg(shown, database_file::shortName(damage), QDir::toNativeSeparators(target)));
    return target;
}

} // namespace records_backup

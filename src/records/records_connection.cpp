#include "records/records_connection.h"

#include "records/database_file.h"
#include "records/record_query.h"
#include "records/record_table.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>

#include <sqlite3.h>

RecordsConnection::RecordsConnection(const QString& databaseFile, Mode mode)
    : m_path(databaseFile), m_mode(mode) {
    const QFileInfo info(databaseFile);
    m_file = QDir::toNativeSeparators(info.absoluteFilePath());
    // The driver would create a missing file; a record database is only ever made on purpose.
    database_file::checkReadable(databaseFile);
    // A read-only connection can not roll back what a crash left half-written, and would
    // refuse the whole file for it.
    database_file::rollBackLeftoverJournal(databaseFile);
    if (mode == Mode::Write) {
        if (const QString why = database_file::writeProblem(databaseFile); !why.isEmpty())
            throw RecordError(why);
    }
    m_name = record_sql::connectionName("exchange");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
        QString options = QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(record_sql::busyWaitMs);
        if (mode == Mode::Read)
            options += QStringLiteral(";QSQLITE_OPEN_READONLY");
        db.setConnectOptions(options);
        db.setDatabaseName(databaseFile);
        if (!db.open()) {
            const QSqlError error = db.lastError();
            db = QSqlDatabase();
            QSqlDatabase::removeDatabase(m_name);
            m_name.clear();
            throw RecordError(record_sql::cause(error, m_file, false));
        }
    }
    try {
        if (mode == Mode::Write) {
            QSqlQuery q(QSqlDatabase::database(m_name, false));
            if (!q.exec(QStringLiteral("PRAGMA synchronous=FULL")))
                fail(q.lastError(), false);
        }
        checkTables();
    } catch (...) {
        QSqlDatabase::database(m_name, false).close();
        QSqlDatabase::removeDatabase(m_name);
        m_name.clear();
        throw;
    }
}

RecordsConnection::~RecordsConnection() {
    close();
}

void RecordsConnection::close() {
    if (m_name.isEmpty())
        return;
    rollback();
    QSqlDatabase::database(m_name, false).close();
    QSqlDatabase::removeDatabase(m_name);
    m_name.clear();
}

void RecordsConnection::fail(const QSqlError& error, bool writing) const {
    throw RecordError(record_sql::cause(error, m_file, writing));
}

void RecordsConnection::checkTables() {
    for (const schema::TableDef& t : schema::tables()) {
        QSqlQuery q(QSqlDatabase::database(m_name, false));
        if (!q.exec(
                QStringLiteral("PRAGMA table_info(%1)").arg(record_query::quoteIdentifier(t.name))))
            fail(q.lastError(), false);
        QStringList names;
        QString pkName;
        int pkCount = 0;
        bool pkInteger = false;
        while (q.next()) {
            names << q.value(1).toString().toLower();
            if (q.value(5).toInt() > 0) {
                ++pkCount;
                pkName = q.value(1).toString();
                pkInteger = q.value(2).toString().compare(QLatin1StringView("INTEGER"),
                                                          Qt::CaseInsensitive) == 0;
            }
        }
        if (names.isEmpty())
            throw RecordError(QStringLiteral("%1 has no table %2").arg(m_file, t.name));
        for (const schema::ColumnDef& c : t.columns) {
            if (!names.contains(c.name.toLower()))
                throw RecordError(QStringLiteral("The table %1 in %2 has no column %3")
                                      .arg(t.name, m_file, c.name));
        }
        m_keys.insert(t.name, pkCount == 1 && pkInteger ? record_query::quoteIdentifier(pkName)
                                                        : QStringLiteral("rowid"));
    }
}

void RecordsConnection::begin() {
    if (m_inTransaction)
        return;
    QSqlQuery q(QSqlDatabase::database(m_name, false));
    if (!q.exec(m_mode == Mode::Write ? QStringLiteral("BEGIN IMMEDIATE")
                                      : QStringLiteral("BEGIN")))
        fail(q.lastError(), m_mode == Mode::Write);
    m_inTransaction = true;
}

void RecordsConnection::commit() {
    if (!m_inTransaction)
        return;
    QSqlQuery q(QSqlDatabase::database(m_name, false));
    if (!q.exec(QStringLiteral("COMMIT")))
        throw RecordError(QStringLiteral("the commit failed: %1")
                              .arg(record_sql::cause(q.lastError(), m_file, true)));
    m_inTransaction = false;
}

QString RecordsConnection::rollback() {
    if (!m_inTransaction)
        return QString();
    m_inTransaction = false;
    const QSqlDatabase db = QSqlDatabase::database(m_name, false);
    QSqlQuery q(db);
    if (q.exec(QStringLiteral("ROLLBACK")))
        return QString();
    // Some failures of a commit end the transaction in SQLite itself: nothing is left to undo.
    if (sqlite3* handle = record_sql::handleOf(db); handle && sqlite3_get_autocommit(handle))
        return QString();
    return record_sql::cause(q.lastError(), m_file, true);
}

QString RecordsConnection::key(const schema::TableDef& table) const {
    return m_keys.value(table.name, QStringLiteral("rowid"));
}

QList<StoredRow> RecordsConnection::rows(const schema::TableDef& table) const {
    QList<StoredRow> out;
    forEachRow(table, [&out](const StoredRow& r) { out << r; });
    return out;
}

void RecordsConnection::forEachRow(const schema::TableDef& table,
                                   const std::function<void(const StoredRow&)>& take) const {
    QStringList cols{key(table)};
    for (const schema::ColumnDef& c : table.columns)
        cols << record_query::quoteIdentifier(c.name);
    QSqlQuery q =
        prepare(QStringLiteral("SELECT %1 FROM %2 ORDER BY %3 ASC")
                    .arg(cols.join(u','), record_query::quoteIdentifier(table.name), key(table)));
    q.setForwardOnly(true);
    run(q);
    while (q.next()) {
        StoredRow r{q.value(0).toLongLong(), {}};
        r.values.reserve(table.columns.size());
        for (int i = 0; i < table.columns.size(); ++i)
            r.values << q.value(i + 1);
        take(r);
    }
    if (q.lastError().isValid())
        fail(q.lastError(), false);
}

qint64 RecordsConnection::maxKey(const schema::TableDef& table) const {
    QSqlQuery q = prepare(QStringLiteral("SELECT max(%1) FROM %2")
                              .arg(key(table), record_query::quoteIdentifier(table.name)));
    run(q);
    return q.next() ? q.value(0).toLongLong() : 0;
}

QSqlQuery RecordsConnection::prepare(const QString& sql) const {
    QSqlQuery q(QSqlDatabase::database(m_name, false));
    if (!q.prepare(sql))
        fail(q.lastError(), m_mode == Mode::Write);
    return q;
}

int RecordsConnection::run(QSqlQuery& query) const {
    if (!query.exec())
        fail(query.lastError(), m_mode == Mode::Write);
    return query.numRowsAffected();
}

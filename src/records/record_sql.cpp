#include "records/record_sql.h"

#include "records/database_file.h"
#include "records/record_table.h"
#include "records/schema.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QThread>
#include <QUrl>

#include <sqlite3.h>

#include <atomic>

namespace {

struct ColumnInfo {
    QString name;
    QString type;
    int pk;
};

const ColumnInfo* findInfo(const QList<ColumnInfo>& infos, const QString& name) {
    for (const ColumnInfo& i : infos) {
        if (i.name.compare(name, Qt::CaseInsensitive) == 0)
            return &i;
    }
    return nullptr;
}

} // namespace

RecordSql::RecordSql(const QString& tableName) : m_tableName(tableName) {}

RecordSql::~RecordSql() {
    close();
}

QString RecordSql::quotedTable() const {
    return record_query::quoteIdentifier(m_tableName);
}

void RecordSql::open(const QString& databaseFile, const QString& readOnlyReason) {
    close();
    m_file = QDir::toNativeSeparators(QFileInfo(databaseFile).absoluteFilePath());
    m_readOnlyReason = readOnlyReason;
    const bool readOnly = !readOnlyReason.isEmpty();
    // A file that an older build left in write-ahead-log mode, with nothing in its log, is read
    // as it stands: opening it the usual way would leave a shared-memory file beside it, made
    // read-only like the file, that later blocks every write once the file is writable again.
    if (readOnly && (database_file::fileKind(databaseFile) == database_file::FileKind::SqliteWal) &&
        QFileInfo(databaseFile + "-wal").size() == 0) {
        connect(databaseFile, true, true);
        return;
    }
    try {
        connect(databaseFile, readOnly, false);
    } catch (const RecordError&) {
        if (!readOnly ||
            !(database_file::fileKind(databaseFile) == database_file::FileKind::SqliteWal))
            throw;
        // Reading a write-ahead-log file needs its shared-memory companion, which a process
        // that may not write the file's folder cannot create; such a file is read as it
        // stands instead.
        connect(databaseFile, true, true);
    }
}

void RecordSql::connect(const QString& databaseFile, bool readOnly, bool immutable) {
    const QString name = record_sql::connectionName("records");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        // Another program holding the file makes the window wait this long at most.
        QString options = QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(record_sql::busyWaitMs);
        if (readOnly)
            options += QStringLiteral(";QSQLITE_OPEN_READONLY");
        if (immutable) {
            options += QStringLiteral(";QSQLITE_OPEN_URI");
            db.setDatabaseName(
                QUrl::fromLocalFile(QFileInfo(databaseFile).absoluteFilePath()).toString() +
                QStringLiteral("?immutable=1"));
        } else {
            db.setDatabaseName(databaseFile);
        }
        db.setConnectOptions(options);
        if (!db.open()) {
            const QSqlError error = db.lastError();
            db = QSqlDatabase();
            QSqlDatabase::removeDatabase(name);
            throw RecordError(
                QStringLiteral("Can not open %1: %2").arg(m_tableName, cause(error, false)));
        }
    }
    m_connection = name;
    try {
        readColumns();
        QSqlError error;
        // Files from older builds wrote ahead into a log beside them: this moves the log
        // into the file and switches to the rollback journal for good. The change needs the
        // file to itself; when another program has it open the file stays as it is, still
        // consistent, and the next open tries again.
        if (!readOnly)
            run(QStringLiteral("PRAGMA journal_mode=DELETE"), &error);
        // Every commit reaches the disk before it returns.
        if (!run(QStringLiteral("PRAGMA synchronous=FULL"), &error))
            failRead(error);
    } catch (const RecordError&) {
        close();
        throw;
    }
}

void RecordSql::close() {
    if (m_connection.isEmpty())
        return;
    m_inTransaction = false; // closing rolls back what was not committed
    QSqlDatabase::database(m_connection, false).close();
    QSqlDatabase::removeDatabase(m_connection);
    m_connection.clear();
}

bool RecordSql::run(const QString& sql, QSqlError* error) const {
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    if (q.exec(sql))
        return true;
    *error = q.lastError();
    return false;
}

QString RecordSql::cause(const QSqlError& error, bool writing) const {
    return record_sql::cause(error, m_file, writing);
}

QString record_sql::connectionName(const char* purpose) {
    static std::atomic<int> counter{0};
    return QStringLiteral("velm-%1-%2").arg(QLatin1String(purpose)).arg(++counter);
}

QString record_sql::cause(const QSqlError& error, const QString& file, bool writing) {
    // The driver gives SQLite's extended result code; its low byte is the primary code.
    const int code = error.nativeErrorCode().toInt();
    if (database_file::isUnfinishedWrite(code))
        return database_file::unfinishedWrite(file);
    switch (code & 0xff) {
    case 5: // busy
    case 6: // locked
        return heldByAnother(file);
    case 8: // read-only
        return QStringLiteral("%1 is read-only").arg(file);
    case 14: { // cannot open: for a write, the journal beside the file
        if (writing)
            return QStringLiteral("the folder of %1 is read-only").arg(file);
        const QString problem = database_file::readProblem(file);
        return problem.isEmpty() ? QStringLiteral("%1 can not be opened").arg(file) : problem;
    }
    case 13:
        return database_file::diskFull(file);
    case 11:
        return QStringLiteral("%1 is damaged").arg(file);
    case 26:
        return QStringLiteral("%1 is not a record database").arg(file);
    default:
        return QStringLiteral("%1: %2").arg(
            file, error.databaseText().isEmpty() ? error.text() : error.databaseText());
    }
}

QString record_sql::heldByAnother(const QString& file) {
    return QStringLiteral("another program holds %1 (close that program and try again)").arg(file);
}

sqlite3* record_sql::handleOf(const QSqlDatabase& db) {
    if (!db.isOpen() || !db.driver())
        return nullptr;
    const QVariant handle = db.driver()->handle();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return nullptr;
    return *static_cast<sqlite3* const*>(handle.constData());
}

QString record_sql::quickCheck(sqlite3* db) {
    sqlite3_stmt* check = nullptr;
    QString found;
    if (sqlite3_prepare_v2(db, "PRAGMA quick_check(1)", -1, &check, nullptr) != SQLITE_OK)
        return QString::fromUtf8(sqlite3_errmsg(db));
    const int rc = sqlite3_step(check);
    if (rc == SQLITE_ROW) {
        found = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(check, 0)))
                    .simplified();
        if (found == QLatin1StringView("ok"))
            found.clear();
    } else {
        found = QString::fromUtf8(sqlite3_errstr(rc));
    }
    sqlite3_finalize(check);
    return found;
}

namespace {

// Whether a connection of any program holds the file open in `db` for writing. Asked through
// SQLite's own descriptor of the file.
bool heldForWriting(sqlite3* db) {
    sqlite3_file* file = nullptr;
    if (sqlite3_file_control(db, "main", SQLITE_FCNTL_FILE_POINTER, &file) != SQLITE_OK || !file ||
        !file->pMethods)
        return false;
    int held = 0;
    return file->pMethods->xCheckReservedLock(file, &held) == SQLITE_OK && held != 0;
}

// The size and time of the last change of a file: what a writer that takes no lock changes.
QPair<qint64, qint64> stamp(const QString& file) {
    const QFileInfo info(file);
    return {info.size(), info.lastModified().toMSecsSinceEpoch()};
}

} // namespace

QString record_sql::damage(sqlite3* db, const QString& file) {
    const auto stampBefore = stamp(file);
    QString found = quickCheck(db);
    if (found.isEmpty())
        return QString();
    if (heldForWriting(db) || stamp(file) != stampBefore)
        return heldByAnother(file);
    // Once more after another program's write would have ended.
    QThread::msleep(busyWaitMs);
    found = quickCheck(db);
    if (found.isEmpty())
        return QString();
    if (heldForWriting(db) || stamp(file) != stampBefore)
        return heldByAnother(file);
    return QStringLiteral("%1 is damaged (%2)").arg(file, database_file::shortName(found));
}

void RecordSql::failRead(const QSqlError& error) const {
    throw RecordError(QStringLiteral("Can not read %1: %2").arg(m_tableName, cause(error, false)));
}

void RecordSql::failWrite(const QSqlError& error) const {
    throw RecordError(QStringLiteral("Can not write %1: %2").arg(m_tableName, cause(error, true)));
}

void RecordSql::readColumns() {
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    if (!q.exec(QStringLiteral("PRAGMA table_info(%1)").arg(quotedTable())))
        failRead(q.lastError());
    QList<ColumnInfo> infos;
    while (q.next())
        infos << ColumnInfo{q.value(1).toString(), q.value(2).toString().toUpper(),
                            q.value(5).toInt()};
    if (q.lastError().isValid())
        failRead(q.lastError());
    if (infos.isEmpty())
        throw RecordError(QStringLiteral("%1 has no table %2").arg(m_file, m_tableName));

    // The key is the table's own integer primary key, or SQLite's row id without one.
    QString keyName;
    int pkCount = 0;
    for (const ColumnInfo& i : infos) {
        if (i.pk > 0) {
            ++pkCount;
            keyName = i.name;
        }
    }
    if (pkCount != 1 || findInfo(infos, keyName)->type != QLatin1StringView("INTEGER"))
        keyName.clear();
    m_key = keyName.isEmpty() ? QStringLiteral("rowid") : record_query::quoteIdentifier(keyName);

    m_columns.clear();
    m_titles.clear();
    if (const schema::TableDef* def = schema::findTable(m_tableName)) {
        for (const schema::ColumnDef& c : def->columns) {
            const ColumnInfo* i = findInfo(infos, c.name);
            if (!i)
                throw RecordError(QStringLiteral("The table %1 in %2 has no column %3")
                                      .arg(m_tableName, m_file, c.name));
            m_columns << QueryColumn{i->name, c.integer};
            m_titles << (c.title.isEmpty() ? i->name : c.title);
        }
        return;
    }
    for (const ColumnInfo& i : infos) {
        if (i.name == keyName)
            continue;
        m_columns << QueryColumn{i.name, i.type.contains(QLatin1StringView("INT"))};
        m_titles << i.name;
    }
}

int RecordSql::column(const QString& name) const {
    for (int i = 0; i < m_columns.size(); ++i) {
        if (m_columns[i].name.compare(name, Qt::CaseInsensitive) == 0)
            return i;
    }
    throw RecordError(QStringLiteral("The table %1 has no column %2")
                          .arg(m_tableName, database_file::shortName(name)));
}

QList<StoredRow> RecordSql::select(const SqlClause& where, const QString& orderBy) const {
    QStringList cols{m_key};
    for (const QueryColumn& c : m_columns)
        cols << record_query::quoteIdentifier(c.name);
    QString sql = QStringLiteral("SELECT %1 FROM %2").arg(cols.join(u','), quotedTable());
    if (!where.sql.isEmpty())
        sql += QStringLiteral(" WHERE ") + where.sql;
    sql += QStringLiteral(" ORDER BY ") + (orderBy.isEmpty() ? QString() : orderBy + u',') + m_key +
           QStringLiteral(" ASC");

    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    q.setForwardOnly(true);
    if (!q.prepare(sql))
        failRead(q.lastError());
    for (int i = 0; i < where.values.size(); ++i)
        q.bindValue(i, where.values[i]);
    if (!q.exec())
        failRead(q.lastError());
    QList<StoredRow> rows;
    while (q.next()) {
        StoredRow r{q.value(0).toLongLong(), {}};
        r.values.reserve(m_columns.size());
        for (int i = 0; i < m_columns.size(); ++i)
            r.values << q.value(i + 1);
        rows << r;
    }
    if (q.lastError().isValid())
        failRead(q.lastError());
    return rows;
}

QList<StoredRow> RecordSql::selectKey(qint64 key) const {
    return select(SqlClause{m_key + QStringLiteral("=?"), {key}}, QString());
}

QString RecordSql::damage() const {
    sqlite3* db = m_connection.isEmpty()
                      ? nullptr
                      : record_sql::handleOf(QSqlDatabase::database(m_connection, false));
    return db ? record_sql::damage(db, m_file) : QString();
}

qint64 RecordSql::dataVersion() const {
    if (m_connection.isEmpty())
        return -1;
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    if (!q.exec(QStringLiteral("PRAGMA data_version")) || !q.next())
        return -1;
    return q.value(0).toLongLong();
}

QString record_sql::textPlaceholder() {
    return QStringLiteral("CAST(? AS TEXT)");
}

QString record_sql::placeholder(const QVariant& value) {
    return value.typeId() == QMetaType::QString ? textPlaceholder() : QStringLiteral("?");
}

QVariant record_sql::bindable(const QVariant& value) {
    if (value.typeId() != QMetaType::QString)
        return value;
    const QString text = value.toString();
    return text.isNull() ? QVariant() : QVariant(text.toUtf8());
}

qint64 RecordSql::insert(const QVariantList& values) {
    QStringList names, marks;
    for (int c = 0; c < m_columns.size(); ++c) {
        names << record_query::quoteIdentifier(m_columns[c].name);
        marks << record_sql::placeholder(values.value(c));
    }
    qint64 key = -1;
    write(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
              .arg(quotedTable(), names.join(u','), marks.join(u',')),
          values, &key);
    return key;
}

void RecordSql::update(qint64 key, const QList<int>& columns, const QVariantList& values) {
    if (updateWhere(columns, values, SqlClause{m_key + QStringLiteral("=?"), {key}}) == 0)
        throw RecordError(
            QStringLiteral("The record of %1 is no longer in the database").arg(m_tableName));
}

int RecordSql::updateWhere(const QList<int>& columns, const QVariantList& values,
                           const SqlClause& where) {
    QStringList sets;
    for (int i = 0; i < columns.size(); ++i)
        sets << record_query::quoteIdentifier(m_columns[columns[i]].name) + u'=' +
                    record_sql::placeholder(values.value(i));
    QString sql = QStringLiteral("UPDATE %1 SET %2").arg(quotedTable(), sets.join(u','));
    if (!where.sql.isEmpty())
        sql += QStringLiteral(" WHERE ") + where.sql;
    return write(sql, QVariantList(values) << where.values);
}

void RecordSql::remove(qint64 key) {
    removeWhere(SqlClause{m_key + QStringLiteral("=?"), {key}});
}

int RecordSql::removeWhere(const SqlClause& where) {
    QString sql = QStringLiteral("DELETE FROM %1").arg(quotedTable());
    if (!where.sql.isEmpty())
        sql += QStringLiteral(" WHERE ") + where.sql;
    return write(sql, where.values);
}

void RecordSql::begin() {
    if (m_connection.isEmpty())
        throw RecordError(QStringLiteral("The table %1 is not open").arg(m_tableName));
    if (m_inTransaction)
        throw RecordError(QStringLiteral("A transaction on %1 is already open").arg(m_tableName));
    QSqlError error;
    if (!run(QStringLiteral("BEGIN"), &error))
        failWrite(error);
    m_inTransaction = true;
}

void RecordSql::commit() {
    if (!m_inTransaction)
        return;
    QSqlError error;
    if (!run(QStringLiteral("COMMIT"), &error)) {
        rollback();
        failWrite(error);
    }
    m_inTransaction = false;
}

void RecordSql::rollback() {
    if (!m_inTransaction)
        return;
    m_inTransaction = false;
    QSqlError ignored;
    run(QStringLiteral("ROLLBACK"), &ignored);
}

int RecordSql::write(const QString& sql, const QVariantList& values, qint64* insertedKey) {
    if (m_connection.isEmpty())
        throw RecordError(QStringLiteral("The table %1 is not open").arg(m_tableName));
    if (!m_readOnlyReason.isEmpty())
        throw RecordError(
            QStringLiteral("Can not write %1: %2").arg(m_tableName, m_readOnlyReason));
    // A statement of its own commits at once; inside begin() / commit() the caller commits
    // or rolls back the whole transaction.
    const bool own = !m_inTransaction;
    QSqlError error;
    if (own && !run(QStringLiteral("BEGIN"), &error))
        failWrite(error);
    int affected = 0;
    bool ok = false;
    {
        QSqlQuery q(QSqlDatabase::database(m_connection, false));
        if (!q.prepare(sql)) {
            error = q.lastError();
        } else {
            for (int i = 0; i < values.size(); ++i)
                q.bindValue(i, record_sql::bindable(values[i]));
            if (!q.exec()) {
                error = q.lastError();
            } else {
                ok = true;
                affected = q.numRowsAffected();
                if (insertedKey)
                    *insertedKey = q.lastInsertId().toLongLong();
            }
        }
    }
    if (ok && own && !run(QStringLiteral("COMMIT"), &error))
        ok = false;
    if (!ok) {
        if (own) {
            QSqlError ignored;
            run(QStringLiteral("ROLLBACK"), &ignored);
        }
        failWrite(error);
    }
    return affected;
}

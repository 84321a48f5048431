#include "records/record_sql.h"

#include "records/record_table.h"
#include "records/schema.h"

#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>

#include <atomic>

namespace {

[[noreturn]] void fail(const QString& text) {
    throw RecordError(text.toStdString());
}

QString nextConnectionName() {
    static std::atomic<int> counter{0};
    return QStringLiteral("velm-records-%1").arg(++counter);
}

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

void RecordSql::open(const QString& databaseFile, bool readOnly) {
    try {
        connect(databaseFile, readOnly, false);
    } catch (const RecordError&) {
        if (!readOnly)
            throw;
        // Reading a write-ahead-log file needs its shared-memory companion, which a process
        // that may not write the file's folder cannot create; such a file is read as it
        // stands instead.
        connect(databaseFile, true, true);
    }
}

void RecordSql::connect(const QString& databaseFile, bool readOnly, bool immutable) {
    close();
    const QString name = nextConnectionName();
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        QString options = QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000");
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
            const QString error = db.lastError().text();
            db = QSqlDatabase();
            QSqlDatabase::removeDatabase(name);
            fail(
                QStringLiteral("Can not open %1 for %2: %3").arg(databaseFile, m_tableName, error));
        }
    }
    m_connection = name;
    try {
        readColumns();
        QSqlQuery q(QSqlDatabase::database(m_connection, false));
        if (!readOnly) {
            // Every post is one committed transaction that survives a crash or power loss.
            q.exec(QStringLiteral("PRAGMA journal_mode=WAL"));
            q.finish();
        }
        if (!q.exec(QStringLiteral("PRAGMA synchronous=FULL")))
            fail(QStringLiteral("Can not open %1: %2").arg(m_tableName, q.lastError().text()));
    } catch (const RecordError&) {
        close();
        throw;
    }
}

void RecordSql::close() {
    if (m_connection.isEmpty())
        return;
    QSqlDatabase::database(m_connection, false).close();
    QSqlDatabase::removeDatabase(m_connection);
    m_connection.clear();
}

void RecordSql::readColumns() {
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    if (!q.exec(QStringLiteral("PRAGMA table_info(%1)").arg(quotedTable())))
        fail(QStringLiteral("Can not read %1: %2").arg(m_tableName, q.lastError().text()));
    QList<ColumnInfo> infos;
    while (q.next())
        infos << ColumnInfo{q.value(1).toString(), q.value(2).toString().toUpper(),
                            q.value(5).toInt()};
    if (infos.isEmpty())
        fail(QStringLiteral("The database has no table %1").arg(m_tableName));

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
                fail(QStringLiteral("The table %1 has no column %2").arg(m_tableName, c.name));
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
    fail(QStringLiteral("The table %1 has no column %2").arg(m_tableName, name));
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
        fail(QStringLiteral("Can not read %1: %2").arg(m_tableName, q.lastError().text()));
    for (int i = 0; i < where.values.size(); ++i)
        q.bindValue(i, where.values[i]);
    if (!q.exec())
        fail(QStringLiteral("Can not read %1: %2").arg(m_tableName, q.lastError().text()));
    QList<StoredRow> rows;
    while (q.next()) {
        StoredRow r{q.value(0).toLongLong(), {}};
        r.values.reserve(m_columns.size());
        for (int i = 0; i < m_columns.size(); ++i)
            r.values << q.value(i + 1);
        rows << r;
    }
    if (q.lastError().isValid())
        fail(QStringLiteral("Can not read %1: %2").arg(m_tableName, q.lastError().text()));
    return rows;
}

QList<StoredRow> RecordSql::selectKey(qint64 key) const {
    return select(SqlClause{m_key + QStringLiteral("=?"), {key}}, QString());
}

qint64 RecordSql::insert(const QVariantList& values) {
    QStringList names, marks;
    for (const QueryColumn& c : m_columns) {
        names << record_query::quoteIdentifier(c.name);
        marks << QStringLiteral("?");
    }
    qint64 key = -1;
    write(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
              .arg(quotedTable(), names.join(u','), marks.join(u',')),
          values, &key);
    return key;
}

void RecordSql::update(qint64 key, const QList<int>& columns, const QVariantList& values) {
    QStringList sets;
    for (int c : columns)
        sets << record_query::quoteIdentifier(m_columns[c].name) + QStringLiteral("=?");
    const int changed = write(
        QStringLiteral("UPDATE %1 SET %2 WHERE %3=?").arg(quotedTable(), sets.join(u','), m_key),
        QVariantList(values) << key);
    if (changed == 0)
        fail(QStringLiteral("The record of %1 is no longer in the database").arg(m_tableName));
}

void RecordSql::remove(qint64 key) {
    write(QStringLiteral("DELETE FROM %1 WHERE %2=?").arg(quotedTable(), m_key), {key});
}

int RecordSql::write(const QString& sql, const QVariantList& values, qint64* insertedKey) {
    if (m_connection.isEmpty())
        fail(QStringLiteral("The table %1 is not open").arg(m_tableName));
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    if (!db.transaction())
        fail(QStringLiteral("Can not write %1: %2").arg(m_tableName, db.lastError().text()));
    QString error;
    int affected = 0;
    {
        QSqlQuery q(db);
        if (!q.prepare(sql)) {
            error = q.lastError().text();
        } else {
            for (int i = 0; i < values.size(); ++i)
                q.bindValue(i, values[i]);
            if (!q.exec()) {
                error = q.lastError().text();
            } else {
                affected = q.numRowsAffected();
                if (insertedKey)
                    *insertedKey = q.lastInsertId().toLongLong();
            }
        }
    }
    if (error.isEmpty() && !db.commit())
        error = db.lastError().text();
    if (!error.isEmpty()) {
        db.rollback();
        fail(QStringLiteral("Can not write %1: %2").arg(m_tableName, error));
    }
    return affected;
}

#pragma once

#include "records/record_query.h"

#include <QList>
#include <QSqlError>
#include <QString>
#include <QStringList>
#include <QVariantList>

struct sqlite3;
class QSqlDatabase;

namespace record_sql {
// How long an operation waits for another program to let go of the file.
inline constexpr int busyWaitMs = 250;
// A name for a new connection of this process: "velm-<purpose>-N", never used twice.
QString connectionName(const char* purpose);
// What went wrong with the database `file` (absolute, as shown), in words a technician can act
// on ("another program holds ...", "... is read-only").
QString cause(const QSqlError& error, const QString& file, bool writing);
// The placeholder and the bound value of a value written into the file. SQLite takes a
// leading U+FEFF of a text bound as UTF-16 (as the driver binds every QString) for a
// byte-order mark and drops it: a text goes in as its UTF-8 bytes, cast back to a text, and
// keeps every character.
QString placeholder(const QVariant& value);
QString textPlaceholder(); // for a column whose values are texts or nulls
QVariant bindable(const QVariant& value);
// "another program holds FILE (close that program and try again)"
QString heldByAnother(const QString& file);
// The SQLite connection under an open database of the driver; null when there is none.
sqlite3* handleOf(const QSqlDatabase& db);
// What SQLite's quick check finds wrong in the file open in `db`: its first finding, or empty
// for a sound file.
QString quickCheck(sqlite3* db);
// The same for the database file `file` (as shown) open in `db`, in words: "... is damaged
// (...)", or, when another program holds the file for writing or the file changes under the
// check (a copy over it, say), "another program holds ..." instead: what one program sees of
// another's write is no damage of the file.
QString damage(sqlite3* db, const QString& file);
} // namespace record_sql

// One row of a table as read: its key and its values in column order.
struct StoredRow {
    qint64 key = -1; // -1: appended, not stored yet
    QVariantList values;
};

// The SQL side of one record table: its own connection to the database file, the table's
// columns and key, and the statements the table object runs. Every write is a transaction of
// its own, committed before it returns, or rolled back and reported by RecordError; between
// begin() and commit() the writes share one transaction instead.
//
// The file keeps a rollback journal: between commits the file alone holds every committed row,
// and nothing beside it outlives a run but the journal of a transaction cut short. That journal
// belongs to the file (without it the file may hold half a commit) and the next open rolls it
// back; a copy as one file at any moment is a backup (records_backup). Another program holding
// the file makes an operation wait a quarter of a second at most, then fail with a message
// that says so.
class RecordSql {
public:
    explicit RecordSql(const QString& tableName);
    ~RecordSql();
    RecordSql(const RecordSql&) = delete;
    RecordSql& operator=(const RecordSql&) = delete;

    // Throws RecordError: not a database, no such table, a column missing, the file held by
    // another program. With a `readOnlyReason` ("... is read-only") the file is only read and
    // every write fails with that reason, before it reaches the file.
    void open(const QString& databaseFile, const QString& readOnlyReason);
    void close();
    bool isOpen() const { return !m_connection.isEmpty(); }
    // record_sql::damage() of the file; empty while closed.
    QString damage() const;

    // One transaction for every write until commit(); rollback() drops them all. No nesting.
    void begin();
    void commit();
    void rollback();
    bool inTransaction() const { return m_inTransaction; }

    const QList<QueryColumn>& columns() const { return m_columns; }
    const QStringList& titles() const { return m_titles; }
    const QString& keyName() const { return m_key; } // quoted, or rowid
    // The index of a column by name, any case; throws RecordError for an unknown one.
    int column(const QString& name) const;

    // The rows passing `where` (may be empty) in `orderBy` order, then the key's order.
    QList<StoredRow> select(const SqlClause& where, const QString& orderBy) const;
    // One row by key; an empty list when it is gone.
    QList<StoredRow> selectKey(qint64 key) const;
    // SQLite's count of commits by other connections to the file (another program, or another
    // table of this one): it changes when someone else wrote. -1 when it cannot be read.
    qint64 dataVersion() const;
    qint64 insert(const QVariantList& values);
    void update(qint64 key, const QList<int>& columns, const QVariantList& values);
    void remove(qint64 key);
    // One statement for every row passing `where` (may be empty: every row); returns how many
    // it changed. A text value of `where` needs a text placeholder (record_query's do).
    int updateWhere(const QList<int>& columns, const QVariantList& values, const SqlClause& where);
    int removeWhere(const SqlClause& where);

private:
    QString quotedTable() const;
    void connect(const QString& databaseFile, bool readOnly, bool immutable);
    void readColumns();
    // Runs one statement, as its own committed transaction outside begin() / commit();
    // returns rows affected.
    int write(const QString& sql, const QVariantList& values, qint64* insertedKey = nullptr);
    // Runs a statement without bound values; false with `error` set on failure.
    bool run(const QString& sql, QSqlError* error) const;
    // What went wrong, in words a technician can act on ("another program holds ...").
    QString cause(const QSqlError& error, bool writing) const;
    [[noreturn]] void failRead(const QSqlError& error) const;
    [[noreturn]] void failWrite(const QSqlError& error) const;

    QString m_tableName;
    QString m_file;           // as shown in messages: the absolute path
    QString m_readOnlyReason; // empty when writes are allowed
    bool m_inTransaction = false;
    QString m_connection; // empty while closed
    QString m_key;        // quoted key column, or rowid
    QList<QueryColumn> m_columns;
    QStringList m_titles;
};

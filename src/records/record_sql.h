#pragma once

#include "records/record_query.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariantList>

// One row of a table as read: its key and its values in column order.
struct StoredRow {
    qint64 key = -1; // -1: appended, not stored yet
    QVariantList values;
};

// The SQL side of one record table: its own connection to the database file, the table's
// columns and key, and the statements the table object runs. Every write is a transaction of
// its own, committed before it returns, or rolled back and reported by RecordError.
class RecordSql {
public:
    explicit RecordSql(const QString& tableName);
    ~RecordSql();
    RecordSql(const RecordSql&) = delete;
    RecordSql& operator=(const RecordSql&) = delete;

    // Throws RecordError: no file (never created here), not a database, no such table, a
    // column missing.
    void open(const QString& databaseFile, bool readOnly);
    void close();
    bool isOpen() const { return !m_connection.isEmpty(); }

    const QList<QueryColumn>& columns() const { return m_columns; }
    const QStringList& titles() const { return m_titles; }
    // The index of a column by name, any case; throws RecordError for an unknown one.
    int column(const QString& name) const;

    // The rows passing `where` (may be empty) in `orderBy` order, then the key's order.
    QList<StoredRow> select(const SqlClause& where, const QString& orderBy) const;
    // One row by key; an empty list when it is gone.
    QList<StoredRow> selectKey(qint64 key) const;
    qint64 insert(const QVariantList& values);
    void update(qint64 key, const QList<int>& columns, const QVariantList& values);
    void remove(qint64 key);

private:
    QString quotedTable() const;
    void connect(const QString& databaseFile, bool readOnly, bool immutable);
    void readColumns();
    // Runs one statement as its own committed transaction; returns rows affected.
    int write(const QString& sql, const QVariantList& values, qint64* insertedKey = nullptr);

    QString m_tableName;
    QString m_connection; // empty while closed
    QString m_key;        // quoted key column, or rowid
    QList<QueryColumn> m_columns;
    QStringList m_titles;
};

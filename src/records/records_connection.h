#pragma once

#include "records/record_sql.h"
#include "records/schema.h"

#include <QHash>
#include <QSqlQuery>
#include <QString>

#include <functional>

// A connection of its own to the record database file, for work that spans the six tables at
// once (export, import): it reads them at one moment and writes them in one transaction. It
// never creates the file, and it checks that the file holds the six tables with their columns
// before anything else is done. Failures throw RecordError with words a technician can act on.
class RecordsConnection {
public:
    enum class Mode {
        Read,  // reads only; the file may be read-only
        Write, // the file and its folder must be writable (the journal lives beside the file)
    };

    RecordsConnection(const QString& databaseFile, Mode mode);
    ~RecordsConnection();
    // Rolls back what is not committed and lets go of the file.
    void close();
    RecordsConnection(const RecordsConnection&) = delete;
    RecordsConnection& operator=(const RecordsConnection&) = delete;

    // The file as messages show it: its absolute path.
    QString file() const { return m_file; }
    QString path() const { return m_path; }

    // Read: a read transaction, so that every table is read at one moment. Write: a write
    // transaction taken at once, so that no other program writes between begin() and
    // commit(), while readers still may (the backup reads the file in that time).
    void begin();
    // A failed commit throws "the commit failed: ..." and leaves the transaction to rollback().
    void commit();
    // Undoes what is not committed; returns why that failed, empty when it did not.
    QString rollback();

    // Every row of `table` in the table's own order: its key, then its values in column order.
    QList<StoredRow> rows(const schema::TableDef& table) const;
    // The same, one row at a time, so that no more than one row is held.
    void forEachRow(const schema::TableDef& table,
                    const std::function<void(const StoredRow&)>& take) const;
    // The largest key the table holds, 0 for none.
    qint64 maxKey(const schema::TableDef& table) const;
    // The key column of a table, quoted (the integer primary key, or rowid).
    QString key(const schema::TableDef& table) const;

    // A prepared statement and its run; run() throws on failure and returns rows changed.
    QSqlQuery prepare(const QString& sql) const;
    int run(QSqlQuery& query) const;

private:
    void checkTables();
    [[noreturn]] void fail(const QSqlError& error, bool writing) const;

    QString m_path; // as given
    QString m_file; // absolute, native separators
    QString m_name; // connection name
    Mode m_mode;
    bool m_inTransaction = false;
    QHash<QString, QString> m_keys; // table name -> quoted key column
};

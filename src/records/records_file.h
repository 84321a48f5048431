#pragma once

#include "records/records_format.h"

#include <QByteArray>
#include <QList>
#include <QString>

// A records exchange file as read and checked: the tables it holds (in start-up order), every
// value of the type its column takes and within what the column may hold (records_values).
// A file that is not strict JSON or not of this format is refused whole with a message that
// says where; a bad row is left out of its table and named in the table's `unfit` list, so
// that an import refuses only the tables that hold one.
class RecordsFile {
public:
    // Throws RecordError: not JSON ("line 3: ..."), another format or a newer version, an
    // unknown table. Unfit rows: an unknown column, a value of the wrong type or outside its
    // column's values ("Bind Records row 3: Output_Addr 257 does not fit (0..255)"), two rows
    // for one monitor slot.
    static RecordsFile parse(const QByteArray& bytes);
    // Reads and parses a file; its messages start with the file's path.
    static RecordsFile load(const QString& path);
    // Rows already read and checked elsewhere (a record file in the Access format), in
    // start-up order.
    static RecordsFile of(const QList<records_format::TableRows>& tables);

    const QList<records_format::TableRows>& tables() const { return m_tables; }
    // The rows of a table, or nullptr when the file does not hold it.
    const records_format::TableRows* find(const QString& tableName) const;
    QStringList tableNames() const;
    QString exported() const { return m_exported; }

private:
    QList<records_format::TableRows> m_tables;
    QString m_exported;
};

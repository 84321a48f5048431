#pragma once

#include "records/records_format.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>

// A records exchange file as read and checked: the tables it holds (in start-up order), every
// value of the type its column takes and within what the column may hold (records_values).
// A file that is not strict JSON or not of this format is refused whole with a message that
// says where; a bad row is left out of its table and named in the table's `unfit` list, so
// that an import refuses only the tables that hold one.
//
// The rows of a parsed file are not kept: they are checked as they are read, and read again
// from the file's text when an import walks them, one at a time, so that the memory a file
// takes does not grow with its rows beyond its own bytes.
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

    // The tables with their unfit rows; `rows` is empty for a parsed file (forEachRow()).
    const QList<records_format::TableRows>& tables() const { return m_tables; }
    // The rows of a table of this file that fit (unfit ones are only named), each with its
    // index among them, in the file's order.
    void forEachRow(const records_format::TableRows& table,
                    const std::function<void(int, const QVariantList&)>& visit) const;
    int rowCount(const records_format::TableRows& table) const;
    // forEachRow() gathered: for a few rows.
    QList<QVariantList> rows(const records_format::TableRows& table) const;
    // The rows of a table, or nullptr when the file does not hold it.
    const records_format::TableRows* find(const QString& tableName) const;
    QStringList tableNames() const;
    QString exported() const { return m_exported; }

private:
    // Where a parsed table's rows stand in m_text: the '[' of its list, and how many fit.
    struct Span {
        qsizetype at = -1;
        int fit = 0;
        bool allFit = true; // no row was left out
    };
    const Span* spanOf(const records_format::TableRows& table) const;

    QList<records_format::TableRows> m_tables;
    QList<Span> m_spans; // beside m_tables, for a parsed file
    QByteArray m_text;
    QString m_exported;
};

#pragma once

#include "records/records_format.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

// Export of the six record tables: one JSON file that the import reads back, or one CSV file
// per table for spreadsheets. Throws RecordError; a file is written whole or not at all
// (through WholeFile).
namespace records_export {

// The six tables in start-up order, read at one moment (one read transaction), each in its
// own order, with the rows outside what their columns may hold (written by an older build or
// another program) named in `unfit`: an export writes them as they are.
QList<records_format::TableRows> read(const QString& databaseFile);
// What an export says of such rows (the first ten and a count); empty when there are none.
QString unfitWarning(const QList<records_format::TableRows>& tables);
QString unfitWarning(const QStringList& unfit);

// {"format": "velm-records", "version": 1, "exported": "<ISO time>", "tables": {...}}: the
// tables in start-up order, every row an object of its columns in grid order, one row a
// line, UTF-8.
QByteArray json(const QList<records_format::TableRows>& tables, const QDateTime& exported);

// The pieces of json() for a writer that streams the rows: the head up to the tables, a table's
// start (`first`: the first table), a row (`first`: the table's first), a table's end, the
// tail. Their bytes still need strict_json::byteOrderMarksEscaped().
QByteArray jsonHead(const QDateTime& exported);
QByteArray jsonTableStart(const schema::TableDef& table, bool first);
void appendJsonRow(QByteArray& out, const schema::TableDef& table, const QVariantList& row,
                   bool first);
QByteArray jsonTableEnd(bool empty);
QByteArray jsonTail();

// One table as CSV (RFC 4180): a header row of column names, CRLF line ends, UTF-8 with a
// byte-order mark (spreadsheets take the file for UTF-8 only then). A field with a comma,
// quote or line break is quoted; an empty text is "" and a null is an empty field, so the two
// stay apart.
QByteArray csv(const records_format::TableRows& table);
// "Scene Records.csv", after `prefix`.
QString csvFileName(const QString& tableName, const QString& prefix = QString());
// The pieces of csv(): the byte-order mark and header row, and one row.
QByteArray csvHead(const schema::TableDef& table);
void appendCsvRow(QByteArray& out, const schema::TableDef& table, const QVariantList& row);

// An export writes only to a regular file (replaced; through a symbolic link, the file it
// names) or to a new name; anything else (a folder, a FIFO, a device, a symbolic link loop or
// one to nothing) is refused before a byte is written. Throws RecordError saying which.
void checkTarget(const QString& file);
// The six CSV files of an export into `folder`, in start-up order.
QStringList csvPaths(const QString& folder, const QString& prefix = QString());
// The folder (when it exists it must be a folder) and each of the six files, as checkTarget().
void checkCsvTargets(const QString& folder, const QString& prefix = QString());

// Writes the JSON file; returns how many rows it holds.
int saveJson(const QList<records_format::TableRows>& tables, const QString& file,
             const QDateTime& exported = QDateTime::currentDateTime());
// Writes one CSV file per table into `folder` (made when missing); returns their paths.
// Every file is written whole under a temporary name beside its target first, and only then
// are the six renamed over their targets, one after the other; a failure before that leaves
// the old files as they were. The renames take microseconds, but they are six: a reader that
// looks in that moment, or a kill that strikes in it, finds some files new and the rest old.
QStringList saveCsv(const QList<records_format::TableRows>& tables, const QString& folder,
                    const QString& prefix = QString());

} // namespace records_export

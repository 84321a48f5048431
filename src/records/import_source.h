#pragma once

#include "records/records_file.h"
#include "records/records_import.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

class AccessRecordFile;

// What an import reads: our JSON export, or a record file in the Access format, told apart
// by the file's content. An Access file's tables and columns are taken by name (any case);
// its rows that our tables would refuse are set aside rather than refusing the file, and
// written to a side file so that nothing it held is lost.
class ImportSource {
public:
    // Throws RecordError for a whole-file refusal (not a records file, none of the six
    // tables, a column of a type that can not hold its values, unreadable, held open).
    static ImportSource load(const QString& path);
    // Our export, already read.
    static ImportSource fromExport(RecordsFile file);
    // The mapping of an Access file already read; `shown` names it in messages.
    static ImportSource fromAccess(const AccessRecordFile& access, const QString& shown);

    bool isAccess() const { return m_access; }
    const RecordsFile& file() const { return m_file; }
    // Rows set aside per table: the values as the file holds them, `unfit` says why.
    const QList<records_format::TableRows>& setAside() const { return m_setAside; }
    int setAsideRows() const;
    // What was left out or is missing: extra tables and columns, tables and columns the
    // file lacks.
    const QStringList& notes() const { return m_notes; }
    // Per table, the first ten rows set aside with their reason and a count.
    QStringList setAsideLines() const;

    // The options an import of this source runs with: an Access file's monitor rows set the
    // slots they name and leave the others as they are.
    records_import::Options options(const QStringList& tables, bool add) const;

    // "VELM.mdb.not-imported-YYYYMMDD-HHMMSS.json" beside the record file.
    static QString setAsidePath(const QString& databaseFile, const QDateTime& when);

private:
    bool m_access = false;
    RecordsFile m_file;
    QList<records_format::TableRows> m_setAside;
    QStringList m_notes;
};

namespace import_source {

struct Outcome {
    records_import::Result result;
    QString setAsideFile; // empty when every row came over
    int setAsideRows = 0;
};

// Writes the rows set aside first (so that they are kept before anything else changes), then
// imports as records_import::run(). A failed import removes the side file again: the Access
// file still holds every row. The side file is named after `recordFile` (the database itself
// when empty), beside it.
Outcome run(const ImportSource& source, const QString& databaseFile,
            const records_import::Options& options,
            const QDateTime& when = QDateTime::currentDateTime(),
            const QString& recordFile = QString());

} // namespace import_source

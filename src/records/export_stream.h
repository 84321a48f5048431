#pragma once

#include "records/records_connection.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

// An export that holds one row at a time, whatever the size of the record file: the six
// tables are read at one moment (one read transaction for the life of the object) and each row
// goes into the file as it is read, through WholeFile, so that a file is still written whole or
// not at all. Throws RecordError: from the constructor when the database cannot be read, from
// the writes with the cause of a file that could not be written.
class ExportStream {
public:
    explicit ExportStream(const QString& databaseFile);
    ExportStream(const ExportStream&) = delete;
    ExportStream& operator=(const ExportStream&) = delete;

    // The JSON file records_export::json() would make; returns how many rows it holds.
    int writeJson(const QString& file, const QDateTime& exported = QDateTime::currentDateTime());
    // The six CSV files of records_export::saveCsv() (the folder made when missing); returns
    // their paths. All six are whole on the disk before the first is renamed.
    QStringList writeCsv(const QString& folder, const QString& prefix = QString());
    // What records_export::unfitWarning() says of the rows read so far.
    QString unfitWarning() const;

private:
    // Each row of `table` in export form with its number from 1 (gathering the unfit ones the
    // first time round); returns how many there were.
    int eachRow(const schema::TableDef& table,
                const std::function<void(const QVariantList&, int)>& take);

    RecordsConnection m_db;
    QStringList m_unfit;
    bool m_unfitGathered = false;
};

#include "report/report_records.h"

#include "records/database_file.h"
#include "records/record_table.h"
#include "records/records_connection.h"
#include "records/records_values.h"

#include <QCryptographicHash>
#include <QFileInfo>

#include <algorithm>
#include <climits>

namespace {

QStringList columnsOf(const QString& tableName) {
    QStringList columns;
    for (const schema::ColumnDef& c : schema::findTable(tableName)->columns)
        columns << c.name;
    return columns;
}

// The rows of a table, one at a time straight from the file, each with its first misfit.
void readRows(const RecordsConnection& db, const QString& tableName,
              const std::function<void(const QVariantList&, const QString&)>& take) {
    const QStringList columns = columnsOf(tableName);
    db.forEachRow(*schema::findTable(tableName), [&](const StoredRow& stored) {
        QString unfit;
        for (int c = 0; c < columns.size() && unfit.isEmpty(); ++c)
            unfit = records_values::problem(tableName, columns.at(c), stored.values.at(c));
        take(stored.values, unfit);
    });
}

PackedRows packed(const RecordsConnection& db, const QString& tableName,
                  const char* groupColumn = nullptr) {
    PackedRows rows(columnsOf(tableName), groupColumn);
    readRows(db, tableName, [&rows](const QVariantList& values, const QString& unfit) {
        rows.append(values, unfit);
    });
    return rows;
}

QString sha256Of(const QString& file) {
    // Through SQLite's file layer: a descriptor of our own, closed, would drop the locks of
    // any connection this process has open on the file.
    // A block at a time: the file may be larger than the report's memory should grow.
    QString error;
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!database_file::readBlocks(file, [&hash](QByteArrayView block) { hash.addData(block); },
                                   &error))
        throw RecordError(error);
    return QString::fromLatin1(hash.result().toHex());
}

} // namespace

ReportRecords ReportRecords::load(const QString& databaseFile) {
    ReportRecords r;
    r.file = QFileInfo(databaseFile).absoluteFilePath();
    if (!QFileInfo(r.file).isFile())
        throw RecordError(QStringLiteral("%1 is not a record file").arg(r.file));
    {
        // Every table at one moment.
        RecordsConnection db(r.file, RecordsConnection::Mode::Read);
        db.begin();
        r.scenes = packed(db, QStringLiteral("Scene Records"), "Module_Addr");
        r.irCodes = packed(db, QStringLiteral("IR Records"), "Module_Addr");
        r.timers = packed(db, QStringLiteral("Timer Records"));
        r.events = packed(db, QStringLiteral("Event Records"));
        r.bindings = packed(db, QStringLiteral("Bind Records"), "Input_Addr");
        const QString monitor = QStringLiteral("Monitor Bind Records");
        const QStringList columns = columnsOf(monitor);
        readRows(db, monitor, [&](const QVariantList& values, const QString& unfit) {
            r.monitor << Row{columns, values, unfit};
        });
        db.commit();
    }
    // After the reads: an open that rolled a journal back has changed the bytes.
    r.sha256 = sha256Of(r.file);
    return r;
}

QList<int> ReportRecords::owners() const {
    QSet<int> found;
    for (const PackedRows* rows : {&scenes, &irCodes, &bindings})
        for (int n : rows->groups())
            if (n >= 0)
                found.insert(n);
    for (const Row& slot : monitor)
        if (slot.number("Address").value_or(0) != 0)
            found.insert(0xFF);
    QList<int> out(found.begin(), found.end());
    std::sort(out.begin(), out.end());
    return out;
}

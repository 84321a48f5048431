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

// One row at a time straight from the file, so that a table is never held twice (a table's
// rows and the report's).
QList<ReportRecords::Row> rowsOf(const RecordsConnection& db, const QString& tableName) {
    const schema::TableDef& def = *schema::findTable(tableName);
    QStringList columns;
    for (const schema::ColumnDef& c : def.columns)
        columns << c.name;
    QList<ReportRecords::Row> rows;
    db.forEachRow(def, [&](const StoredRow& stored) {
        ReportRecords::Row row{columns, stored.values, {}};
        for (int c = 0; c < columns.size() && row.unfit.isEmpty(); ++c)
            row.unfit = records_values::problem(tableName, columns.at(c), stored.values.at(c));
        rows << row;
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

QVariant ReportRecords::Row::value(const char* column) const {
    const qsizetype i = columns.indexOf(QLatin1String(column));
    return i < 0 ? QVariant() : values.at(i);
}

QString ReportRecords::Row::text(const char* column) const {
    return value(column).toString();
}

std::optional<int> ReportRecords::Row::number(const char* column) const {
    const QVariant v = value(column);
    bool ok = false;
    const qlonglong n = v.toLongLong(&ok);
    if (v.isNull() || !ok || n < INT_MIN || n > INT_MAX)
        return std::nullopt;
    return int(n);
}

ReportRecords ReportRecords::load(const QString& databaseFile) {
    ReportRecords r;
    r.file = QFileInfo(databaseFile).absoluteFilePath();
    if (!QFileInfo(r.file).isFile())
        throw RecordError(QStringLiteral("%1 is not a record file").arg(r.file));
    {
        // Every table at one moment.
        RecordsConnection db(r.file, RecordsConnection::Mode::Read);
        db.begin();
        r.scenes = rowsOf(db, QStringLiteral("Scene Records"));
        r.irCodes = rowsOf(db, QStringLiteral("IR Records"));
        r.timers = rowsOf(db, QStringLiteral("Timer Records"));
        r.events = rowsOf(db, QStringLiteral("Event Records"));
        r.bindings = rowsOf(db, QStringLiteral("Bind Records"));
        r.monitor = rowsOf(db, QStringLiteral("Monitor Bind Records"));
        db.commit();
    }
    // After the reads: an open that rolled a journal back has changed the bytes.
    r.sha256 = sha256Of(r.file);
    return r;
}

QList<int> ReportRecords::owners() const {
    QSet<int> found;
    const auto take = [&found](const QList<Row>& rows, const char* column) {
        for (const Row& row : rows)
            if (const auto n = row.number(column); n && *n >= 0)
                found.insert(*n);
    };
    take(scenes, "Module_Addr");
    take(irCodes, "Module_Addr");
    take(bindings, "Input_Addr");
    for (const Row& slot : monitor)
        if (slot.number("Address").value_or(0) != 0)
            found.insert(0xFF);
    QList<int> out(found.begin(), found.end());
    std::sort(out.begin(), out.end());
    return out;
}

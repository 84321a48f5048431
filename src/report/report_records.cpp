#include "report/report_records.h"

#include "records/database_file.h"
#include "records/record_table.h"
#include "records/records_values.h"

#include <QCryptographicHash>
#include <QFileInfo>

#include <algorithm>
#include <climits>

namespace {

QList<ReportRecords::Row> rowsOf(const QString& file, const QString& tableName) {
    RecordTable table(tableName);
    table.open(file, RecordTable::OpenMode::ReadOnly);
    const QStringList columns = table.columns();
    QList<ReportRecords::Row> rows;
    for (int r = 0; r < table.rowCount(); ++r) {
        ReportRecords::Row row;
        row.columns = columns;
        for (int c = 0; c < columns.size(); ++c) {
            const QVariant v = table.valueAt(r, c);
            row.values << v;
            if (row.unfit.isEmpty())
                row.unfit = records_values::problem(tableName, columns.at(c), v);
        }
        rows << row;
    }
    return rows;
}

QString sha256Of(const QString& file) {
    // Through SQLite's file layer: a descriptor of our own, closed, would drop the locks of
    // any connection this process has open on the file.
    QString error;
    const QByteArray bytes = database_file::readBytes(file, -1, &error);
    if (!error.isEmpty())
        throw RecordError(error);
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
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
    r.scenes = rowsOf(r.file, QStringLiteral("Scene Records"));
    r.irCodes = rowsOf(r.file, QStringLiteral("IR Records"));
    r.timers = rowsOf(r.file, QStringLiteral("Timer Records"));
    r.events = rowsOf(r.file, QStringLiteral("Event Records"));
    r.bindings = rowsOf(r.file, QStringLiteral("Bind Records"));
    r.monitor = rowsOf(r.file, QStringLiteral("Monitor Bind Records"));
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

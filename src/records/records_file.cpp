#include "records/records_file.h"

#include "records/record_table.h"
#include "records/records_values.h"
#include "records/strict_json.h"
#include "records/visible_text.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

// A value as a message shows it: 7, "7", true, null, [...]
QString shown(const QJsonValue& v) {
    if (v.isString())
        return visible_text::quoted(v.toString());
    if (v.isArray())
        return QStringLiteral("a list");
    if (v.isObject())
        return QStringLiteral("an object");
    if (v.isBool())
        return v.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    return QString::number(v.toDouble(), 'g', 17);
}

// Whole numbers come as integers; a double is taken when it is whole and within qint64.
bool wholeNumber(const QJsonValue& v, qint64* out) {
    if (!v.isDouble())
        return false;
    // Both fallbacks come back only when the value is not a whole number in range.
    const qint64 a = v.toInteger(0);
    if (a != v.toInteger(1))
        return false;
    *out = a;
    return true;
}

using ColumnIndex = QHash<QString, int>;

// A row of the file as values in column order; throws RecordError for a row that is not an
// object of known columns of the right types.
QVariantList readRow(const QJsonValue& value, const schema::TableDef& def, const ColumnIndex& index,
                     const QString& where) {
    if (!value.isObject())
        throw RecordError(QStringLiteral("%1: not an object of columns").arg(where));
    const QJsonObject row = value.toObject();
    QVariantList values(def.columns.size());
    for (auto it = row.begin(); it != row.end(); ++it) {
        const auto found = index.constFind(it.key());
        if (found == index.constEnd())
            throw RecordError(QStringLiteral("%1: unknown column \"%2\"")
                                  .arg(where, visible_text::escaped(it.key())));
        const schema::ColumnDef& col = def.columns[*found];
        const QJsonValue v = it.value();
        if (v.isNull())
            continue; // a null stays empty, as a column left out does
        if (col.integer) {
            qint64 number = 0;
            if (!wholeNumber(v, &number))
                throw RecordError(QStringLiteral("%1: %2 must be a whole number, not %3")
                                      .arg(where, col.name, shown(v)));
            values[*found] = number;
        } else {
            if (!v.isString())
                throw RecordError(
                    QStringLiteral("%1: %2 must be a text, not %3").arg(where, col.name, shown(v)));
            values[*found] = v.toString();
        }
    }
    return values;
}

// A monitor slot is named by its Order; two rows for one slot would leave which one wins to
// chance. Each such row joins the table's unfit rows.
void checkSlots(records_format::TableRows& t, const QList<int>& rowNumbers) {
    int column = 0;
    while (column < t.table->columns.size() &&
           t.table->columns[column].name != QLatin1StringView("Order"))
        ++column;
    QHash<qint64, int> seen;
    for (int r = 0; r < t.rows.size(); ++r) {
        const QVariant order = t.rows[r].value(column);
        const int rowNo = rowNumbers[r];
        if (order.isNull()) {
            t.unfit << QStringLiteral("%1 row %2: Order is missing (it names the slot)")
                           .arg(t.table->name)
                           .arg(rowNo);
            continue;
        }
        const auto first = seen.constFind(order.toLongLong());
        if (first != seen.constEnd())
            t.unfit << QStringLiteral("%1 rows %2 and %3: both for slot Order %4")
                           .arg(t.table->name)
                           .arg(*first)
                           .arg(rowNo)
                           .arg(order.toLongLong());
        else
            seen.insert(order.toLongLong(), rowNo);
    }
}

int lineOf(const QByteArray& bytes, int offset) {
    return int(bytes.left(offset).count('\n')) + 1;
}

} // namespace

RecordsFile RecordsFile::parse(const QByteArray& bytes) {
    const QByteArray text = bytes.startsWith("\xEF\xBB\xBF") ? bytes.mid(3) : bytes;
    // Qt's reader takes more than JSON, and takes some numbers other than written.
    if (const auto fault = strict_json::check(bytes)) {
        // A row of column names: one of the CSV files an export writes for spreadsheets.
        const QByteArray firstLine = text.left(text.indexOf('\n')).trimmed();
        if (!firstLine.startsWith('{') && !firstLine.startsWith('[') && firstLine.contains(','))
            throw RecordError(QStringLiteral("this is a CSV file, not the JSON file of an export: "
                                             "the CSV files are for spreadsheets, only the JSON "
                                             "export can be imported"));
        throw RecordError(
            QStringLiteral("line %1: not JSON (%2)").arg(fault->line).arg(fault->what));
    }
    // JSON, but a lone value at the top ("7"), which Qt's reader would call not JSON.
    if (!text.trimmed().startsWith('{'))
        throw RecordError(QStringLiteral("not a VELM records file (no object at the top)"));
    QJsonParseError error;
    const QJsonDocument doc =
        QJsonDocument::fromJson(strict_json::byteOrderMarksEscaped(bytes), &error);
    if (error.error != QJsonParseError::NoError)
        throw RecordError(QStringLiteral("line %1: not JSON (%2)")
                              .arg(lineOf(bytes, error.offset))
                              .arg(error.errorString()));
    if (!doc.isObject())
        throw RecordError(QStringLiteral("not a VELM records file (no object at the top)"));
    const QJsonObject top = doc.object();
    const QJsonValue format = top.value(QLatin1StringView("format"));
    if (format.toString() != QLatin1StringView(records_format::formatName))
        throw RecordError(
            format.isUndefined()
                ? QStringLiteral("not a VELM records file (no \"format\")")
                : QStringLiteral("not a VELM records file (its format is %1, not \"%2\")")
                      .arg(shown(format), QLatin1StringView(records_format::formatName)));
    const QJsonValue version = top.value(QLatin1StringView("version"));
    qint64 v = 0;
    if (!wholeNumber(version, &v) || v < 1)
        throw RecordError(
            QStringLiteral("version %1 is not a version of the VELM records format")
                .arg(version.isUndefined() ? QStringLiteral("(none)") : shown(version)));
    if (v > records_format::version)
        throw RecordError(QStringLiteral("version %1 is newer than this tool reads (version %2)")
                              .arg(v)
                              .arg(records_format::version));
    const QJsonValue tables = top.value(QLatin1StringView("tables"));
    if (!tables.isObject())
        throw RecordError(QStringLiteral("no \"tables\" object"));
    const QJsonObject byName = tables.toObject();
    for (auto it = byName.begin(); it != byName.end(); ++it) {
        if (!schema::findTable(it.key()))
            throw RecordError(
                QStringLiteral("unknown table \"%1\"").arg(visible_text::escaped(it.key())));
    }

    RecordsFile file;
    file.m_exported = top.value(QLatin1StringView("exported")).toString();
    for (const schema::TableDef& def : schema::tables()) {
        const QJsonValue rows = byName.value(def.name);
        if (rows.isUndefined())
            continue;
        if (!rows.isArray())
            throw RecordError(QStringLiteral("%1: not a list of rows").arg(def.name));
        records_format::TableRows t{&def, {}, {}};
        const QJsonArray array = rows.toArray();
        ColumnIndex index;
        QStringList columns;
        for (int c = 0; c < def.columns.size(); ++c) {
            index.insert(def.columns[c].name, c);
            columns << def.columns[c].name;
        }
        // A bad row is noted, not thrown: only an import of this table refuses the file for
        // it, naming every bad row.
        QList<int> rowNumbers;
        t.rows.reserve(array.size());
        for (int r = 0; r < array.size(); ++r) {
            const QString where = QStringLiteral("%1 row %2").arg(def.name).arg(r + 1);
            try {
                QVariantList values = readRow(array.at(r), def, index, where);
                const QString why = records_values::rowProblem(def.name, columns, values);
                if (!why.isEmpty())
                    throw RecordError(QStringLiteral("%1: %2").arg(where, why));
                t.rows << values;
                rowNumbers << r + 1;
            } catch (const RecordError& e) {
                t.unfit << QString::fromStdString(e.what());
            }
        }
        if (records_format::isMonitor(def.name))
            checkSlots(t, rowNumbers);
        file.m_tables << t;
    }
    return file;
}

RecordsFile RecordsFile::load(const QString& path) {
    const QString name = QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
    QFile f(path);
    if (!QFileInfo(path).isFile() || !f.open(QIODevice::ReadOnly))
        throw RecordError(QStringLiteral("Can not read %1: %2")
                              .arg(name, QFileInfo::exists(path) ? f.errorString()
                                                                 : QStringLiteral("no such file")));
    const QByteArray bytes = f.readAll();
    try {
        return parse(bytes);
    } catch (const RecordError& e) {
        throw RecordError(QStringLiteral("%1: %2").arg(name, QString::fromStdString(e.what())));
    }
}

RecordsFile RecordsFile::of(const QList<records_format::TableRows>& tables) {
    RecordsFile file;
    file.m_tables = tables;
    return file;
}

const records_format::TableRows* RecordsFile::find(const QString& tableName) const {
    for (const records_format::TableRows& t : m_tables) {
        if (t.table->name == tableName)
            return &t;
    }
    return nullptr;
}

QStringList RecordsFile::tableNames() const {
    QStringList names;
    for (const records_format::TableRows& t : m_tables)
        names << t.table->name;
    return names;
}

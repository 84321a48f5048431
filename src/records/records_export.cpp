#include "records/records_export.h"

#include "records/database_file.h"
#include "records/record_table.h"
#include "records/records_connection.h"
#include "records/strict_json.h"
#include "records/whole_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace records_export {

namespace {

void appendJsonString(QByteArray& out, const QString& text) {
    out += '"';
    const QByteArray utf8 = text.toUtf8();
    for (const char ch : utf8) {
        const auto c = static_cast<unsigned char>(ch);
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\b':
            out += "\\b";
            break;
        case '\f':
            out += "\\f";
            break;
        default:
            if (c < 0x20)
                out += QByteArray("\\u00") + QByteArray::number(c, 16).rightJustified(2, '0');
            else
                out += ch; // UTF-8 as it stands: non-ASCII text stays readable
        }
    }
    out += '"';
}

void appendJsonValue(QByteArray& out, const QVariant& v) {
    if (v.isNull())
        out += "null";
    else if (v.typeId() == QMetaType::LongLong)
        out += QByteArray::number(v.toLongLong());
    else if (v.typeId() == QMetaType::Double && qIsFinite(v.toDouble()))
        out += QByteArray::number(v.toDouble(), 'g', 17);
    else
        appendJsonString(out, v.toString());
}

void appendCsvField(QByteArray& out, const QVariant& v, bool integer) {
    if (v.isNull())
        return;
    QString text = v.toString();
    const bool plainNumber = integer && v.typeId() == QMetaType::LongLong;
    // A spreadsheet runs a cell that begins like a formula ("=HYPERLINK(...)"); a leading '
    // makes it show as the text it is. Numbers stay numbers.
    if (!plainNumber && !text.isEmpty() && QStringLiteral("=+-@\t\r").contains(text.front()))
        text.prepend(u'\'');
    const bool quote =
        !plainNumber && (text.isEmpty() || text.contains(u',') || text.contains(u'"') ||
                         text.contains(u'\n') || text.contains(u'\r'));
    if (!quote) {
        out += text.toUtf8();
        return;
    }
    QString doubled = text;
    doubled.replace(QStringLiteral("\""), QStringLiteral("\"\""));
    out += '"' + doubled.toUtf8() + '"';
}

} // namespace

QList<records_format::TableRows> read(const QString& databaseFile) {
    RecordsConnection db(databaseFile, RecordsConnection::Mode::Read);
    db.begin();
    QList<records_format::TableRows> out;
    for (const schema::TableDef& t : schema::tables()) {
        records_format::TableRows rows{&t, {}, {}};
        const QList<StoredRow> stored = db.rows(t);
        rows.rows.reserve(stored.size());
        for (const StoredRow& r : stored)
            rows.rows << records_format::canonicalRow(r.values, t);
        rows.unfit = records_format::unfitRows(t, rows.rows);
        out << rows;
    }
    db.commit();
    return out;
}

QString unfitWarning(const QList<records_format::TableRows>& tables) {
    QStringList all;
    for (const records_format::TableRows& t : tables)
        all += t.unfit;
    return unfitWarning(all);
}

QString unfitWarning(const QStringList& unfit) {
    const QString summary = records_format::unfitSummary(unfit);
    if (summary.isEmpty())
        return {};
    return QStringLiteral("the record database holds values outside what their columns may "
                          "hold, exported as they are; an import of their tables refuses them "
                          "(%1)")
        .arg(summary);
}

QByteArray jsonHead(const QDateTime& exported) {
    QByteArray out;
    out += "{\n  \"format\": ";
    appendJsonString(out, QLatin1StringView(records_format::formatName));
    out += ",\n  \"version\": " + QByteArray::number(records_format::version);
    out += ",\n  \"exported\": ";
    appendJsonString(out, exported.toOffsetFromUtc(exported.offsetFromUtc()).toString(Qt::ISODate));
    out += ",\n  \"tables\": {";
    return out;
}

QByteArray jsonTableStart(const schema::TableDef& table, bool first) {
    QByteArray out(first ? "\n    " : ",\n    ");
    appendJsonString(out, table.name);
    out += ": [";
    return out;
}

void appendJsonRow(QByteArray& out, const schema::TableDef& table, const QVariantList& row,
                   bool first) {
    out += first ? "\n      {" : ",\n      {";
    for (int c = 0; c < table.columns.size(); ++c) {
        if (c > 0)
            out += ", ";
        appendJsonString(out, table.columns[c].name);
        out += ": ";
        appendJsonValue(out, row.value(c));
    }
    out += '}';
}

QByteArray jsonTableEnd(bool empty) {
    return empty ? "]" : "\n    ]";
}

QByteArray jsonTail() {
    return "\n  }\n}\n";
}

QByteArray json(const QList<records_format::TableRows>& tables, const QDateTime& exported) {
    QByteArray out = jsonHead(exported);
    for (int t = 0; t < tables.size(); ++t) {
        const schema::TableDef& def = *tables[t].table;
        out += jsonTableStart(def, t == 0);
        const QList<QVariantList>& rows = tables[t].rows;
        for (int r = 0; r < rows.size(); ++r)
            appendJsonRow(out, def, rows[r], r == 0);
        out += jsonTableEnd(rows.isEmpty());
    }
    out += jsonTail();
    return strict_json::byteOrderMarksEscaped(out);
}

QByteArray csvHead(const schema::TableDef& table) {
    QByteArray out("\xEF\xBB\xBF");
    for (int c = 0; c < table.columns.size(); ++c) {
        if (c > 0)
            out += ',';
        appendCsvField(out, table.columns[c].name, false);
    }
    out += "\r\n";
    return out;
}

void appendCsvRow(QByteArray& out, const schema::TableDef& table, const QVariantList& row) {
    for (int c = 0; c < table.columns.size(); ++c) {
        if (c > 0)
            out += ',';
        appendCsvField(out, row.value(c), table.columns[c].integer);
    }
    out += "\r\n";
}

QByteArray csv(const records_format::TableRows& table) {
    QByteArray out = csvHead(*table.table);
    for (const QVariantList& row : table.rows)
        appendCsvRow(out, *table.table, row);
    return out;
}

QString csvFileName(const QString& tableName, const QString& prefix) {
    return prefix + tableName + QStringLiteral(".csv");
}

void checkTarget(const QString& file) {
    WholeFile::checkTarget(file);
}

QStringList csvPaths(const QString& folder, const QString& prefix) {
    const QDir dir(folder);
    QStringList paths;
    for (const schema::TableDef& t : schema::tables())
        paths << dir.filePath(csvFileName(t.name, prefix));
    return paths;
}

void checkCsvTargets(const QString& folder, const QString& prefix) {
    const QFileInfo info(folder);
    if (info.exists() && !info.isDir())
        throw RecordError(QStringLiteral("%1 is not a folder").arg(database_file::shown(folder)));
    if (info.isDir()) {
        for (const QString& path : csvPaths(folder, prefix))
            checkTarget(path);
    }
}

int saveJson(const QList<records_format::TableRows>& tables, const QString& file,
             const QDateTime& exported) {
    WholeFile::save({file}, {json(tables, exported)});
    int rows = 0;
    for (const records_format::TableRows& t : tables)
        rows += int(t.rows.size());
    return rows;
}

QStringList saveCsv(const QList<records_format::TableRows>& tables, const QString& folder,
                    const QString& prefix) {
    checkCsvTargets(folder, prefix);
    if (!QFileInfo(folder).isDir() && !QDir().mkpath(folder))
        throw RecordError(
            QStringLiteral("Can not make the folder %1").arg(database_file::shown(folder)));
    const QDir dir(folder);
    QStringList paths;
    QList<QByteArray> contents;
    for (const records_format::TableRows& t : tables) {
        paths << dir.filePath(csvFileName(t.table->name, prefix));
        contents << csv(t);
    }
    WholeFile::save(paths, contents);
    return paths;
}

} // namespace records_export

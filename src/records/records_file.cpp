#include "records/records_file.h"

#include "records/json_walker.h"
#include "records/record_table.h"
#include "records/records_values.h"
#include "records/strict_json.h"
#include "records/visible_text.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMap>
#include <QVarLengthArray>

#include <algorithm>
#include <cmath>
#include <optional>

namespace {

using Scalar = JsonWalker::Scalar;
using Kind = JsonWalker::Kind;

// A value as a message shows it: 7, "7", true, null, [...]
QString shown(const Scalar& v) {
    switch (v.kind) {
    case Kind::Text:
        return visible_text::quoted(v.text);
    case Kind::List:
        return QStringLiteral("a list");
    case Kind::Object:
        return QStringLiteral("an object");
    case Kind::True:
        return QStringLiteral("true");
    case Kind::False:
        return QStringLiteral("false");
    default:
        return QString::number(v.number.toDouble(), 'g', 17);
    }
}

// Whole numbers come as integers; a number with a fraction or an exponent is taken when it is
// whole and within qint64 (as Qt's reader would give it).
bool wholeNumber(const Scalar& v, qint64* out) {
    if (v.kind != Kind::Number)
        return false;
    bool ok = false;
    if (!v.number.contains('.') && !v.number.contains('e') && !v.number.contains('E')) {
        *out = v.number.toLongLong(&ok);
        return ok;
    }
    const double d = v.number.toDouble(&ok);
    constexpr double kTwo63 = 9223372036854775808.0;
    if (!ok || std::trunc(d) != d || d < -kTwo63 || d >= kTwo63)
        return false;
    *out = qint64(d);
    return true;
}

// What a table's rows are read with.
struct RowShape {
    explicit RowShape(const schema::TableDef& table) : def(table) {
        for (int c = 0; c < def.columns.size(); ++c) {
            index.insert(def.columns[c].name, c);
            columns << def.columns[c].name;
            utf8 << def.columns[c].name.toUtf8();
        }
    }
    int columnOf(QByteArrayView raw, bool plain) const {
        if (!plain)
            return index.value(JsonWalker::nameText(raw, plain), -1);
        for (int c = 0; c < utf8.size(); ++c)
            if (utf8[c] == raw)
                return c;
        return -1;
    }
    const schema::TableDef& def;
    QHash<QString, int> index;
    QStringList columns;
    QList<QByteArray> utf8;
};

// One member of a row object as read.
struct Member {
    QByteArrayView raw;
    bool plain = true;
    int column = -1;
    Scalar value;
    QString name() const { return JsonWalker::nameText(raw, plain); }
};

// The first fault of the members in the order given, the values in `values` meanwhile.
QString memberFault(const RowShape& shape, const QVarLengthArray<Member, 16>& members,
                    QVariantList& values) {
    for (const Member& m : members) {
        if (m.column < 0)
            return QStringLiteral("unknown column \"%1\"").arg(visible_text::escaped(m.name()));
        const schema::ColumnDef& col = shape.def.columns[m.column];
        const Scalar& v = m.value;
        if (v.kind == Kind::Null)
            continue; // a null stays empty, as a column left out does
        if (col.integer) {
            qint64 number = 0;
            if (!wholeNumber(v, &number))
                return QStringLiteral("%1 must be a whole number, not %2").arg(col.name, shown(v));
            values[m.column] = number;
        } else {
            if (v.kind != Kind::Text)
                return QStringLiteral("%1 must be a text, not %2").arg(col.name, shown(v));
            values[m.column] = v.text;
        }
    }
    return {};
}

// The row at the walker as values in column order, or why it is not a row of the table: not
// an object of known columns of the right types, or (when `check`) values outside what the
// columns hold. Of two faults, the one of the column whose name sorts first is named, so
// that a message never depends on the order of a row's columns.
QString rowFault(JsonWalker& w, const RowShape& shape, bool check, QVariantList& values) {
    values = QVariantList(shape.def.columns.size());
    if (w.kind() != Kind::Object) {
        w.skip();
        return QStringLiteral("not an object of columns");
    }
    QVarLengthArray<Member, 16> members;
    w.enter();
    while (w.next()) {
        Member m;
        m.raw = w.rawName(&m.plain);
        m.column = shape.columnOf(m.raw, m.plain);
        m.value = w.scalar();
        members.append(std::move(m));
    }
    if (!memberFault(shape, members, values).isEmpty()) {
        std::sort(members.begin(), members.end(),
                  [](const Member& a, const Member& b) { return a.name() < b.name(); });
        values = QVariantList(shape.def.columns.size());
        return memberFault(shape, members, values);
    }
    return check ? records_values::rowProblem(shape.def.name, shape.columns, values) : QString();
}

// Reads the list of rows at `at`: `fit` gets each row that fits with its number (from 1), and
// `unfit` (when given) the message of each one that does not. Without `check` the values
// are taken as they come: for rows checked already.
void readRows(const QByteArray& text, qsizetype at, const schema::TableDef& def, bool check,
              QStringList* unfit, const std::function<void(int, const QVariantList&)>& fit) {
    const RowShape shape(def);
    JsonWalker w(text, at);
    w.enter();
    QVariantList values;
    for (int number = 1; w.next(); ++number) {
        const QString why = rowFault(w, shape, check, values);
        if (why.isEmpty())
            fit(number, values);
        else if (unfit)
            *unfit << QStringLiteral("%1 row %2: %3").arg(def.name, QString::number(number), why);
    }
}

// A monitor slot is named by its Order; two rows for one slot would leave which one wins to
// chance. Such rows join the table's unfit rows, after the rows unfit on their own.
class SlotCheck {
public:
    explicit SlotCheck(const schema::TableDef& def) : m_def(def) {
        while (m_column < def.columns.size() &&
               def.columns[m_column].name != QLatin1StringView("Order"))
            ++m_column;
    }
    void take(int rowNo, const QVariantList& row) {
        const QVariant order = row.value(m_column);
        if (order.isNull()) {
            m_faults << QStringLiteral("%1 row %2: Order is missing (it names the slot)")
                            .arg(m_def.name)
                            .arg(rowNo);
            return;
        }
        const auto first = m_seen.constFind(order.toLongLong());
        if (first != m_seen.constEnd())
            m_faults << QStringLiteral("%1 rows %2 and %3: both for slot Order %4")
                            .arg(m_def.name)
                            .arg(*first)
                            .arg(rowNo)
                            .arg(order.toLongLong());
        else
            m_seen.insert(order.toLongLong(), rowNo);
    }
    const QStringList& faults() const { return m_faults; }

private:
    const schema::TableDef& m_def;
    int m_column = 0;
    QHash<qint64, int> m_seen;
    QStringList m_faults;
};

} // namespace

RecordsFile RecordsFile::parse(const QByteArray& bytes) {
    // Qt's reader takes more than JSON, and takes some numbers other than written: the file is
    // checked whole first, then walked.
    if (const auto fault = strict_json::check(bytes)) {
        // A row of column names: one of the CSV files an export writes for spreadsheets.
        const qsizetype start = bytes.startsWith("\xEF\xBB\xBF") ? 3 : 0;
        const qsizetype end = bytes.indexOf('\n', start);
        const QByteArray firstLine = bytes.mid(start, end < 0 ? -1 : end - start).trimmed();
        if (!firstLine.startsWith('{') && !firstLine.startsWith('[') && firstLine.contains(','))
            throw RecordError(QStringLiteral("this is a CSV file, not the JSON file of an export: "
                                             "the CSV files are for spreadsheets, only the JSON "
                                             "export can be imported"));
        throw RecordError(
            QStringLiteral("line %1: not JSON (%2)").arg(fault->line).arg(fault->what));
    }
    JsonWalker top(bytes);
    // JSON, but a lone value at the top ("7").
    if (top.kind() != Kind::Object)
        throw RecordError(QStringLiteral("not a VELM records file (no object at the top)"));
    std::optional<Scalar> format, version, exported;
    qsizetype tablesAt = -1;
    top.enter();
    while (top.next()) {
        const QString name = top.name();
        if (name == QLatin1StringView("format"))
            format = top.scalar();
        else if (name == QLatin1StringView("version"))
            version = top.scalar();
        else if (name == QLatin1StringView("exported"))
            exported = top.scalar();
        else if (name == QLatin1StringView("tables") && top.kind() == Kind::Object)
            tablesAt = top.at();
        if (name != QLatin1StringView("format") && name != QLatin1StringView("version") &&
            name != QLatin1StringView("exported"))
            top.skip();
    }
    if (!format || format->kind != Kind::Text ||
        format->text != QLatin1StringView(records_format::formatName))
        throw RecordError(
            !format ? QStringLiteral("not a VELM records file (no \"format\")")
                    : QStringLiteral("not a VELM records file (its format is %1, not \"%2\")")
                          .arg(shown(*format), QLatin1StringView(records_format::formatName)));
    qint64 v = 0;
    if (!version || !wholeNumber(*version, &v) || v < 1)
        throw RecordError(QStringLiteral("version %1 is not a version of the VELM records format")
                              .arg(version ? shown(*version) : QStringLiteral("(none)")));
    if (v > records_format::version)
        throw RecordError(QStringLiteral("version %1 is newer than this tool reads (version %2)")
                              .arg(v)
                              .arg(records_format::version));
    if (tablesAt < 0)
        throw RecordError(QStringLiteral("no \"tables\" object"));
    QMap<QString, qsizetype> byName; // in the order of their names, as messages take them
    JsonWalker tables(bytes, tablesAt);
    tables.enter();
    while (tables.next()) {
        const QString name = tables.name();
        byName.insert(name, tables.at());
        tables.skip();
    }
    for (auto it = byName.cbegin(); it != byName.cend(); ++it) {
        if (!schema::findTable(it.key()))
            throw RecordError(
                QStringLiteral("unknown table \"%1\"").arg(visible_text::escaped(it.key())));
    }

    RecordsFile file;
    file.m_text = bytes;
    if (exported && exported->kind == Kind::Text)
        file.m_exported = exported->text;
    for (const schema::TableDef& def : schema::tables()) {
        const auto at = byName.constFind(def.name);
        if (at == byName.cend())
            continue;
        JsonWalker rows(bytes, *at);
        if (rows.kind() != Kind::List)
            throw RecordError(QStringLiteral("%1: not a list of rows").arg(def.name));
        // A bad row is noted, not thrown: only an import of this table refuses the file for
        // it, naming every bad row.
        records_format::TableRows t{&def, {}, {}};
        Span span{rows.at(), 0};
        SlotCheck slotCheck(def);
        const bool monitor = records_format::isMonitor(def.name);
        readRows(bytes, span.at, def, true, &t.unfit, [&](int number, const QVariantList& values) {
            ++span.fit;
            if (monitor)
                slotCheck.take(number, values);
        });
        span.allFit = t.unfit.isEmpty();
        t.unfit << slotCheck.faults();
        file.m_tables << t;
        file.m_spans << span;
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

const RecordsFile::Span* RecordsFile::spanOf(const records_format::TableRows& table) const {
    for (int i = 0; i < m_spans.size(); ++i) {
        if (m_tables[i].table == table.table)
            return &m_spans[i];
    }
    return nullptr;
}

void RecordsFile::forEachRow(const records_format::TableRows& table,
                             const std::function<void(int, const QVariantList&)>& visit) const {
    const Span* span = spanOf(table);
    if (!span) {
        for (int i = 0; i < table.rows.size(); ++i)
            visit(i, table.rows[i]);
        return;
    }
    int index = 0;
    // Rows that all fit need no second check.
    readRows(m_text, span->at, *table.table, !span->allFit, nullptr,
             [&](int, const QVariantList& values) { visit(index++, values); });
}

int RecordsFile::rowCount(const records_format::TableRows& table) const {
    const Span* span = spanOf(table);
    return span ? span->fit : int(table.rows.size());
}

QList<QVariantList> RecordsFile::rows(const records_format::TableRows& table) const {
    QList<QVariantList> out;
    forEachRow(table, [&out](int, const QVariantList& values) { out << values; });
    return out;
}

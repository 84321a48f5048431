#include "records/records_format.h"

#include "records/records_values.h"

#include <QHash>

#include <cmath>

namespace records_format {

QVariant canonical(const QVariant& stored, bool integer) {
    if (!stored.isValid() || stored.isNull())
        return QVariant();
    if (!integer)
        return stored.toString();
    switch (stored.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        return qint64(stored.toLongLong());
    case QMetaType::Double: {
        const double d = stored.toDouble();
        if (std::trunc(d) == d && std::fabs(d) < 9.0e15)
            return qint64(d);
        return d;
    }
    default:
        return stored.toString();
    }
}

QVariantList canonicalRow(const QVariantList& stored, const schema::TableDef& table) {
    QVariantList out;
    out.reserve(table.columns.size());
    for (int c = 0; c < table.columns.size(); ++c)
        out << canonical(stored.value(c), table.columns[c].integer);
    return out;
}

QString unfitSummary(const QList<const TableRows*>& tables) {
    QStringList all;
    for (const TableRows* t : tables)
        all += t->unfit;
    return unfitSummary(all);
}

QString unfitSummary(const QStringList& all) {
    constexpr int kShown = 10;
    if (all.size() <= 1)
        return all.value(0);
    QString text = QStringLiteral("%1 rows do not fit: %2")
                       .arg(all.size())
                       .arg(all.mid(0, kShown).join(QStringLiteral("; ")));
    if (all.size() > kShown)
        text += QStringLiteral("; and %1 more").arg(all.size() - kShown);
    return text;
}

QStringList unfitRows(const schema::TableDef& table, const QList<QVariantList>& rows) {
    QStringList out;
    for (int r = 0; r < rows.size(); ++r) {
        if (QString why = unfitRow(table, rows[r], r + 1); !why.isEmpty())
            out << why;
    }
    return out;
}

QString unfitRow(const schema::TableDef& table, const QVariantList& row, int number) {
    QStringList columns;
    for (const schema::ColumnDef& c : table.columns)
        columns << c.name;
    const QString why = records_values::rowProblem(table.name, columns, row);
    return why.isEmpty() ? why
                         : QStringLiteral("%1 row %2: %3").arg(table.name).arg(number).arg(why);
}

QStringList identityColumns(const QString& tableName) {
    static const QHash<QString, QStringList> keys = {
        {QStringLiteral("Scene Records"), {"Scene_No", "Module_Addr"}},
        {QStringLiteral("IR Records"), {"Module_Addr", "IR_No"}},
        {QStringLiteral("Timer Records"), {"Timer_Order"}},
        {QStringLiteral("Event Records"), {"Timer_Order", "Event_Order"}},
        {QStringLiteral("Bind Records"), {"Input_Addr", "Input_Channel"}},
        {QStringLiteral("Monitor Bind Records"), {"Order"}},
    };
    return keys.value(tableName);
}

} // namespace records_format

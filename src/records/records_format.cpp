#include "records/records_format.h"

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

#include "records/filters.h"

#include "records/record_table.h"

QString eventTimerFilter(int itemIndex) {
    return itemIndex <= 0 ? QString() : QStringLiteral("Timer_Order='%1'").arg(itemIndex);
}

QString bindModuleFilter(int value) {
    return value == 0 ? QString() : QStringLiteral("Input_addr='%1'").arg(value);
}

QString monitorTypeFilter(const QString& itemText) {
    if (itemText == QLatin1StringView("Light") || itemText == QLatin1StringView("Curtain") ||
        itemText == QLatin1StringView("AC"))
        return QStringLiteral("Device_Type like *%1*").arg(itemText);
    return QString(); // "All"
}

QString sortExpression(RecordStore::Table table, int itemIndex) {
    static const char* const keys[RecordStore::Count][2] = {
        {"Scene_No", "Module_Addr"},    {"IR_No", "Module_Addr"},        {"Timer_Order", nullptr},
        {"Timer_Order", "Event_Order"}, {"Input_Addr", "Input_Channel"}, {"Order", nullptr},
    };
    if (table < 0 || table >= RecordStore::Count || (itemIndex != 1 && itemIndex != 2))
        return QString(); // "Default"
    const QString direction = itemIndex == 1 ? QStringLiteral(" ASC") : QStringLiteral(" DESC");
    QString expression = QLatin1StringView(keys[table][0]) + direction;
    if (keys[table][1])
        expression += u',' + QLatin1StringView(keys[table][1]) + direction;
    return expression;
}

namespace {

void clearBinding(RecordTable& table) {
    table.edit();
    table.setField(QStringLiteral("Address"), 0);
    table.setField(QStringLiteral("Channel"), 0);
    table.post();
}

} // namespace

bool deleteCurrentRecord(RecordTable& table, bool monitor) {
    if (table.eof())
        return false;
    if (monitor)
        clearBinding(table);
    else
        table.deleteCurrent();
    return true;
}

bool deleteAllRecords(RecordTable& table, bool monitor) {
    table.first();
    if (table.eof())
        return false;
    // One statement in one transaction: the rows go (or their bindings clear) at once, one
    // disk flush, and a failure half-way changes nothing.
    if (monitor)
        table.setVisible({QStringLiteral("Address"), QStringLiteral("Channel")}, {0, 0});
    else
        table.deleteVisible();
    return true;
}

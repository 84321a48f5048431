#include "jobs/module_records.h"

#include "records/record_table.h"
#include "records/records_values.h"

#include <algorithm>
#include <climits>

namespace {

// The rows of one table, read through a table opened for reading only.
class TableRows {
public:
    TableRows(const QString& file, const QString& name) : m_name(name), m_table(name) {
        m_table.open(file, RecordTable::OpenMode::ReadOnly);
        m_columns = m_table.columns();
    }
    int count() const { return m_table.rowCount(); }
    // A number beyond int stays beyond what any column may hold instead of wrapping.
    int number(int row, const char* column) const {
        return int(std::clamp<qint64>(value(row, column).toLongLong(), INT_MIN, INT_MAX));
    }
    QString text(int row, const char* column) const { return value(row, column).toString(); }
    // What of the row's `columns` a request could not carry; empty when all of it fits.
    QString unfit(int row, std::initializer_list<const char*> columns) const {
        for (const char* column : columns) {
            const QString why =
                records_values::requestProblem(m_name, QLatin1String(column), value(row, column));
            if (!why.isEmpty())
                return why;
        }
        return {};
    }

private:
    QVariant value(int row, const char* column) const {
        return m_table.valueAt(row, int(m_columns.indexOf(QLatin1String(column))));
    }
    QString m_name;
    RecordTable m_table;
    QStringList m_columns;
};

} // namespace

ModuleRecords ModuleRecords::load(const QString& file, int module, bool withTimers) {
    ModuleRecords r;
    r.module = module;
    r.withTimers = withTimers;
    if (module == kBusSwitch) {
        TableRows t(file, QStringLiteral("Monitor Bind Records"));
        for (int i = 0; i < t.count(); ++i)
            r.monitor << MonitorSlot{
                t.number(i, "Order"),
                t.number(i, "Room_No"),
                t.number(i, "Device_No"),
                t.number(i, "Address"),
                t.number(i, "Channel"),
                t.unfit(i, {"Order", "Room_No", "Device_No", "Address", "Channel"})};
        return r;
    }
    {
        TableRows t(file, QStringLiteral("Scene Records"));
        for (int i = 0; i < t.count(); ++i) {
            if (t.number(i, "Module_Addr") != module)
                continue;
            // The channel texts are checked by the plan: only those that go out count.
            Scene s{
                t.number(i, "Scene_No"), t.text(i, "Information"), {}, t.unfit(i, {"Scene_No"})};
            for (int ch = 1; ch <= 8; ++ch)
                s.channels << t.text(i, QStringLiteral("CH%1").arg(ch).toLatin1().constData());
            r.scenes << s;
        }
    }
    {
        TableRows t(file, QStringLiteral("IR Records"));
        for (int i = 0; i < t.count(); ++i)
            if (t.number(i, "Module_Addr") == module)
                r.irCodes << IrCode{t.number(i, "IR_No"), t.text(i, "Information")};
    }
    {
        TableRows t(file, QStringLiteral("Bind Records"));
        for (int i = 0; i < t.count(); ++i)
            if (t.number(i, "Input_Addr") == module)
                r.bindings << Binding{
                    t.number(i, "Input_Channel"),
                    t.text(i, "Trigger_Mode"),
                    t.number(i, "Trigger_Delay"),
                    t.number(i, "Output_Addr"),
                    t.number(i, "Output_Channel"),
                    t.text(i, "Action"),
                    t.number(i, "Parameter"),
                    t.unfit(i, {"Input_Channel", "Trigger_Mode", "Trigger_Delay", "Output_Addr",
                                "Output_Channel", "Action", "Parameter"})};
    }
    if (!withTimers)
        return r;
    {
        TableRows t(file, QStringLiteral("Timer Records"));
        for (int i = 0; i < t.count(); ++i)
            r.timers << Timer{t.number(i, "Timer_Order"), t.text(i, "Time"),
                              t.text(i, "Timer_Mode"),
                              t.unfit(i, {"Timer_Order", "Time", "Timer_Mode"})};
    }
    {
        TableRows t(file, QStringLiteral("Event Records"));
        for (int i = 0; i < t.count(); ++i)
            r.events << Event{t.number(i, "Timer_Order"),
                              t.number(i, "Event_Order"),
                              t.number(i, "Address"),
                              t.number(i, "Channel"),
                              t.number(i, "Parameter"),
                              t.text(i, "Action"),
                              t.unfit(i, {"Timer_Order", "Event_Order", "Address", "Channel",
                                          "Parameter", "Action"})};
    }
    return r;
}

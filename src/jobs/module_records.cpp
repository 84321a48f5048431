#include "jobs/module_records.h"

#include "records/record_table.h"

namespace {

// The rows of one table, read through a table opened for reading only.
class TableRows {
public:
    TableRows(const QString& file, const QString& name) : m_table(name) {
        m_table.open(file, RecordTable::OpenMode::ReadOnly);
        m_columns = m_table.columns();
    }
    int count() const { return m_table.rowCount(); }
    int number(int row, const char* column) const { return value(row, column).toInt(); }
    QString text(int row, const char* column) const { return value(row, column).toString(); }

private:
    QVariant value(int row, const char* column) const {
        return m_table.valueAt(row, int(m_columns.indexOf(QLatin1String(column))));
    }
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
            r.monitor << MonitorSlot{t.number(i, "Order"), t.number(i, "Room_No"),
                                     t.number(i, "Device_No"), t.number(i, "Address"),
                                     t.number(i, "Channel")};
        return r;
    }
    {
        TableRows t(file, QStringLiteral("Scene Records"));
        for (int i = 0; i < t.count(); ++i) {
            if (t.number(i, "Module_Addr") != module)
                continue;
            Scene s{t.number(i, "Scene_No"), t.text(i, "Information"), {}};
            for (int ch = 1; ch <= 8; ++ch)
                s.channels << t.text(i, QStringLiteral("CH%1").arg(ch).toLatin1().constData());
            r.scenes << s;
        }
    }
    {
        TableRows t(file, QStringLiteral("IR Records"));
        for (int i = 0; i < t.count(); ++i)
            r.irCodes += t.number(i, "Module_Addr") == module ? 1 : 0;
    }
    {
        TableRows t(file, QStringLiteral("Bind Records"));
        for (int i = 0; i < t.count(); ++i)
            if (t.number(i, "Input_Addr") == module)
                r.bindings << Binding{t.number(i, "Input_Channel"),  t.text(i, "Trigger_Mode"),
                                      t.number(i, "Trigger_Delay"),  t.number(i, "Output_Addr"),
                                      t.number(i, "Output_Channel"), t.text(i, "Action"),
                                      t.number(i, "Parameter")};
    }
    if (!withTimers)
        return r;
    {
        TableRows t(file, QStringLiteral("Timer Records"));
        for (int i = 0; i < t.count(); ++i)
            r.timers << Timer{t.number(i, "Timer_Order"), t.text(i, "Time"),
                              t.text(i, "Timer_Mode")};
    }
    {
        TableRows t(file, QStringLiteral("Event Records"));
        for (int i = 0; i < t.count(); ++i)
            r.events << Event{t.number(i, "Timer_Order"), t.number(i, "Event_Order"),
                              t.number(i, "Address"),     t.number(i, "Channel"),
                              t.number(i, "Parameter"),   t.text(i, "Action")};
    }
    return r;
}

#pragma once

#include "records/record_table.h"

#include <QStringList>

#include <array>
#include <functional>

// The six tables of the record database, in the order start-up opens them.
class RecordStore {
public:
    enum Table { Scenes, Ir, Timers, Events, Binds, Monitor, Count };

    RecordStore();

    RecordTable& table(Table t) { return *m_tables[size_t(t)]; }
    RecordTable& scenes() { return table(Scenes); }   // ADOTable1 "Scene Records"
    RecordTable& ir() { return table(Ir); }           // ADOTable2 "IR Records"
    RecordTable& timers() { return table(Timers); }   // ADOTable3 "Timer Records"
    RecordTable& events() { return table(Events); }   // ADOTable4 "Event Records"
    RecordTable& binds() { return table(Binds); }     // ADOTable5 "Bind Records"
    RecordTable& monitor() { return table(Monitor); } // ADOTable6 "Monitor Bind Records"

    // Opens the six tables one after the other from the file. A table that cannot be opened
    // is reported at once, before the next is tried, with its message ("Can not find Scene
    // Records database") and the cause (the file is held by another program); the messages
    // are also returned, in table order.
    using Report = std::function<void(const QString& message, const QString& cause)>;
    QStringList openAll(const QString& databaseFile, const Report& report = {});

    static QString tableName(Table t);
    static QString missingMessage(Table t);

private:
    std::array<std::unique_ptr<RecordTable>, Count> m_tables;
};

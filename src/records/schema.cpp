#include "records/schema.h"

#include "records/record_query.h"
#include "records/record_table.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>

namespace schema {

namespace {

ColumnDef integer(const QString& name, const QString& title = {}, int width = 0) {
    return {name, true, title, width};
}

ColumnDef text(const QString& name, const QString& title = {}, int width = 0) {
    return {name, false, title, width};
}

QList<TableDef> buildTables() {
    TableDef scenes{QStringLiteral("Scene Records"),
                    {integer("Scene_No", "Scene No."), text("Information", "Scene Name", 100),
                     integer("Module_Addr", "Module Addr.", 70), text("CH1", {}, 60)}};
    for (int ch = 2; ch <= 8; ++ch)
        scenes.columns << text(QStringLiteral("CH%1").arg(ch), {}, 50);

    const TableDef ir{QStringLiteral("IR Records"),
                      {integer("Module_Addr", "Module Addr.", 70), integer("IR_No", "IR No.", 80),
                       text("Information", "IR Name", 100)}};
    const TableDef timers{QStringLiteral("Timer Records"),
                          {integer("Timer_Order", "Timer No."), text("Time", {}, 150),
                           text("Timer_Mode", "Timer Mode", 100)}};
    const TableDef events{QStringLiteral("Event Records"),
                          {integer("Timer_Order", "Timer No."), integer("Event_Order", "Event No."),
                           integer("Address", "Controlled Module", 100),
                           integer("Channel", "Controlled Channel", 100),
                           integer("Parameter", "Scene No./IR No.", 110),
                           text("Action", "Function", 95)}};
    const TableDef binds{
        QStringLiteral("Bind Records"),
        {integer("Input_Addr", "Input Module Addr.", 96),
         integer("Input_Channel", "Input Channel No.", 90),
         text("Trigger_Mode", "Control Mode", 68), integer("Trigger_Delay", "Delay Time", 58),
         integer("Output_Addr", "Binding Module Addr.", 104),
         integer("Output_Channel", "Binding Channel No.", 100), text("Action", "Function", 80),
         integer("Parameter", "Scene No./IR No.", 100)}};
    const TableDef monitor{QStringLiteral("Monitor Bind Records"),
                           {integer("Order", "No."), integer("Room_No", "Room No."),
                            integer("Device_No", "Device No."),
                            text("Device_Type", "Device Type", 70),
                            integer("Address", "Binding Module Addr.", 110),
                            integer("Channel", "Binding Scene No./IR No.", 130)}};
    return {scenes, ir, timers, events, binds, monitor};
}

[[noreturn]] void fail(const QString& text) {
    throw RecordError(text.toStdString());
}

void exec(QSqlQuery& q, const QString& sql) {
    if (!q.exec(sql))
        fail(QStringLiteral("%1: %2").arg(sql, q.lastError().text()));
}

void fillMonitorSlots(QSqlDatabase& db) {
    QSqlQuery q(db);
    const QString sql =
        QStringLiteral("INSERT INTO %1 (%2, %3, %4, %5, %6, %7) "
                       "VALUES (?, ?, ?, ?, 0, 0)")
            .arg(record_query::quoteIdentifier("Monitor Bind Records"),
                 record_query::quoteIdentifier("Order"), record_query::quoteIdentifier("Room_No"),
                 record_query::quoteIdentifier("Device_No"),
                 record_query::quoteIdentifier("Device_Type"),
                 record_query::quoteIdentifier("Address"),
                 record_query::quoteIdentifier("Channel"));
    if (!q.prepare(sql))
        fail(q.lastError().text());
    for (int order = 1; order <= monitorSlotCount; ++order) {
        const MonitorSlot s = monitorSlot(order);
        q.bindValue(0, s.order);
        q.bindValue(1, s.roomNo);
        q.bindValue(2, s.deviceNo);
        q.bindValue(3, s.deviceType);
        if (!q.exec())
            fail(QStringLiteral("Monitor slot %1: %2").arg(order).arg(q.lastError().text()));
    }
}

// Builds the whole database in `path` inside one transaction.
void build(const QString& path, const QString& connection) {
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
    db.setDatabaseName(path);
    if (!db.open())
        fail(db.lastError().text());
    QSqlQuery q(db);
    // A rollback journal: the file alone holds every committed row, so it can be copied.
    exec(q, QStringLiteral("PRAGMA journal_mode=DELETE"));
    exec(q, QStringLiteral("PRAGMA synchronous=FULL"));
    if (!db.transaction())
        fail(db.lastError().text());
    for (const TableDef& t : tables())
        exec(q, createStatement(t));
    fillMonitorSlots(db);
    if (!db.commit())
        fail(db.lastError().text());
    q.finish();
    db.close();
}

void removeWithCompanions(const QString& path) {
    for (const char* suffix : {"", "-wal", "-shm", "-journal"})
        QFile::remove(path + QLatin1StringView(suffix));
}

} // namespace

const QList<TableDef>& tables() {
    static const QList<TableDef> all = buildTables();
    return all;
}

const TableDef* findTable(const QString& name) {
    for (const TableDef& t : tables()) {
        if (t.name == name)
            return &t;
    }
    return nullptr;
}

// Lights: 64 slots, four to a room (rooms 1..16, devices 1..4). Curtains: 32 slots, two to a
// room (rooms 1..16, devices 1..2). Air conditioners: one device per group of four slots (the
// slot's place in the group is the low bits of the device byte on the wire), 32 devices, two
// to a room (rooms 1..16, devices 1..2). Rooms and devices stay within the ranges the binding
// test group offers (rooms 1..20, devices 1..16).
MonitorSlot monitorSlot(int order) {
    if (order <= 64)
        return {order, (order - 1) / 4 + 1, (order - 1) % 4 + 1, QStringLiteral("Light")};
    if (order <= 96) {
        const int i = order - 65;
        return {order, i / 2 + 1, i % 2 + 1, QStringLiteral("Curtain")};
    }
    const int device = (order - 97) / 4;
    return {order, device / 2 + 1, device % 2 + 1, QStringLiteral("AC")};
}

QString createStatement(const TableDef& table) {
    QStringList cols{record_query::quoteIdentifier(QLatin1StringView(keyColumn)) +
                     QStringLiteral(" INTEGER PRIMARY KEY")};
    for (const ColumnDef& c : table.columns)
        cols << record_query::quoteIdentifier(c.name) +
                    (c.integer ? QStringLiteral(" INTEGER") : QStringLiteral(" TEXT"));
    return QStringLiteral("CREATE TABLE %1 (%2)")
        .arg(record_query::quoteIdentifier(table.name), cols.join(QStringLiteral(", ")));
}

void createDatabase(const QString& file) {
    if (QFileInfo::exists(file) || QFileInfo(file).isSymLink())
        fail(QStringLiteral("%1 already exists").arg(file));
    const QFileInfo target(file);
    if (!target.absoluteDir().exists())
        fail(QStringLiteral("The folder of %1 does not exist").arg(file));

    // Built under a temporary name and renamed at the end, so that a failure half-way never
    // leaves a file that looks like a database.
    const QString token = QUuid::createUuid().toString(QUuid::Id128);
    const QString temp = target.absoluteFilePath() + QStringLiteral(".new-") + token;
    const QString connection = QStringLiteral("velm-create-") + token;
    QString error;
    try {
        build(temp, connection);
    } catch (const RecordError& e) {
        error = QString::fromStdString(e.what());
    }
    QSqlDatabase::removeDatabase(connection);
    if (error.isEmpty() && !QFile::rename(temp, target.absoluteFilePath()))
        error = QStringLiteral("Can not write %1").arg(file);
    if (!error.isEmpty()) {
        removeWithCompanions(temp);
        fail(error);
    }
}

} // namespace schema

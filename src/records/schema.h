#pragma once

#include <QList>
#include <QString>

// The layout of the record database "VELM.mdb": six tables, their columns in grid order,
// the grid titles and widths, and the 224 predefined monitor slots.
namespace schema {

struct ColumnDef {
    QString name;
    bool integer = false; // INTEGER, otherwise TEXT
    QString title;        // grid title; empty shows the column name
    int width = 0;        // grid width in pixels; 0 keeps the grid's default
};

struct TableDef {
    QString name;
    QList<ColumnDef> columns;
};

// Every table also has this hidden key; its order is the table's own row order.
inline constexpr const char* keyColumn = "id";

// The six tables in the order start-up opens them (the order of RecordStore::Table).
const QList<TableDef>& tables();
// The definition of a table by name (exact), or nullptr.
const TableDef* findTable(const QString& name);

// The predefined content of one monitor slot, order 1..224.
struct MonitorSlot {
    int order;
    int roomNo;
    int deviceNo;
    QString deviceType; // "Light", "Curtain" or "AC"
};
inline constexpr int monitorSlotCount = 224;
MonitorSlot monitorSlot(int order);

// Creates a new database file with the six tables and the 224 monitor slots. Refuses a file
// that exists; on failure throws RecordError and leaves no file behind.
void createDatabase(const QString& file);

// The CREATE TABLE statement of a table.
QString createStatement(const TableDef& table);

} // namespace schema

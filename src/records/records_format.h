#pragma once

#include "records/schema.h"

#include <QList>
#include <QVariant>

// The exchange file of the record database: what its tables and values are, shared by the
// export, the import and the window.
namespace records_format {

inline constexpr const char* formatName = "velm-records";
inline constexpr int version = 1;

// The rows of one table in the table's own order, each value in column order: null, a whole
// number (qint64) for an integer column, a text otherwise.
struct TableRows {
    const schema::TableDef* table = nullptr;
    QList<QVariantList> rows;
    // The rows outside what their columns may hold, one message each ("Bind Records row 3:
    // Output_Addr 257 does not fit (0..255)"), in row order.
    QStringList unfit;
};

// The unfit rows of some tables in one message: all of them for a few, the first ten and a
// count for more; empty for none.
QString unfitSummary(const QList<const TableRows*>& tables);

// The unfit messages of stored rows (numbered from 1 in the table's own order).
QStringList unfitRows(const schema::TableDef& table, const QList<QVariantList>& rows);
// The unfit message of one row (`number` from 1), empty when it fits.
QString unfitRow(const schema::TableDef& table, const QVariantList& row, int number);
// unfitSummary() of messages gathered already.
QString unfitSummary(const QStringList& unfit);

// A stored value as the file holds it. SQLite keeps whatever it was given, so an integer
// column may still hold a text or a fraction that another program wrote: those stay what
// they are (the import then says which row holds them).
QVariant canonical(const QVariant& stored, bool integer);
QVariantList canonicalRow(const QVariantList& stored, const schema::TableDef& table);

// The columns that name one record of a table, as the tool's own row writers find a row to
// overwrite: a scene by scene and module, a timer by its number, a monitor slot by `Order`.
QStringList identityColumns(const QString& tableName);

inline bool isMonitor(const QString& tableName) {
    return tableName == QLatin1StringView("Monitor Bind Records");
}

} // namespace records_format

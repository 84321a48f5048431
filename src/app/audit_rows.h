#pragma once

#include <QString>

class QTableWidget;
struct AuditItem;

// Rows of the audit and push tables: record, result, what the records hold, what the module
// holds; green when the two agree, yellow when they differ, red when one side is missing.
namespace auditrows {

const QStringList& columns();
void add(QTableWidget* table, const AuditItem& item);
// A row that is not a comparison (a record written or not written by a push).
void add(QTableWidget* table, const QString& what, const QString& result, const QString& records,
         bool good);

} // namespace auditrows

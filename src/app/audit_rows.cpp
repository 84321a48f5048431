#include "app/audit_rows.h"

#include "jobs/module_audit.h"

#include <QColor>
#include <QStringList>
#include <QTableWidget>

namespace auditrows {

namespace {
const QColor kGreen(0xC8, 0xF0, 0xC8);
const QColor kYellow(0xFF, 0xF0, 0xA0);
const QColor kRed(0xF8, 0xC0, 0xC0);

void addRow(QTableWidget* table, const QStringList& cells, const QColor& colour) {
    const int row = table->rowCount();
    table->insertRow(row);
    for (int c = 0; c < cells.size(); ++c) {
        auto* item = new QTableWidgetItem(cells.at(c));
        item->setBackground(colour);
        table->setItem(row, c, item);
    }
}
} // namespace

const QStringList& columns() {
    static const QStringList titles = {QStringLiteral("Record"), QStringLiteral("Result"),
                                       QStringLiteral("In the records"),
                                       QStringLiteral("In the module")};
    return titles;
}

void add(QTableWidget* table, const AuditItem& item) {
    using V = AuditItem::Verdict;
    const QColor colour = item.verdict == V::Same        ? kGreen
                          : item.verdict == V::Different ? kYellow
                                                         : kRed;
    addRow(table, {item.what, AuditItem::verdictText(item.verdict), item.records, item.module},
           colour);
}

void add(QTableWidget* table, const QString& what, const QString& result, const QString& records,
         bool good) {
    addRow(table, {what, result, records, QString()}, good ? kGreen : kRed);
}

} // namespace auditrows

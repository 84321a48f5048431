#include "report/site_parts.h"

#include "report/html_writer.h"

namespace siteparts {

void history(const ReportContent& c, HtmlWriter& w) {
    if (!c.sited)
        return;
    w.heading(2, QStringLiteral("History"));
    if (c.history.isEmpty())
        w.paragraph(QStringLiteral("Nothing was recorded for this site yet."),
                    QStringLiteral("note"));
    QList<QStringList> rows;
    QStringList classes;
    for (const HistoryEntry& e : c.history) {
        rows << site_history::cells(e);
        classes << (e.outcome == HistoryEntry::ok() ? QString() : QStringLiteral("unfit"));
    }
    if (!rows.isEmpty())
        w.table({QStringLiteral("Time"), QStringLiteral("Technician"), QStringLiteral("Program"),
                 QStringLiteral("Module"), QStringLiteral("Action"), QStringLiteral("Detail"),
                 QStringLiteral("Outcome")},
                rows, classes);
    if (c.historySkipped > 0)
        w.paragraph(QStringLiteral("%1 line(s) of the history were cut short and are left out.")
                        .arg(c.historySkipped),
                    QStringLiteral("note"));
}

} // namespace siteparts

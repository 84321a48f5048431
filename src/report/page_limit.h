#pragma once

#include <QString>
#include <QtGlobal>

// How long a PDF report may grow. Qt's text document lays a document out in fixed-point
// coordinates that end near 33.5 million dots, about 11,000 A4 pages at the PDF's 300 dpi;
// past them it paints nothing and still says it wrote. A report that could need more than
// kMaxPages is refused before any of it is made, and the HTML report (which has no such
// bound) is offered instead.
namespace pagelimit {

inline constexpr int kMaxPages = 2000;
// A table row is at least one line of the report's 9.5 pt type, and a page's body is 253 mm
// of A4: no page holds more rows than this.
inline constexpr int kMostRowsPerPage = 75;

// The fewest pages `rows` table rows can fill.
inline qint64 fewestPages(qint64 rows) {
    return (rows + kMostRowsPerPage - 1) / kMostRowsPerPage;
}
// Why a report of at least `pages` pages is refused.
inline QString refusal(qint64 pages) {
    return QStringLiteral("the PDF would need at least %1 pages, more than the %2 a report PDF "
                          "can hold: use --html (the HTML report has no such limit)")
        .arg(pages)
        .arg(kMaxPages);
}

} // namespace pagelimit

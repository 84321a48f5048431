#include "report_pdf/table_breaks.h"

#include <QAbstractTextDocumentLayout>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextTable>

#include <cmath>

namespace tablebreaks {

namespace {
int pageAt(qreal y, qreal pageHeight) {
    return int(std::floor(y / pageHeight));
}
} // namespace

int keepTablesTogether(QTextDocument& doc, qreal pageHeight) {
    if (pageHeight <= 0)
        return 0;
    QAbstractTextDocumentLayout* layout = doc.documentLayout();
    int moved = 0;
    // The first heading since the last table leads into the next one: what sits between the
    // two (the heading, a line under it) goes with the table.
    QTextBlock lead;
    for (QTextFrame::iterator it = doc.rootFrame()->begin(); !it.atEnd(); ++it) {
        if (const QTextBlock block = it.currentBlock(); block.isValid()) {
            if (!lead.isValid() && block.blockFormat().headingLevel() > 0)
                lead = block;
            continue;
        }
        auto* table = qobject_cast<QTextTable*>(it.currentFrame());
        const QTextBlock start = lead;
        lead = QTextBlock();
        if (!table)
            continue;
        const QRectF box = layout->frameBoundingRect(table);
        const qreal top = start.isValid() ? layout->blockBoundingRect(start).top() : box.top();
        // A hair off the bottom: a table that ends on the page's last pixel is not cut.
        const qreal bottom = box.bottom() - 1;
        if (pageAt(top, pageHeight) == pageAt(bottom, pageHeight))
            continue;
        if (bottom - top > pageHeight)
            continue; // longer than a page: it must break
        if (start.isValid()) {
            QTextBlockFormat f;
            f.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
            QTextCursor(start).mergeBlockFormat(f);
        } else {
            QTextFrameFormat f = table->frameFormat();
            f.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
            table->setFrameFormat(f);
        }
        ++moved;
    }
    return moved;
}

} // namespace tablebreaks

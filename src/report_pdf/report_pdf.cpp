#include "report_pdf/report_pdf.h"

#include "records/record_table.h"
#include "records/whole_file.h"
#include "report/page_limit.h"
#include "report_pdf/table_breaks.h"

#include <QAbstractTextDocumentLayout>
#include <QBuffer>
#include <QDir>
#include <QFont>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <QTextDocument>

namespace reportpdf {

namespace {
constexpr int kResolution = 300; // dots per inch of the page's painter
constexpr double kMarginMm = 14;
constexpr double kBandMm = 8; // the header's and the footer's band inside the margin

bool fail(QString* error, const QString& why) {
    if (error)
        *error = why;
    return false;
}

} // namespace

bool write(const QString& html, const QString& header, const QString& file, QString* error) {
    // Every table row takes a line at least: a document that cannot fit is refused before
    // the layout, which would take minutes and gigabytes to end in an empty page.
    const qint64 fewest = pagelimit::fewestPages(html.count(QLatin1StringView("<tr")));
    if (fewest > pagelimit::kMaxPages)
        return fail(error,
                    QStringLiteral("%1 not written: %2").arg(file, pagelimit::refusal(fewest)));
    // Made in memory: the file is written whole by the one writer of files, or not at all.
    QBuffer bytes;
    bytes.open(QIODevice::WriteOnly);
    QPdfWriter pdf(&bytes);
    pdf.setResolution(kResolution);
    pdf.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                  QMarginsF(kMarginMm, kMarginMm, kMarginMm, kMarginMm),
                                  QPageLayout::Millimeter));
    pdf.setTitle(header);
    pdf.setCreator(QStringLiteral("VELM"));

    const QRect page = pdf.pageLayout().paintRectPixels(kResolution);
    const int band = int(kBandMm / 25.4 * kResolution);
    const QRectF body(0, 0, page.width(), page.height() - 2 * band);

    QTextDocument doc;
    // Points scale with the painter's resolution; the document lays out in its pixels.
    doc.documentLayout()->setPaintDevice(&pdf);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPointSizeF(9.5);
    doc.setDefaultFont(font);
    doc.setHtml(html);
    doc.setPageSize(body.size());
    tablebreaks::keepTablesTogether(doc, body.height());
    const int pages = doc.pageCount();
    if (pages > pagelimit::kMaxPages)
        return fail(error,
                    QStringLiteral("%1 not written: %2").arg(file, pagelimit::refusal(pages)));

    QPainter painter;
    if (!painter.begin(&pdf))
        return fail(error, QStringLiteral("%1 cannot be written: the PDF could not be made")
                               .arg(QDir::toNativeSeparators(file)));
    QFont small = font;
    small.setPointSizeF(8);
    for (int p = 0; p < pages; ++p) {
        if (p > 0)
            pdf.newPage();
        painter.setFont(small);
        painter.setPen(Qt::darkGray);
        const QRect top(0, 0, page.width(), band);
        const QRect foot(0, page.height() - band, page.width(), band);
        painter.drawText(top, Qt::AlignLeft | Qt::AlignTop, header);
        painter.drawText(foot, Qt::AlignRight | Qt::AlignBottom,
                         QStringLiteral("Page %1 of %2").arg(p + 1).arg(pages));
        painter.save();
        painter.translate(0, band - p * body.height());
        const QRectF clip(0, p * body.height(), body.width(), body.height());
        painter.setClipRect(clip);
        QAbstractTextDocumentLayout::PaintContext context;
        context.clip = clip;
        context.palette.setColor(QPalette::Text, Qt::black);
        doc.documentLayout()->draw(&painter, context);
        painter.restore();
    }
    if (!painter.end())
        return fail(error, QStringLiteral("%1 cannot be written: the PDF could not be made")
                               .arg(QDir::toNativeSeparators(file)));
    try {
        WholeFile::save({file}, {bytes.data()});
    } catch (const RecordError& e) {
        return fail(error, QString::fromStdString(e.what()));
    }
    return true;
}

} // namespace reportpdf

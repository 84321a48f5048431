#include "report/report_document.h"

#include "report/handover_parts.h"
#include "report/html_writer.h"
#include "report/record_parts.h"
#include "report/report_parts.h"
#include "report/site_parts.h"

namespace reportdocument {

namespace {

// Print on A4; the PDF writer reads the same rules (it ignores what it does not know).
// Rows part by a line above each: the row a page break stretches to the page's foot ends
// blank there, not with a line under nothing.
const char* const kStyle = R"(@page { size: A4; margin: 16mm 14mm; }
body { font-family: "DejaVu Sans", Arial, sans-serif; font-size: 9.5pt; color: #000; }
h1 { font-size: 17pt; margin: 0 0 8pt 0; }
h2 { font-size: 13pt; margin: 14pt 0 4pt 0; border-bottom: 1px solid #444;
     page-break-after: avoid; }
h3 { font-size: 11pt; margin: 10pt 0 3pt 0; page-break-after: avoid; }
table { width: 100%; margin: 2pt 0 6pt 0; }
th, td { border-top: 1px solid #999; padding: 2px 4px; text-align: left; vertical-align: top; }
th { background-color: #eee; }
th.group { background-color: #fff; border-top: none; font-size: 11pt; padding: 8pt 0 2pt 0; }
th.missing { font-size: 9.5pt; font-weight: normal; padding: 0 0 3pt 0; }
thead { display: table-header-group; }
tr, li { page-break-inside: avoid; }
table.pairs th { width: 28%; }
ul { margin: 2pt 0 6pt 0; }
.unfit, .missing { color: #a00000; }
.note { color: #333; font-style: italic; }
)";

} // namespace

QString title(const ReportContent& c) {
    return c.site.isEmpty() ? QStringLiteral("Installation report")
                            : QStringLiteral("Installation report: %1").arg(c.site);
}

QString html(const ReportContent& c) {
    QString out;
    write(c, [&out](const QString& piece) { out += piece; });
    return out;
}

void write(const ReportContent& c, const HtmlWriter::Sink& sink) {
    sink(HtmlWriter::head(title(c), QString::fromLatin1(kStyle)));
    HtmlWriter w(sink);
    reportparts::cover(c, w);
    reportparts::modules(c, w);
    recordparts::modules(c, w);
    recordparts::timers(c, w);
    reportparts::busSwitch(c, w);
    reportparts::audit(c, w);
    handoverparts::walkTest(c, w);
    handoverparts::replacements(c, w);
    siteparts::history(c, w);
    w.flush();
    sink(HtmlWriter::tail());
}

} // namespace reportdocument

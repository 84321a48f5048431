#pragma once

#include "report/html_writer.h"
#include "report/report_content.h"

#include <QString>

// The installation report as one HTML document that stands alone: its styles inside, no
// script, no link to anything outside, laid out for A4 paper. The PDF is made from the same
// document. Each part appears only when there is something to say.
namespace reportdocument {

QString html(const ReportContent& content);
// The same document handed to `sink` in pieces as it is made.
void write(const ReportContent& content, const HtmlWriter::Sink& sink);
// The cover's heading line, also the PDF's running header: "Installation report: SITE".
QString title(const ReportContent& content);

} // namespace reportdocument

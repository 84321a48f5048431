#pragma once

#include "report/report_content.h"

class HtmlWriter;

// The parts of a report that say what was checked and changed on site before hand-over.
namespace handoverparts {

// "Walk test": per module each output's latest result, note, time and technician, the
// failures first.
void walkTest(const ReportContent& content, HtmlWriter& writer);
// "Replacements": every module replacement in the site's history, step by step.
void replacements(const ReportContent& content, HtmlWriter& writer);

} // namespace handoverparts

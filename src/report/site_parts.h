#pragma once

#include "report/report_content.h"

class HtmlWriter;

// The parts of a site's report: what was done to its modules and records.
namespace siteparts {

// "History": every line of the site's history, oldest first.
void history(const ReportContent& content, HtmlWriter& writer);

} // namespace siteparts

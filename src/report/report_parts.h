#pragma once

#include "report/report_content.h"

class HtmlWriter;

// The parts of a report around the records: the cover, the list of modules, and for a live
// report the bus switch's network settings and the audit of every module.
namespace reportparts {

void cover(const ReportContent& content, HtmlWriter& writer);
void modules(const ReportContent& content, HtmlWriter& writer);
void busSwitch(const ReportContent& content, HtmlWriter& writer);
void audit(const ReportContent& content, HtmlWriter& writer);

} // namespace reportparts

#pragma once

#include "report/report_content.h"

class HtmlWriter;

// The parts of a report that say what the records hold: per module its scenes, IR codes,
// input bindings and, for the bus switch, its monitor bindings; then the timers and events
// once, since the records do not say which module holds them.
namespace recordparts {

void modules(const ReportContent& content, HtmlWriter& writer);
void timers(const ReportContent& content, HtmlWriter& writer);

} // namespace recordparts

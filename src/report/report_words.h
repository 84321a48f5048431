#pragma once

#include "report/report_records.h"

#include <QString>

// The records in words a customer reads, with the window's own words for modes, actions and
// channel targets. Plain text: the document escapes it. A value that is missing or that does
// not fit its column is shown as stored, never replaced by a likely one.
namespace reportwords {

// A cell as stored: its text, "(empty)" for an empty cell.
QString cell(const ReportRecords::Row& row, const char* column);

// "Scene 1, All on: CH1 On/Open, CH2 No Change, ..., CH8 Off/Close", every channel as the
// window writes it.
QString scene(const ReportRecords::Row& row);
// Whether a binding or an event does nothing: its action is "Invalid".
bool isEmptyAction(const ReportRecords::Row& row);
// "Input 5, channel 1, NO, no delay → module 2 channel 4: Light On"
QString binding(const ReportRecords::Row& row);
// What an event or a binding makes happen: "module 3 channel 1: Curtain Open",
// "scene 2: Scene Control", "Alarm".
QString target(const ReportRecords::Row& row, const char* addressColumn, const char* channelColumn);
// Whether a timer is set: its mode is not "Invalid" (in either spelling).
bool isSetTimer(const ReportRecords::Row& row);
// "Timer 2, Day(repeat), 07:00:00": a daily timer by its time of day alone, the others
// with the time as stored.
QString timer(const ReportRecords::Row& row);
// "Event 1 → module 3 channel 1: Curtain Open"
QString event(const ReportRecords::Row& row);
// Numbers as short ranges: "3, 5-7, 9".
QString ranges(QList<int> numbers);

} // namespace reportwords

#pragma once

#include "protocol/timer_requests.h"

class RecordTable;

// What the read and delete steps of the timer and event sequences write into the current
// row of "Timer Records" / "Event Records". The window and the command line write the same.
namespace timing {

namespace timer {
// `index` is the 0-based timer number of the step.
void writeReadRow(RecordTable& t, int index, const ReadRow& row);
void writeDeleteRow(RecordTable& t, int index);
// A confirmed Set into the row of timer `timerNo`, a new row when there is none: the mode
// list's text and, unless the mode is "Invalid", the time text the tab shows.
void storeSetRow(RecordTable& t, int timerNo, const QString& modeText, const QString& timeText);
// The "Time" of a Set's row: the date in the system's short format, the time text and the
// weekday name, each after a blank.
QString setTimeText(const QDate& date, const QString& timeText, const QString& weekday);
} // namespace timer

namespace event {
// `timerNo` is the timer (1..32) whose events the sequence walks, `index` the 0-based event.
void writeReadRow(RecordTable& t, int timerNo, int index, const Record& record);
void writeDeleteRow(RecordTable& t, int timerNo, int index);
// A confirmed Set into the row of its timer and event, a new row when there is none: the
// settings' values for every action ("Invalid" aside), also where the request sent fixed bytes.
void storeSetRow(RecordTable& t, const Settings& s);
} // namespace event

} // namespace timing

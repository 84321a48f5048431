#include "protocol/timer_rows.h"

#include "protocol/action_codes.h"
#include "records/record_table.h"

#include <QLocale>

namespace timing {

namespace {
const QString kTimer = QStringLiteral("Timer_Order");
const QString kTime = QStringLiteral("Time");
const QString kMode = QStringLiteral("Timer_Mode");
const QString kEvent = QStringLiteral("Event_Order");
const QString kAddress = QStringLiteral("Address");
const QString kChannel = QStringLiteral("Channel");
const QString kParameter = QStringLiteral("Parameter");
const QString kAction = QStringLiteral("Action");
const QString kNoTime = QStringLiteral("------");
const QString kInvalid = QStringLiteral("Invalid");
constexpr int kNoValue = 255;
} // namespace

namespace timer {
void writeReadRow(RecordTable& t, int index, const ReadRow& row) {
    t.setField(kTimer, index + 1);
    // An unknown mode byte leaves the row's mode as it was.
    if (row.mode)
        t.setField(kMode, *row.mode);
    t.setField(kTime, row.time);
}

void writeDeleteRow(RecordTable& t, int index) {
    t.setField(kTimer, index + 1);
    t.setField(kTime, kNoTime);
    t.setField(kMode, kInvalid);
}

void storeSetRow(RecordTable& t, int timerNo, const QString& modeText, const QString& timeText) {
    t.upsert([&](const RecordTable& r) { return r.fieldInt(kTimer) == timerNo; },
             [&](RecordTable& r) {
                 r.setField(kTimer, timerNo);
                 r.setField(kMode, modeText);
                 r.setField(kTime, modeText == kInvalid ? kNoTime : timeText);
             });
}
QString setTimeText(const QDate& date, const QString& timeText, const QString& weekday) {
    return QLocale::system().toString(date, QLocale::ShortFormat) + QLatin1Char(' ') + timeText +
           QLatin1Char(' ') + weekday;
}
} // namespace timer

namespace event {
void writeReadRow(RecordTable& t, int timerNo, int index, const Record& record) {
    t.setField(kTimer, timerNo);
    t.setField(kEvent, index + 1);
    t.setField(kAddress, record.address);
    t.setField(kChannel, record.channel);
    t.setField(kParameter, record.parameter);
    t.setField(kAction, record.action);
}

void writeDeleteRow(RecordTable& t, int timerNo, int index) {
    t.setField(kTimer, timerNo);
    t.setField(kEvent, index + 1);
    t.setField(kAction, kInvalid);
    t.setField(kAddress, kNoValue);
    t.setField(kChannel, kNoValue);
    t.setField(kParameter, kNoValue);
}

void storeSetRow(RecordTable& t, const Settings& s) {
    const QString action = actions::eventItems().at(s.actionIndex);
    t.upsert(
        [&](const RecordTable& r) {
            return r.fieldInt(kTimer) == s.timerNo && r.fieldInt(kEvent) == s.eventNo;
        },
        [&](RecordTable& r) {
            r.setField(kTimer, s.timerNo);
            r.setField(kEvent, s.eventNo);
            r.setField(kAction, action);
            const bool invalid = action == kInvalid;
            r.setField(kAddress, invalid ? kNoValue : s.controlledModule);
            r.setField(kChannel, invalid ? kNoValue : s.controlledChannel);
            r.setField(kParameter, invalid ? kNoValue : s.sceneOrIr);
        });
}
} // namespace event

} // namespace timing

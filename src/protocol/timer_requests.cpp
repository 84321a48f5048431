#include "protocol/timer_requests.h"

#include "protocol/action_codes.h"
#include "records/records_values.h"

#include <QStringList>

namespace timing {

namespace {
constexpr quint8 kCommand = 0x04;
constexpr quint8 kReadTime = 0x01;
constexpr quint8 kSetTime = 0x00;
constexpr quint8 kSetTimer = 0x02;
constexpr quint8 kReadTimer = 0x03;
constexpr quint8 kSetEvent = 0x04;
constexpr quint8 kReadEvent = 0x05;
constexpr quint8 kNone = 0xFF;

// The decimal digits of a number read as hexadecimal: 25 -> 0x25, 2014 -> 0x2014.
int bcdOf(int decimal) {
    return QString::number(decimal).toInt(nullptr, 16);
}

bool isDigit(QChar c) {
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

} // namespace

QString weekdayName(int weekday) {
    static const char* const names[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                        "Thursday", "Friday", "Saturday"};
    if (weekday < 0 || weekday > 6)
        return QString();
    return QString::fromLatin1(names[weekday]);
}

int weekdayOf(const QDate& date) {
    return date.dayOfWeek() % 7; // Qt counts Monday 1 .. Sunday 7
}

QString hexByte(quint8 value) {
    return QStringLiteral("%1").arg(value, 2, 16, QLatin1Char('0')).toUpper();
}

std::optional<quint8> timeField(const QString& timeText, int first) {
    if (first < 0 || first + 1 >= timeText.size())
        return std::nullopt;
    const QChar high = timeText.at(first);
    const QChar low = timeText.at(first + 1);
    if (!isDigit(high) || !isDigit(low))
        return std::nullopt;
    return quint8((high.unicode() - '0') * 16 + (low.unicode() - '0'));
}

QString conversionError(const QString& timeText) {
    return QStringLiteral("'%1' is not a valid time").arg(timeText);
}

std::optional<QByteArray> clockBytes(const QDate& date, const QString& timeText) {
    const auto hours = timeField(timeText, 0);
    const auto minutes = timeField(timeText, 3);
    const auto seconds = timeField(timeText, 6);
    if (!hours || !minutes || !seconds || !date.isValid())
        return std::nullopt;
    QByteArray out;
    out.append(char(*seconds)).append(char(*minutes)).append(char(*hours));
    out.append(char(bcdOf(date.day()))).append(char(weekdayOf(date)));
    out.append(char(bcdOf(date.month()))).append(char(bcdOf(date.year()) & 0xFF));
    return out;
}

namespace clock {

Request read(int module) {
    return {quint8(module), kCommand, kReadTime};
}

std::optional<Request> setTime(int module, const QDate& date, const QString& timeText) {
    const auto bytes = clockBytes(date, timeText);
    if (!bytes)
        return std::nullopt;
    return Request(quint8(module), kCommand, kSetTime, *bytes);
}

QString dateText(quint8 day, quint8 month, quint8 year) {
    return QStringLiteral("20") + hexByte(year) + QLatin1Char('-') + hexByte(month) +
           QLatin1Char('-') + hexByte(day);
}

QString timeText(quint8 hours, quint8 minutes, quint8 seconds) {
    return hexByte(hours) + QLatin1Char(':') + hexByte(minutes) + QLatin1Char(':') +
           hexByte(seconds);
}

} // namespace clock

namespace timer {

const QStringList& modeItems() {
    return records_values::timerModes();
}

std::optional<Request> set(int module, int timerNo, int modeIndex, const QDate& date,
                           const QString& timeText) {
    const auto bytes = clockBytes(date, timeText);
    if (!bytes)
        return std::nullopt;
    const quint8 mode = modeIndex == kInvalidMode ? kInvalidWire : quint8(modeIndex);
    QByteArray params;
    params.append(char(timerNo - 1)).append(char(mode)).append(*bytes);
    return Request(quint8(module), kCommand, kSetTimer, params);
}

Request read(int module, int index) {
    return {quint8(module), kCommand, kReadTimer, {index & 0xFF}};
}

Request remove(int module, int index) {
    return {quint8(module), kCommand, kSetTimer, {index & 0xFF, kInvalidWire, 1, 1, 1, 1, 1, 1, 1}};
}

ReadRow readRow(quint8 mode, const quint8 t[7]) {
    // t: seconds, minutes, hours, day, weekday, month, year.
    ReadRow row;
    row.time =
        clock::dateText(t[3], t[5], t[6]) + QLatin1Char(' ') + clock::timeText(t[2], t[1], t[0]);
    const QString day = weekdayName(t[4]);
    if (!day.isEmpty())
        row.time += QLatin1Char(' ') + day;
    // A read spells two modes differently from the list a Set writes.
    const QStringList& words = records_values::timerReadModes();
    if (mode < kInvalidMode) {
        row.mode = words.at(mode);
    } else if (mode == kInvalidWire) {
        row.mode = words.at(kInvalidMode);
        row.time = QStringLiteral("------");
    }
    return row;
}

} // namespace timer

namespace event {

Request set(int module, const Settings& s) {
    const int last = actions::eventInvalidItem();
    const int action = s.actionIndex >= 0 && s.actionIndex <= last ? s.actionIndex : last;
    const actions::ActionCode code = actions::eventCode(action);
    quint8 p[7] = {
        quint8(s.timerNo - 1), quint8(s.eventNo - 1),      code.command,
        code.subCommand,       quint8(s.controlledModule), quint8(s.controlledChannel - 1),
        quint8(s.sceneOrIr)};
    // Target bytes that an action does not use go out fixed.
    if (action == last) {
        for (int i = 2; i < 7; ++i)
            p[i] = kNone;
    } else if (action == actions::kSceneControl) {
        p[4] = kNone;
        p[5] = kNone;
    } else if (action == actions::kIrControl) {
        p[5] = 0x00;
    }
    return Request(quint8(module), kCommand, kSetEvent,
                   QByteArray(reinterpret_cast<const char*>(p), 7));
}

Record readRecord(const quint8 bytes[5]) {
    Record r;
    r.action = actions::eventText(bytes[0], bytes[1]);
    r.address = bytes[2];
    r.channel = bytes[3] == kNone ? kNone : bytes[3] + 1;
    r.parameter = bytes[4];
    return r;
}

Request read(int module, int timerItem, int index) {
    return {quint8(module), kCommand, kReadEvent, {(timerItem - 1) & 0xFF, index & 0xFF}};
}

Request remove(int module, int timerItem, int index) {
    return {quint8(module),
            kCommand,
            kSetEvent,
            {(timerItem - 1) & 0xFF, index & 0xFF, kNone, kNone, kNone, kNone, kNone}};
}

} // namespace event

} // namespace timing

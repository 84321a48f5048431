#pragma once

#include "link/request_layout.h"

#include <QDate>
#include <QString>

#include <optional>

// Requests and reply texts of the module clock, its 32 timers and their events, numbered in
// the short layout. Everything here is a plain function of plain values.
//
// On the wire a clock or timer time is seconds, minutes, hours, day, weekday, month, year:
// the time fields come from the "hh:mm:ss" text with each two-character field read as one
// hexadecimal number (so "12" goes out as 0x12), the date fields are BCD, the year is the
// BCD of its last two digits and the weekday runs 0 = Sunday .. 6 = Saturday.
namespace timing {

// "Sunday" .. "Saturday" for 0..6; an empty text for anything else.
QString weekdayName(int weekday);
// The weekday number of a date, 0 = Sunday.
int weekdayOf(const QDate& date);
// Two upper-case hexadecimal digits: for a BCD byte, its decimal digits.
QString hexByte(quint8 value);

// One "hh:mm:ss" field read as hexadecimal; nothing when the two characters are not both
// digits (a position left blank in the mask).
std::optional<quint8> timeField(const QString& timeText, int first);
// The message a click shows when the time text cannot be converted.
QString conversionError(const QString& timeText);
// The seven wire bytes of a date and a time text, or nothing when the text does not convert.
std::optional<QByteArray> clockBytes(const QDate& date, const QString& timeText);

namespace clock {
Request read(int module);
std::optional<Request> setTime(int module, const QDate& date, const QString& timeText);
// Reply 0x84/0x01 (reply bytes 7..13) as the three read-back fields show it.
QString dateText(quint8 day, quint8 month, quint8 year);
QString timeText(quint8 hours, quint8 minutes, quint8 seconds);
} // namespace clock

namespace timer {
inline constexpr int kCount = 32;      // a sequence covers timers 1..32
inline constexpr int kInvalidMode = 7; // "Invalid" in the mode list
inline constexpr quint8 kInvalidWire = 0xFF;

// The mode list in item order; a Set writes these texts.
const QStringList& modeItems();
// modeIndex is the list's item index; "Invalid" goes out as 0xFF.
std::optional<Request> set(int module, int timerNo, int modeIndex, const QDate& date,
                           const QString& timeText);
Request read(int module, int index);
// A delete is a Set with the invalid mode and 0x01 in every time byte.
Request remove(int module, int index);

// What a read step writes for one timer record: mode byte and seven time bytes.
struct ReadRow {
    QString time;
    std::optional<QString> mode; // nothing: the row keeps its mode text
};
ReadRow readRow(quint8 mode, const quint8 timeBytes[7]);
} // namespace timer

namespace event {
inline constexpr int kCount = 16; // a sequence covers events 1..16 of one timer

// actionIndex is the "Function :" item (actions::eventItems()).
struct Settings {
    int timerNo = 1;
    int eventNo = 1;
    int actionIndex = 0;
    int controlledModule = 1;
    int controlledChannel = 1;
    int sceneOrIr = 0;
};
Request set(int module, const Settings& s);
// timerItem is the "Timer No. :" item index 1..32 (the timer number).
Request read(int module, int timerItem, int index);
Request remove(int module, int timerItem, int index);

// One event record read back (reply 0x84/0x05, bytes 7..11: command, sub-command, controlled
// module, controlled channel minus one, scene or IR number) as a row holds it.
struct Record {
    QString action;
    int address = 0;
    int channel = 0; // 1-based; 255 for none
    int parameter = 0;
};
Record readRecord(const quint8 bytes[5]);
} // namespace event

} // namespace timing

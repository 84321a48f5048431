#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QElapsedTimer>

// A module's real-time clock: set from seven BCD bytes, running from then on.
// Wire order: seconds, minutes, hours, day, weekday (0 = Sunday), month, year (last two digits).
class ModuleClock {
public:
    ModuleClock();

    // False (clock unchanged) when a field is not BCD or out of range.
    bool set(const QByteArray& sevenBytes);
    void setNow(const QDateTime& now);
    QDateTime now() const;
    QByteArray bytes() const;

    static QByteArray encode(const QDateTime& at);
    // The date and time of seven wire bytes; invalid when a field is out of range.
    static QDateTime decode(const QByteArray& sevenBytes);
    static int weekday(const QDate& date) { return date.dayOfWeek() % 7; }

private:
    QDateTime m_base;
    QElapsedTimer m_since;
};

#include "sim/module_clock.h"

#include "sim/bcd.h"

ModuleClock::ModuleClock() {
    setNow(QDateTime::currentDateTime());
}

bool ModuleClock::set(const QByteArray& sevenBytes) {
    const QDateTime at = decode(sevenBytes);
    if (!at.isValid())
        return false;
    setNow(at);
    return true;
}

void ModuleClock::setNow(const QDateTime& now) {
    // Whole seconds only: the module keeps no fraction.
    m_base =
        QDateTime(now.date(), QTime(now.time().hour(), now.time().minute(), now.time().second()));
    m_since.start();
}

QDateTime ModuleClock::now() const {
    return m_base.addMSecs(m_since.elapsed());
}

QByteArray ModuleClock::bytes() const {
    return encode(now());
}

QByteArray ModuleClock::encode(const QDateTime& at) {
    QByteArray out;
    const QTime t = at.time();
    const QDate d = at.date();
    out.append(char(bcd::encode(t.second())))
        .append(char(bcd::encode(t.minute())))
        .append(char(bcd::encode(t.hour())))
        .append(char(bcd::encode(d.day())))
        .append(char(weekday(d)))
        .append(char(bcd::encode(d.month())))
        .append(char(bcd::encode(d.year() % 100)));
    return out;
}

QDateTime ModuleClock::decode(const QByteArray& b) {
    if (b.size() < 7)
        return {};
    const int sec = bcd::decode(quint8(b[0]));
    const int min = bcd::decode(quint8(b[1]));
    const int hour = bcd::decode(quint8(b[2]));
    const int day = bcd::decode(quint8(b[3]));
    const int month = bcd::decode(quint8(b[5]));
    const int year = bcd::decode(quint8(b[6]));
    if (sec < 0 || min < 0 || hour < 0 || day < 0 || month < 0 || year < 0 || quint8(b[4]) > 6)
        return {};
    const QDate date(2000 + year, month, day);
    const QTime time(hour, min, sec);
    if (!date.isValid() || !time.isValid())
        return {};
    return QDateTime(date, time);
}

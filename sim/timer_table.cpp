#include "sim/timer_table.h"

#include "sim/module_clock.h"

#include <QJsonObject>

TimerTable::TimerTable() {
    clear();
}

void TimerTable::clear() {
    for (Timer& t : m_timers)
        t = Timer{kInvalidMode, QByteArray(7, char(0x01))};
    for (auto& list : m_events)
        list.fill(Action{});
}

quint8 TimerTable::setTimer(const QByteArray& p) {
    if (p.size() < 9)
        return status::kParameterError;
    const int index = quint8(p[0]);
    const quint8 mode = quint8(p[1]);
    if (index >= kTimers)
        return status::kParameterError;
    if (mode != kInvalidMode && mode > kLastMode)
        return status::kParameterError;
    const QByteArray when = p.mid(2, 7);
    // A cleared timer carries filler bytes; only a live one must hold a real moment.
    if (mode != kInvalidMode && !ModuleClock::decode(when).isValid())
        return status::kParameterError;
    m_timers[size_t(index)] = Timer{mode, when};
    return status::kOk;
}

quint8 TimerTable::readTimer(const QByteArray& p, QByteArray* data) const {
    if (p.isEmpty())
        return status::kParameterError;
    const int index = quint8(p[0]);
    if (index >= kTimers)
        return status::kParameterError;
    const Timer& t = m_timers[size_t(index)];
    *data = QByteArray(1, char(t.mode)) + t.when;
    return status::kOk;
}

quint8 TimerTable::setEvent(const QByteArray& p) {
    if (p.size() < 7)
        return status::kParameterError;
    const int timer = quint8(p[0]);
    const int event = quint8(p[1]);
    if (timer >= kTimers || event >= kEvents || !isEventActionPair(quint8(p[2]), quint8(p[3])))
        return status::kParameterError;
    m_events[size_t(timer)][size_t(event)] =
        Action{quint8(p[2]), quint8(p[3]), quint8(p[4]), quint8(p[5]), quint8(p[6])};
    return status::kOk;
}

quint8 TimerTable::readEvent(const QByteArray& p, QByteArray* data) const {
    if (p.size() < 2)
        return status::kParameterError;
    const int timer = quint8(p[0]);
    const int event = quint8(p[1]);
    if (timer >= kTimers || event >= kEvents)
        return status::kParameterError;
    const Action& a = m_events[size_t(timer)][size_t(event)];
    data->clear();
    data->append(char(a.command)).append(char(a.sub)).append(char(a.module));
    data->append(char(a.channel)).append(char(a.param));
    return status::kOk;
}

bool TimerTable::matches(const Timer& t, const QDateTime& at) const {
    if (t.mode == kInvalidMode)
        return false;
    const QByteArray now = ModuleClock::encode(at);
    // Fields compared per mode, in wire order: s m h day weekday month year.
    static const QList<int> fields[] = {
        {0, 1, 2, 3, 5, 6}, // Once
        {0},                // Minute(repeat): every minute at this second
        {0, 1},             // Hour(repeat)
        {0, 1, 2},          // Day(repeat)
        {0, 1, 2, 4},       // Week(repeat)
        {0, 1, 2, 3},       // Month(repeat)
        {0, 1, 2, 3, 5},    // Year(repeat)
    };
    for (int f : fields[t.mode])
        if (now[f] != t.when[f])
            return false;
    return true;
}

QList<int> TimerTable::dueTimers(const QDateTime& at) const {
    QList<int> out;
    for (int i = 0; i < kTimers; ++i)
        if (matches(m_timers[size_t(i)], at))
            out.append(i);
    return out;
}

QList<Action> TimerTable::events(int timer) const {
    QList<Action> out;
    if (timer < 0 || timer >= kTimers)
        return out;
    for (const Action& a : m_events[size_t(timer)])
        if (a.valid())
            out.append(a);
    return out;
}

QJsonArray TimerTable::toJson() const {
    QJsonArray out;
    for (int i = 0; i < kTimers; ++i) {
        const Timer& t = m_timers[size_t(i)];
        QJsonArray events;
        for (const Action& a : m_events[size_t(i)]) {
            if (!a.valid())
                continue;
            events.append(QJsonArray{a.command, a.sub, a.module, a.channel, a.param});
        }
        if (t.mode == kInvalidMode && events.isEmpty())
            continue;
        QJsonObject o{{"timer", i + 1}, {"mode", t.mode}, {"events", events}};
        const QDateTime when = ModuleClock::decode(t.when);
        if (when.isValid())
            o.insert("when", when.toString("yyyy-MM-dd hh:mm:ss"));
        out.append(o);
    }
    return out;
}

#pragma once

#include "sim/sim_types.h"

#include <QByteArray>
#include <QDateTime>
#include <QJsonArray>

#include <array>

// The 32 timers of a timer-capable module and the 16 events of each.
class TimerTable {
public:
    static constexpr int kTimers = 32;
    static constexpr int kEvents = 16;
    static constexpr quint8 kInvalidMode = 0xFF;
    static constexpr quint8 kLastMode = 6; // Once .. Year(repeat)

    TimerTable();
    void clear();

    // Request parameters as they arrive; the result is a status byte.
    quint8 setTimer(const QByteArray& params);
    quint8 readTimer(const QByteArray& params, QByteArray* data) const;
    quint8 setEvent(const QByteArray& params);
    quint8 readEvent(const QByteArray& params, QByteArray* data) const;

    // Timers whose stored moment matches `at` under their repeat mode.
    QList<int> dueTimers(const QDateTime& at) const;
    QList<Action> events(int timer) const;

    QJsonArray toJson() const;

private:
    struct Timer {
        quint8 mode = kInvalidMode;
        QByteArray when; // seven wire bytes
    };
    bool matches(const Timer& t, const QDateTime& at) const;

    std::array<Timer, kTimers> m_timers;
    std::array<std::array<Action, kEvents>, kTimers> m_events;
};

#include "link/pause_handling_events.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <QTimer>

#include <algorithm>

void pauseHandlingEvents(quint32 milliseconds) {
    pauseHandlingEvents(milliseconds, QElapsedTimer());
}

void pauseHandlingEvents(quint32 milliseconds, const QElapsedTimer& since) {
    // The pause sleeps until an event or its own timer wakes it, so that it spins no core. A
    // timer may wake a millisecond or two late, so it is set to end that much early; the rest
    // passes in short naps that still handle events, and the last fraction of a millisecond
    // without them: an event handled then (a repaint) would make the pause late. A read-all's
    // pace is these pauses.
    constexpr qint64 kTimerSlackNs = 2000000;
    constexpr qint64 kQuietNs = 250000;
    QElapsedTimer clock = since;
    if (!clock.isValid())
        clock.start();
    const qint64 endNs = qint64(milliseconds) * 1000000;
    const auto leftNs = [&clock, endNs] { return endNs - clock.nsecsElapsed(); };
    if (const qint64 early = leftNs() - kTimerSlackNs; early >= 1000000) {
        QTimer end;
        end.setSingleShot(true);
        end.setTimerType(Qt::PreciseTimer);
        end.start(int(early / 1000000));
        while (end.isActive())
            QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
    while (leftNs() > kQuietNs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        if (const qint64 left = leftNs(); left > kQuietNs)
            QThread::usleep(quint64(std::min<qint64>(100000, left - kQuietNs) / 1000));
    }
    while (leftNs() > 0)
        ; // a quarter of a millisecond at most
}

void handleEventsWhile(const bool& going) {
    while (going) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        if (going)
            QThread::msleep(1);
    }
}

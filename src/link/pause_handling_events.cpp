#include "link/pause_handling_events.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <QTimer>

void pauseHandlingEvents(quint32 milliseconds) {
    pauseHandlingEvents(milliseconds, QElapsedTimer());
}

void pauseHandlingEvents(quint32 milliseconds, const QElapsedTimer& since) {
    // The pause sleeps until an event or its own timer wakes it, so that it spins no core; a
    // timer may wake a millisecond late, so the last millisecond passes in short naps. A
    // read-all's pace is these pauses.
    QElapsedTimer clock = since;
    if (!clock.isValid())
        clock.start();
    const qint64 leftMs = qint64(milliseconds) - clock.elapsed();
    if (leftMs > 1) {
        QTimer end;
        end.setSingleShot(true);
        end.setTimerType(Qt::PreciseTimer);
        end.start(int(leftMs - 1));
        while (end.isActive())
            QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
    const qint64 endNs = qint64(milliseconds) * 1000000;
    while (clock.nsecsElapsed() < endNs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        QThread::usleep(100);
    }
}

void handleEventsWhile(const bool& going) {
    while (going) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        if (going)
            QThread::msleep(1);
    }
}

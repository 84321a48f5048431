#include "link/pause_handling_events.h"

#include <QCoreApplication>
#include <QThread>
#include <QTimer>

void pauseHandlingEvents(quint32 milliseconds) {
    // The pause sleeps until an event or its own timer wakes it: it ends on time (a read-all's
    // pace is these pauses) and spins no core meanwhile.
    QTimer end;
    end.setSingleShot(true);
    end.setTimerType(Qt::PreciseTimer);
    end.start(int(milliseconds));
    while (end.isActive())
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}

void handleEventsWhile(const bool& going) {
    while (going) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        if (going)
            QThread::msleep(1);
    }
}

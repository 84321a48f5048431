#include "link/pause_handling_events.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

void pauseHandlingEvents(quint32 milliseconds) {
    QElapsedTimer clock;
    clock.start();
    while (quint64(clock.elapsed()) < milliseconds) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1); // do not spin a core while nothing happens
    }
}

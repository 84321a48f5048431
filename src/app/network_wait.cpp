#include "app/network_wait.h"

#include <QCoreApplication>
#include <QEvent>
#include <QGuiApplication>

NetworkWait::NetworkWait(QObject* parent) : QObject(parent) {}

NetworkWait::~NetworkWait() {
    if (m_depth > 0)
        QGuiApplication::restoreOverrideCursor();
}

void NetworkWait::waitBegins() {
    if (m_depth++ == 0)
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    waitGoesOn();
}

void NetworkWait::waitGoesOn() {
    // Only the window's own repaints and the layouts they need: every other posted event (a
    // queued serial block, a datagram's readiness) and all input from the window system wait
    // for the loop.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::UpdateRequest);
}

void NetworkWait::waitEnds() {
    if (m_depth == 0 || --m_depth > 0)
        return;
    QGuiApplication::restoreOverrideCursor();
}

#include "moc_network_wait.cpp"

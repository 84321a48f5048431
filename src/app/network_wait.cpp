#include "app/network_wait.h"

#include <QCoreApplication>
#include <QEvent>
#include <QGuiApplication>

namespace {

bool isUserInput(QEvent::Type type) {
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::Wheel:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
        return true;
    default:
        return false;
    }
}

} // namespace

NetworkWait::NetworkWait(QObject* parent) : QObject(parent) {
    qApp->installEventFilter(this);
}

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
    // Only the window's own repaints and the layouts they need: every other posted event
    // (a queued serial block, a datagram's readiness, a deferred click) waits for the loop.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::UpdateRequest);
}

void NetworkWait::waitEnds() {
    if (m_depth == 0 || --m_depth > 0)
        return;
    QGuiApplication::restoreOverrideCursor();
    m_sinceEnd.start();
}

bool NetworkWait::eventFilter(QObject* watched, QEvent* event) {
    // Input from the window system reaches a window first and is passed on from there to the
    // widget under the pointer or with the focus: stopping it at the window drops it whole.
    if (watched->isWindowType() && isUserInput(event->type()) &&
        (m_depth > 0 || (m_sinceEnd.isValid() && m_sinceEnd.elapsed() < kAfterWaitMs)))
        return true;
    return QObject::eventFilter(watched, event);
}

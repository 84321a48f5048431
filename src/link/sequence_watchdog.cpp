#include "link/sequence_watchdog.h"

#include "link/processing_view.h"
#include "link/reply_ownership.h"

namespace {
constexpr int kWatchdogMs = 5000;
} // namespace

SequenceWatchdog::SequenceWatchdog(RunState& state, ReplyOwnership& ownership, QObject* parent)
    : QObject(parent), m_state(state), m_ownership(ownership) {
    // A coarse timer may fire up to 5 % early; the watchdog waits its full 5000 ms.
    m_timer.setTimerType(Qt::PreciseTimer);
    m_timer.setInterval(kWatchdogMs);
    connect(&m_timer, &QTimer::timeout, this, &SequenceWatchdog::expired);
}

void SequenceWatchdog::restart() {
    m_timer.stop();
    m_timer.start();
}

void SequenceWatchdog::stopSequence(SequenceStop why, quint8 status) {
    if (m_stepListener && m_timer.isActive())
        m_stepListener->sequenceStopped(why, status);
    m_timer.stop();
    m_state.TimerIndex = 0;
    m_state.EventIndex = 0;
    m_state.ControlDataIndex = 0;
    m_state.DeletingTimers = 0;
    m_state.DeletingEvents = 0;
    m_state.DeletingControlData = 0;
    m_ownership.endSteps();
    if (m_processing)
        m_processing->hideProcessing();
}

#include "moc_sequence_watchdog.cpp"

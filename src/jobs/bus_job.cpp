#include "jobs/bus_job.h"

#include "link/pause_handling_events.h"

BusJob::BusJob(Bus& bus, const QString& name, QObject* parent)
    : QObject(parent), m_exchange(bus), m_name(name) {
    m_pause.setSingleShot(true);
    m_pause.setTimerType(Qt::PreciseTimer);
    connect(&m_pause, &QTimer::timeout, this, &BusJob::next);
}

BusJob::~BusJob() {
    if (m_running)
        bus().setRunningJob(QString());
}

void BusJob::add(JobStep step) {
    m_steps.push_back(std::move(step));
}

void BusJob::addNext(JobStep step) {
    m_steps.push_front(std::move(step));
}

bool BusJob::start() {
    if (m_running) {
        m_failure = QStringLiteral("%1 is already running.").arg(m_name);
        return false;
    }
    m_failure = bus().busyReason(m_name);
    if (!m_failure.isEmpty())
        return false;
    m_running = true;
    m_stopRequested = false;
    m_done = 0;
    m_failure.clear();
    m_notSent.clear();
    m_end = End::Completed;
    bus().setRunningJob(m_name);
    emit progress(0, total());
    m_pause.start(0);
    return true;
}

void BusJob::cancel() {
    if (!m_running)
        return;
    m_exchange.cancel();
    m_pause.stop();
    if (m_failure.isEmpty())
        m_failure = QStringLiteral("cancelled");
    finish(End::Cancelled);
}

void BusJob::stop(const QString& reason) {
    m_stopRequested = true;
    if (m_failure.isEmpty())
        m_failure = reason;
}

void BusJob::next() {
    if (!m_running)
        return;
    if (m_steps.empty()) {
        finish(End::Completed);
        return;
    }
    m_current = std::move(m_steps.front());
    m_steps.pop_front();
    m_exchange.send(
        m_current->request, m_current->waitMs, [this](const ExchangeAnswer& a) { answered(a); },
        m_current->options);
}

void BusJob::answered(const ExchangeAnswer& answer) {
    if (!m_running || !m_current)
        return;
    if (!answer.notSent.isEmpty()) {
        // Nothing can go out on this link: every further request would fail alike.
        m_notSent = answer.notSent;
        m_failure = answer.notSent;
        finish(End::Stopped);
        return;
    }
    JobStep step = std::move(*m_current);
    m_current.reset();
    const bool goOn = step.take ? step.take(answer) : true;
    if (!m_running) // the step's handler cancelled the job
        return;
    ++m_done;
    emit progress(m_done, total());
    if (!goOn || m_stopRequested) {
        finish(End::Stopped);
        return;
    }
    m_pause.start(m_steps.empty() ? 0 : step.pauseMs);
}

void BusJob::finish(End end) {
    m_running = false;
    m_current.reset();
    m_end = end;
    bus().setRunningJob(QString());
    emit finished(end);
}

bool BusJob::runHere() {
    if (!start())
        return false;
    handleEventsWhile(m_running);
    return true;
}

#include "moc_bus_job.cpp"

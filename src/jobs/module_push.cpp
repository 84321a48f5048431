#include "jobs/module_push.h"

#include "link/frames.h"

namespace {
constexpr int kPauseMs = 100;
constexpr int kMonitorPauseMs = 50;
} // namespace

QString PushReport::summary() const {
    if (complete())
        return QStringLiteral("Module %1: %2 record(s) written.").arg(module).arg(written.size());
    return QStringLiteral("Module %1: %2 record(s) written, %3 not written. Stopped: %4.")
        .arg(module)
        .arg(written.size())
        .arg(notWritten.size())
        .arg(failure);
}

ModulePush::ModulePush(Bus& bus, const ModuleRecords& records, const Options& options,
                       QObject* parent)
    : QObject(parent), m_job(bus, QStringLiteral("Replace Module")) {
    const moduleplan::Plan plan = moduleplan::plan(records, options.sceneChannels);
    m_writes = plan.writes;
    m_report.module = records.module;
    m_report.notes = plan.unwritten;
    const int pause = records.isBusSwitch() ? kMonitorPauseMs : kPauseMs;
    for (int i = 0; i < m_writes.size(); ++i) {
        JobStep step;
        step.request = m_writes.at(i).write;
        step.what = m_writes.at(i).what;
        step.waitMs = options.waitMs;
        step.pauseMs = pause;
        step.take = [this, i, waitMs = options.waitMs](const ExchangeAnswer& a) {
            const QString& what = m_writes.at(i).what;
            if (a.ok()) {
                m_next = i + 1;
                m_report.written << what;
                emit written(what);
                return true;
            }
            QString why;
            if (!a.linkFailure.isEmpty())
                why = QStringLiteral("%1 could not be sent: %2").arg(what, a.linkFailure);
            else if (!a.answered)
                why = QStringLiteral("module %1 did not answer %2 within %3 ms")
                          .arg(m_report.module)
                          .arg(what)
                          .arg(waitMs);
            else
                why = QStringLiteral("module %1 refused %2: %3")
                          .arg(m_report.module)
                          .arg(what, frames::statusText(a.status));
            m_job.stop(why);
            return false;
        };
        m_job.add(step);
    }
    connect(&m_job, &BusJob::finished, this, &ModulePush::ended);
}

void ModulePush::ended() {
    m_report.cancelled = m_job.end() == BusJob::End::Cancelled;
    if (m_job.end() != BusJob::End::Completed)
        m_report.failure = m_job.failure();
    for (int i = m_next; i < m_writes.size(); ++i)
        m_report.notWritten << m_writes.at(i).what;
}

#include "moc_module_push.cpp"

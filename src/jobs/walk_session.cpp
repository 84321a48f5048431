#include "jobs/walk_session.h"

#include "link/frames.h"
#include "protocol/module_admin_requests.h"
#include "records/record_table.h"

namespace {
const QString kJobName = QStringLiteral("Walk Test");
} // namespace

WalkSession::WalkSession(Bus& bus, const Options& options, QObject* parent)
    : QObject(parent), m_exchange(bus), m_options(options) {}

WalkSession::~WalkSession() {
    m_exchange.cancel();
    if (running())
        m_exchange.bus().setRunningJob(QString());
}

bool WalkSession::takeLink() {
    Bus& bus = m_exchange.bus();
    if (running()) {
        m_failure = QStringLiteral("The walk test is already running.");
        return false;
    }
    m_failure = bus.busyReason(QStringLiteral("the walk test"));
    if (!m_failure.isEmpty())
        return false;
    bus.setRunningJob(kJobName);
    m_failure.clear();
    m_stopRequested = false;
    return true;
}

bool WalkSession::start(const QList<WalkModule>& modules) {
    if (modules.isEmpty()) {
        m_failure = QStringLiteral("Choose the modules to walk.");
        return false;
    }
    if (!takeLink())
        return false;
    const QDateTime now = QDateTime::currentDateTime();
    m_run = WalkRun();
    m_run.file = WalkRun::newFile(m_options.recordFile, m_options.siteDir, now);
    m_run.started = now;
    m_run.technician = m_options.technician;
    m_run.program = m_options.program;
    m_run.automatic = m_options.automatic;
    m_state = State::Typing;
    readTypes(modules, 0);
    return true;
}

bool WalkSession::resume(const WalkRun& run) {
    if (run.firstUntested() < 0) {
        m_failure = QStringLiteral("Every output of that walk test was tested already.");
        return false;
    }
    if (!takeLink())
        return false;
    m_run = run;
    m_run.stopped = false;
    m_run.automatic = m_run.automatic || m_options.automatic;
    m_index = -1;
    m_state = State::Acting;
    next();
    return true;
}

void WalkSession::readTypes(QList<WalkModule> modules, int at) {
    while (at < modules.size() && !modules.at(at).type.isEmpty())
        ++at;
    if (at >= modules.size() || m_stopRequested) {
        plan(modules);
        return;
    }
    emit reading(modules.at(at).address);
    m_exchange.send(moduleadmin::readType(modules.at(at).address), m_options.waitMs,
                    [this, modules, at](const ExchangeAnswer& a) mutable {
                        if (a.ok())
                            modules[at].type = moduleadmin::typeText(a.reply());
                        else
                            m_run.notes << QStringLiteral("Module %1: %2 its type read; not "
                                                          "walked")
                                               .arg(modules.at(at).address)
                                               .arg(a.answered ? QStringLiteral("refused")
                                                               : QStringLiteral("no answer to"));
                        readTypes(modules, at + 1);
                    });
}

void WalkSession::plan(const QList<WalkModule>& modules) {
    QList<ModuleRecords> records;
    try {
        for (const WalkModule& m : modules)
            records << ModuleRecords::load(m_options.recordFile, m.address, false);
    } catch (const RecordError& e) {
        m_failure = QStringLiteral("The records cannot be read: %1").arg(e.what());
        finish(true);
        return;
    }
    for (const WalkOutput& o : walkplan::outputs(modules, records))
        m_run.results << WalkResult{o, WalkResult::Verdict::Untested, {}, {}, {}, false};
    for (const WalkModule& m : modules)
        if (!m.type.isEmpty() && walkplan::outputs({m}, records).isEmpty())
            m_run.notes << QStringLiteral("Module %1 (type %2) has no output to switch")
                               .arg(m.address)
                               .arg(m.type);
    if (!save())
        return;
    m_state = State::Acting;
    m_index = -1;
    next();
}

void WalkSession::next() {
    if (m_state == State::Idle) // the results file failed: the run is over
        return;
    if (m_stopRequested) {
        m_run.stopped = m_run.firstUntested() >= 0;
        if (save())
            finish(true);
        return;
    }
    m_index = m_run.firstUntested();
    if (m_index < 0) {
        if (save())
            finish(false);
        return;
    }
    m_state = State::Acting;
    m_exchange.send(m_run.results.at(m_index).output.act(), m_options.waitMs,
                    [this](const ExchangeAnswer& a) { acted(a); });
}

void WalkSession::acted(const ExchangeAnswer& a) {
    WalkResult& r = m_run.results[m_index];
    if (!a.ok()) {
        const QString why = !a.linkFailure.isEmpty() ? a.linkFailure
                            : a.answered             ? frames::statusText(a.status)
                                                     : QString();
        record(a.answered ? WalkResult::Verdict::Refused : WalkResult::Verdict::NoAnswer, why);
        next();
        return;
    }
    r.leftOn = r.output.staysOn();
    if (!save())
        return;
    if (m_stopRequested) {
        putBack(r.output.stop(), true);
        return;
    }
    if (m_run.automatic) {
        if (!record(WalkResult::Verdict::Answered, {}))
            return;
        putBack(r.output.back(), false);
        return;
    }
    m_state = State::Asking;
    emit asked(m_index);
}

void WalkSession::answer(WalkResult::Verdict verdict, const QString& note) {
    if (m_state != State::Asking)
        return;
    if (!record(verdict, note))
        return;
    putBack(m_run.results.at(m_index).output.back(), false);
}

void WalkSession::stop() {
    if (!running())
        return;
    m_stopRequested = true;
    if (m_state == State::Asking)
        putBack(m_run.results.at(m_index).output.stop(), true);
    // Otherwise the request under way ends first, then the run stops.
}

bool WalkSession::record(WalkResult::Verdict verdict, const QString& note) {
    WalkResult& r = m_run.results[m_index];
    r.verdict = verdict;
    r.note = note;
    r.time = QDateTime::currentDateTime();
    r.technician = m_run.technician;
    if (!save())
        return false;
    if (m_options.recorded)
        m_options.recorded(r);
    emit resultRecorded(m_index);
    return true;
}

void WalkSession::putBack(const QList<Request>& requests, bool stopping) {
    m_state = stopping ? State::Stopping : State::PuttingBack;
    const int index = m_index;
    sendAll(requests, [this, index, stopping](const ExchangeAnswer&, bool allTaken) {
        // An output whose putting back went unanswered stays named as left on.
        if (allTaken)
            m_run.results[index].leftOn = false;
        if (stopping)
            m_stopRequested = true;
        next();
    });
}

void WalkSession::sendAll(QList<Request> requests, Sent done) {
    if (requests.isEmpty()) {
        done(ExchangeAnswer(), true);
        return;
    }
    const Request first = requests.takeFirst();
    m_exchange.send(first, m_options.waitMs, [this, requests, done](const ExchangeAnswer& a) {
        if (!a.ok() || requests.isEmpty()) {
            done(a, a.ok());
            return;
        }
        sendAll(requests, done);
    });
}

bool WalkSession::save() {
    try {
        m_run.save();
        return true;
    } catch (const RecordError& e) {
        m_failure =
            QStringLiteral("The results cannot be written, the walk test stops: %1").arg(e.what());
        m_exchange.cancel();
        finish(true);
        return false;
    }
}

void WalkSession::finish(bool stopped) {
    if (m_state == State::Idle)
        return;
    m_state = State::Idle;
    m_exchange.bus().setRunningJob(QString());
    emit finished(stopped);
}

#include "moc_walk_session.cpp"

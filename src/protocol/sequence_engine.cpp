#include "protocol/sequence_engine.h"

#include "link/bus.h"
#include "link/pause_handling_events.h"
#include "protocol/monitor_rows.h"
#include "protocol/sequence_owner.h"
#include "records/record_table.h"
#include "records/restore_points.h"

#include <QScopeGuard>

#include <stdexcept>

namespace {
constexpr int kWatchdogMs = 5000;
} // namespace

SequenceEngine::SequenceEngine(Bus& bus, QObject* parent) : QObject(parent), m_bus(bus) {
    // A coarse timer may fire up to 5 % early; the watchdog waits its full 5000 ms.
    m_watchdog.setTimerType(Qt::PreciseTimer);
    m_watchdog.setInterval(kWatchdogMs);
    connect(&m_watchdog, &QTimer::timeout, this, &SequenceEngine::watchdogExpired);
    connect(&m_bus, &Bus::sequenceRefused, this,
            [this](quint8 status) { stop(SequenceEnd::Refused, status); });
}

SequenceEngine::~SequenceEngine() = default;

bool SequenceEngine::keepGoing() const {
    return m_owner && m_owner->keepGoing();
}

bool SequenceEngine::running() const {
    return m_run.has_value() && m_bus.sequenceRunning();
}

bool SequenceEngine::running(SequenceKind kind) const {
    return running() && m_run->steps->kind == kind;
}

int SequenceEngine::position(SequenceKind kind) const {
    return m_positions[size_t(sequenceSpec(kind).position)];
}

qint32& SequenceEngine::index() {
    return m_positions[size_t(m_run->steps->position)];
}

void SequenceEngine::start(SequenceKind kind, RecordTable& table, TargetSource target) {
    // A scan, audit or push owns the link until it ends; the click says so and sends nothing.
    // One sequence at a time: a second would write its replies into the first one's rows.
    const QString busy = m_bus.busyReason();
    if (!busy.isEmpty())
        throw std::runtime_error(busy.toStdString());
    const SequenceSpec& steps = sequenceSpec(kind);
    const SequenceTarget first = target();
    // Another program (velm-cli) may have written the file since the table was read.
    table.reloadIfChangedElsewhere();
    // The table first: if it cannot be used, nothing has started. A slot sequence goes to each
    // slot's row as it asks for it.
    if (steps.bySlot) {
        if (!table.isOpen())
            table.first(); // throws the table's own error
    } else {
        table.first();
    }
    // A read-all overwrites rows and a delete-all removes them: the records as they are now
    // go into a restore point first, or the sequence does not start.
    restore_points::beforeWriting(table,
                                  QLatin1String(steps.deleting ? "delete-all " : "read-all ") +
                                      QLatin1String(steps.record) + QLatin1Char('s'));
    m_failure.clear();
    m_run = Run{&steps, &table, std::move(target), 0, ++m_runs, {}};
    m_bus.sequenceBegins();
    m_watchdog.start();
    index() = steps.bySlot ? steps.first(first) : 0;
    if (m_owner)
        m_owner->sequenceStarted();
    showProgress();
    sendStep();
}

void SequenceEngine::sendStep() {
    const SequenceSpec& steps = *m_run->steps;
    const SequenceTarget target = m_run->target();
    qint32& at = index();
    if (steps.bySlot) {
        // A slot without a row is skipped; past the last slot the sequence is done.
        while (!(at <= steps.last(target) && monitor::locateSlot(*m_run->table, at))) {
            if (++at > steps.last(target)) {
                finish();
                return;
            }
        }
    }
    const quint64 run = m_run->number;
    m_bus.submit(steps.request(target, at, *m_run->table), Purpose::Step,
                 {.beforeSend = [this, run](PendingRequest& step) { follow(step, run); }});
}

void SequenceEngine::follow(PendingRequest& step, quint64 run) {
    const auto current = [this, run] { return running() && m_run->number == run; };
    // A refusal ends the sequence before its reply is dispatched; an answer makes the next
    // step once the link has handled it. Anything else leaves the end to the watchdog.
    connect(&step, &PendingRequest::settled, this, [this, &step, current] {
        if (step.state() == PendingRequest::State::Refused && current()) {
            m_bus.sequenceEnds();
            stop(SequenceEnd::Refused, step.status());
        }
    });
    connect(&step, &PendingRequest::replyHandled, this, [this, &step, current](const Reply& r) {
        if (step.state() == PendingRequest::State::Answered && current())
            stepAnswered(r);
    });
}

void SequenceEngine::stepAnswered(const Reply& reply) {
    const SequenceSpec& steps = *m_run->steps;
    RecordTable& table = *m_run->table;
    // Taken now: the next request of the sequence reuses the reply area.
    const StepRow row = steps.row(reply, m_run->target(), index());
    try {
        // A slot's answer belongs to its slot's row, wherever the table was moved since the
        // request; a table of fixed rows never gets a new one.
        const bool place = steps.bySlot ? monitor::locateSlot(table, index()) : true;
        if (place) {
            table.writeRow(row.write);
            table.placeCurrent();
        }
    } catch (const std::exception& e) {
        // Nothing more is sent: the watchdog (or velm-cli's patience) ends the sequence. The
        // module took its answer back; what is lost is the row, so the text names it.
        m_failure = notStoredLine(steps.module(m_run->target()),
                                  QStringLiteral("%1 %2")
                                      .arg(QLatin1String(steps.record))
                                      .arg(steps.shownNumber(index())),
                                  e);
        throw std::runtime_error(m_failure.toStdString());
    }
    ++m_run->rows;
    m_run->replyArrived = reply.arrived;
    emit rowTaken(row.cells);
    nextStep();
}

void SequenceEngine::nextStep() {
    const quint64 run = m_run->number;
    const SequenceSpec& steps = *m_run->steps;
    qint32& at = index();
    at += 1;
    if (at > steps.last(m_run->target()) || !keepGoing()) {
        finish();
        return;
    }
    m_watchdog.start(); // anew
    showProgress();
    // Cancel, the watchdog and any other click may run during the pause. It counts from the
    // reply's arrival: the row's commit (a disk flush) takes part of it instead of adding to it.
    pauseHandlingEvents(m_pauseMs < 0 ? steps.pauseMs : quint32(m_pauseMs), m_run->replyArrived);
    if (!m_run || m_run->number != run || !keepGoing())
        return;
    // Past the last row the cursor stays at the end; the next reply appends there.
    if (!steps.bySlot && !m_run->table->eof())
        m_run->table->next();
    sendStep();
}

void SequenceEngine::finish() {
    const SequenceResult done = result(SequenceEnd::Finished, 0);
    m_watchdog.stop();
    if (m_owner)
        m_owner->sequenceEnded();
    index() = 0;
    m_run.reset();
    m_bus.sequenceEnds();
    emit ended(done);
}

void SequenceEngine::stop(SequenceEnd end, quint8 status) {
    m_watchdog.stop();
    // The sequence hears why first, then its place is forgotten and the dialog hidden.
    if (m_run) {
        const SequenceResult stopped = result(end, status);
        index() = 0;
        m_run.reset();
        emit ended(stopped);
    }
    if (m_owner)
        m_owner->sequenceEnded();
}

void SequenceEngine::cancel() {
    stop(SequenceEnd::Cancelled, 0);
    m_bus.abandonSequence(RequestEnd::Cancelled);
}

void SequenceEngine::watchdogExpired() {
    stop(SequenceEnd::TimedOut, 0);
    m_bus.abandonSequence(RequestEnd::Superseded);
    emit message(QStringLiteral("Timeout！"));
}

SequenceResult SequenceEngine::result(SequenceEnd end, quint8 status) {
    SequenceResult r;
    r.kind = m_run->steps->kind;
    r.end = end;
    r.status = status;
    r.step = m_run->steps->shownNumber(end == SequenceEnd::Finished ? index() - 1 : index());
    r.rows = m_run->rows;
    const SequenceTarget target = m_run->target ? m_run->target() : SequenceTarget{};
    r.module = target.module;
    const SequenceSpec& steps = *m_run->steps;
    r.first = steps.shownNumber(steps.bySlot ? steps.first(target) : 0);
    r.last = steps.shownNumber(steps.last(target));
    return r;
}

QString SequenceResult::endLine() const {
    if (end == SequenceEnd::Finished)
        return QString();
    const SequenceSpec& steps = sequenceSpec(kind);
    const QString records = QString::fromLatin1(steps.record) + QLatin1Char('s');
    const QString action = steps.deleting ? QStringLiteral("Delete") : QStringLiteral("Read");
    const QString how = end == SequenceEnd::Cancelled  ? QStringLiteral("cancelled")
                        : end == SequenceEnd::TimedOut ? QStringLiteral("timed out")
                                                       : QStringLiteral("refused");
    const int total = last - first + 1;
    const int done = qBound(0, step - first, total);
    QString line =
        QStringLiteral("%1 of %2 %3 after %4 of %5").arg(action, records, how).arg(done).arg(total);
    if (done < total) {
        const QString range =
            step == last ? QString::number(step) : QStringLiteral("%1–%2").arg(step).arg(last);
        line += QStringLiteral(": %1 %2 not %3")
                    .arg(done + 1 == total ? QString::fromLatin1(steps.record) : records, range,
                         steps.deleting ? QStringLiteral("deleted") : QStringLiteral("read"));
        if (!steps.deleting)
            line += QStringLiteral(" (their rows keep what they held)");
    }
    return line + QLatin1Char('.');
}

void SequenceEngine::keepPlace(RecordTable& table, const std::function<void()>& work) {
    if (!running() || m_run->table != &table) {
        // A Set's row lookup works from the file as it is now, never in mid-sequence.
        if (!running())
            table.reloadIfChangedElsewhere();
        work();
        return;
    }
    // The running sequence writes its next reply into the table's current row: keep it.
    const int row = table.currentRow();
    const auto back = qScopeGuard([&table, row] {
        if (row >= 0) {
            table.setCurrentRow(row);
        } else {
            table.last();
            if (!table.eof())
                table.next();
        }
    });
    work();
}

void SequenceEngine::showProgress() {
    if (!m_owner)
        return;
    const SequenceSpec& steps = *m_run->steps;
    const SequenceTarget target = m_run->target();
    const int first = steps.bySlot ? steps.first(target) : 0;
    m_owner->setProgress(index() - first + 1, steps.last(target) - first + 1);
}

QString SequenceEngine::notStoredLine(int module, const QString& row, const std::exception& cause) {
    return QStringLiteral("Module %1: %2 was not stored: %3")
        .arg(module)
        .arg(row, QString::fromStdString(cause.what()));
}

void SequenceEngine::storeOnSetAck(QObject* owner, quint8 command, quint8 subCommand,
                                   RecordTable& table, std::function<SetRow()> setRow,
                                   std::function<void()> store) {
    m_bus.registerReply(
        owner, command, subCommand,
        [this, &table, setRow = std::move(setRow), store = std::move(store)](const Reply& r) {
            if (r.answers != Awaiting::Set)
                return;
            try {
                keepPlace(table, store);
            } catch (const std::exception& e) {
                const SetRow row = setRow();
                throw std::runtime_error(notStoredLine(row.module, row.name, e).toStdString());
            }
        },
        ReplyRule::Answer);
}

#include "moc_sequence_engine.cpp"

#include "jobs/module_replace.h"

#include "link/frame_tap.h"
#include "link/frames.h"
#include "link/pause_handling_events.h"
#include "protocol/module_admin_requests.h"
#include "protocol/module_kinds.h"
#include "protocol/timer_requests.h"

#include <QTime>
#include <QTimer>

namespace {
constexpr quint8 kAddressReadReply = 0x80;
constexpr quint8 kAddressReadSub = 0x05;
constexpr int kClockToleranceSecs = 10;

QString familyText(const QString& typeOrFamily) {
    const modulekind::Kind kind = modulekind::ofType(typeOrFamily);
    if (kind != modulekind::Kind::Other)
        return QStringLiteral("%1 (%2)").arg(typeOrFamily, modulekind::name(kind));
    return typeOrFamily;
}
// How many frames follow one another in a serial block (each names its length in its third
// byte); bytes that begin no frame count as one more.
int framesIn(const QByteArray& block) {
    int count = 0;
    int at = 0;
    while (at + 2 < block.size() && quint8(block[at]) == 0x55 && quint8(block[at + 1]) == 0xAA &&
           quint8(block[at + 2]) > 2) {
        ++count;
        at += quint8(block[at + 2]);
    }
    return count + (at < block.size() ? 1 : 0);
}
} // namespace

ModuleReplace::ModuleReplace(Bus& bus, const ModuleRecords& records, const Options& options,
                             QObject* parent)
    : QObject(parent), m_bus(bus), m_records(records), m_options(options) {
    m_options.expected = modulekind::expectation(options.expected);
    // Every module hears the address Read; each one in addressing mode answers on its own, so
    // the answers are counted as they come, not only the first.
    connect(&bus, &Bus::replyAccepted, this, [this](const Reply& r) {
        if (!m_running || m_step != Step::Read || r[4] != kAddressReadReply ||
            r[5] != kAddressReadSub || r[6] != 1)
            return;
        if (!m_answered.contains(int(r[7])))
            m_answered << int(r[7]);
    });
    // On a serial line answers close together come as one block, of which the intake takes
    // the first frame only; answers that collided come garbled. Both are counted here.
    connect(&bus.tap(), &FrameTap::frame, this, [this](const TappedFrame& f) {
        if (!m_running || m_step != Step::Read || f.direction != TappedFrame::Direction::Received)
            return;
        if (f.dropped() && f.fate != TappedFrame::Fate::ForeignSender)
            ++m_unreadAnswers;
        else if (f.link == TappedFrame::Link::Serial)
            m_unreadAnswers += framesIn(f.bytes) - 1;
    });
}

ModuleReplace::~ModuleReplace() = default;

QString ModuleReplace::stepName(Step step) {
    switch (step) {
    case Step::Read:
        return QStringLiteral("address Read");
    case Step::Type:
        return QStringLiteral("type check");
    case Step::Address:
        return QStringLiteral("address Set");
    case Step::Clock:
        return QStringLiteral("clock set");
    case Step::Push:
        return QStringLiteral("push");
    case Step::Audit:
        return QStringLiteral("audit");
    case Step::Done:
        break;
    }
    return QStringLiteral("end");
}

bool ModuleReplace::start() {
    m_failure = m_bus.busyReason(QStringLiteral("Replace Module"));
    if (!m_failure.isEmpty())
        return false;
    m_running = true;
    m_step = Step::Read;
    QTimer::singleShot(0, this, &ModuleReplace::runStep);
    return true;
}

void ModuleReplace::runHere() {
    if (start())
        handleEventsWhile(m_running);
}

void ModuleReplace::cancel() {
    if (!m_running)
        return;
    m_cancelled = true;
    if (m_job)
        m_job->cancel();
    if (m_push)
        m_push->job().cancel();
    if (m_audit)
        m_audit->job().cancel();
    fail(QStringLiteral("cancelled"));
}

void ModuleReplace::runStep() {
    if (!m_running)
        return;
    switch (m_step) {
    case Step::Read:
        readAddress();
        break;
    case Step::Type:
        readType();
        break;
    case Step::Address:
        setAddress();
        break;
    case Step::Clock:
        setClock();
        break;
    case Step::Push:
        pushRecords();
        break;
    case Step::Audit:
        auditRecords();
        break;
    case Step::Done:
        finish();
        break;
    }
}

BusJob& ModuleReplace::newJob() {
    m_job = std::make_unique<BusJob>(m_bus, QStringLiteral("Replace Module"));
    return *m_job;
}

bool ModuleReplace::runJob() {
    if (m_job->start())
        return true;
    fail(m_job->failure());
    return false;
}

QString ModuleReplace::unanswered(const ExchangeAnswer& a, const QString& what) const {
    if (!a.linkFailure.isEmpty())
        return QStringLiteral("%1 could not be sent: %2").arg(what, a.linkFailure);
    if (!a.answered)
        return QStringLiteral("no answer to %1 within %2 ms").arg(what).arg(m_options.waitMs);
    return QStringLiteral("%1 refused: %2").arg(what, frames::statusText(a.status));
}

void ModuleReplace::readAddress() {
    m_answered.clear();
    m_unreadAnswers = 0;
    BusJob& job = newJob();
    JobStep read;
    read.request = moduleadmin::readAddress();
    read.what = stepName(Step::Read);
    read.waitMs = m_options.waitMs;
    read.take = [](const ExchangeAnswer&) { return true; };
    job.add(read);
    connect(&job, &BusJob::finished, this, [this] {
        // Further modules answer a little later: wait for them before counting.
        QTimer::singleShot(m_options.extraAnswerMs, this, [this] {
            if (!m_running)
                return;
            const int answers = int(m_answered.size()) + m_unreadAnswers;
            if (answers == 0)
                return fail(QStringLiteral("no module answered the address Read: connect the "
                                           "spare alone and try again"));
            if (answers > 1) {
                QStringList at;
                for (int a : m_answered)
                    at << QString::number(a);
                return fail(QStringLiteral("%1 modules answered: disconnect all but the spare "
                                           "(addresses read: %2)")
                                .arg(answers)
                                .arg(at.join(QStringLiteral(", "))));
            }
            if (m_answered.isEmpty()) // the one answer came garbled
                return fail(QStringLiteral("the answer to the address Read could not be read: "
                                           "try again"));
            m_spare = m_answered.first();
            if (m_options.from >= 0 && m_spare != m_options.from)
                return fail(QStringLiteral("the spare answers at %1, not at %2 as given")
                                .arg(m_spare)
                                .arg(m_options.from));
            advance(QStringLiteral("the spare answers at %1").arg(m_spare));
        });
    });
    runJob();
}

void ModuleReplace::readType() {
    BusJob& job = newJob();
    JobStep type;
    type.request = moduleadmin::readType(m_spare);
    type.what = QStringLiteral("Read Module Type");
    type.waitMs = m_options.waitMs;
    type.take = [this](const ExchangeAnswer& a) {
        if (!a.ok()) {
            m_job->stop(unanswered(a, QStringLiteral("Read Module Type at %1").arg(m_spare)));
            return false;
        }
        m_type = moduleadmin::typeText(a.reply());
        return true;
    };
    job.add(type);
    JobStep version;
    version.request = moduleadmin::readVersion(m_spare);
    version.what = QStringLiteral("Read Software Version");
    version.waitMs = m_options.waitMs;
    version.take = [this](const ExchangeAnswer& a) {
        m_version = a.ok() ? moduleadmin::versionText(a.reply()) : QStringLiteral("unknown");
        return true;
    };
    job.add(version);
    connect(&job, &BusJob::finished, this, [this] {
        if (!m_running)
            return;
        if (!m_job->failure().isEmpty())
            return fail(m_job->failure());
        const QString found = QStringLiteral("type %1, version %2").arg(m_type, m_version);
        if (m_options.expected.isEmpty()) {
            m_typeNote = QStringLiteral("the spare's type was not checked: module %1's type is "
                                        "not known")
                             .arg(m_options.failed);
            return advance(found + QStringLiteral(", not checked"));
        }
        if (modulekind::fits(m_options.expected, m_type))
            return advance(found + QStringLiteral(", as expected"));
        const QString differs = QStringLiteral("the spare is %1, module %2 is %3")
                                    .arg(familyText(m_type))
                                    .arg(m_options.failed)
                                    .arg(familyText(m_options.expected));
        if (m_options.override && m_options.override(differs + QStringLiteral(". Are you sure?"))) {
            m_typeNote =
                differs + QStringLiteral(": replaced all the same, on the technician's word");
            return advance(found + QStringLiteral(", differs; went on by the technician's word"));
        }
        fail(differs);
    });
    runJob();
}

void ModuleReplace::setAddress() {
    if (m_spare == m_options.failed)
        return advance(QStringLiteral("the spare already answers at %1").arg(m_spare));
    BusJob& job = newJob();
    JobStep set;
    set.request = moduleadmin::setAddress(m_options.failed);
    set.what = QStringLiteral("address Set");
    set.waitMs = m_options.waitMs;
    set.pauseMs = 100;
    set.take = [this](const ExchangeAnswer& a) {
        if (!a.ok()) {
            m_job->stop(
                unanswered(a, QStringLiteral("the address Set to %1").arg(m_options.failed)));
            return false;
        }
        m_addressWritten = true;
        return true;
    };
    job.add(set);
    JobStep back;
    back.request = moduleadmin::readAddress();
    back.what = QStringLiteral("address read back");
    back.waitMs = m_options.waitMs;
    back.take = [this](const ExchangeAnswer& a) {
        if (!a.ok()) {
            m_job->stop(unanswered(a, QStringLiteral("the address read back")));
            return false;
        }
        if (a[7] != m_options.failed) {
            m_job->stop(QStringLiteral("the spare reads back address %1, not %2")
                            .arg(a[7])
                            .arg(m_options.failed));
            return false;
        }
        return true;
    };
    job.add(back);
    connect(&job, &BusJob::finished, this, [this] {
        if (!m_running)
            return;
        if (!m_job->failure().isEmpty())
            return fail(m_job->failure());
        advance(QStringLiteral("address %1 set and read back").arg(m_options.failed));
    });
    runJob();
}

void ModuleReplace::setClock() {
    if (modulekind::ofType(m_type) != modulekind::Kind::Timer)
        return advance(QString());
    const QDateTime now = QDateTime::currentDateTime();
    const auto request = timing::clock::setTime(m_options.failed, now.date(),
                                                now.time().toString(QStringLiteral("hh:mm:ss")));
    BusJob& job = newJob();
    JobStep set;
    set.request = *request;
    set.what = QStringLiteral("clock set");
    set.waitMs = m_options.waitMs;
    set.take = [this](const ExchangeAnswer& a) {
        if (!a.ok()) {
            m_job->stop(unanswered(a, QStringLiteral("the clock set")));
            return false;
        }
        m_clockWritten = true;
        return true;
    };
    job.add(set);
    JobStep back;
    back.request = timing::clock::read(m_options.failed);
    back.what = QStringLiteral("clock read back");
    back.waitMs = m_options.waitMs;
    back.take = [this, now](const ExchangeAnswer& a) {
        if (!a.ok()) {
            m_job->stop(unanswered(a, QStringLiteral("the clock read back")));
            return false;
        }
        const QByteArray sent = *timing::clockBytes(now.date(), now.time().toString("hh:mm:ss"));
        const QTime held = QTime::fromString(timing::clock::timeText(a[9], a[8], a[7]),
                                             QStringLiteral("hh:mm:ss"));
        const bool sameDay =
            a[10] == quint8(sent[3]) && a[12] == quint8(sent[5]) && a[13] == quint8(sent[6]);
        if (!sameDay || !held.isValid() || qAbs(now.time().secsTo(held)) > kClockToleranceSecs) {
            m_job->stop(QStringLiteral("the clock reads back %1 %2")
                            .arg(timing::clock::dateText(a[10], a[12], a[13]),
                                 timing::clock::timeText(a[9], a[8], a[7])));
            return false;
        }
        return true;
    };
    job.add(back);
    connect(&job, &BusJob::finished, this, [this, now] {
        if (!m_running)
            return;
        if (!m_job->failure().isEmpty())
            return fail(m_job->failure());
        advance(QStringLiteral("clock set to %1 and read back")
                    .arg(now.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))));
    });
    runJob();
}

void ModuleReplace::pushRecords() {
    m_recordsReached = true;
    const moduleplan::Plan plan = moduleplan::plan(m_records, m_options.sceneChannels);
    m_noRecords = plan.writes.isEmpty() && plan.checks.isEmpty() && plan.unwritten.isEmpty() &&
                  plan.unfitUnread.isEmpty();
    if (m_noRecords) {
        // Neither a push nor an audit: nothing was sent, so nothing may read as checked.
        emit stepEnded(Step::Push, true,
                       QStringLiteral("no records for module %1: nothing to push or check")
                           .arg(m_options.failed));
        m_step = Step::Done;
        QTimer::singleShot(0, this, &ModuleReplace::runStep);
        return;
    }
    m_push = std::make_unique<ModulePush>(
        m_bus, m_records, ModulePush::Options{m_options.sceneChannels, m_options.waitMs});
    connect(&m_push->job(), &BusJob::finished, this, [this] {
        if (!m_running)
            return;
        const PushReport& r = m_push->report();
        if (!r.complete())
            return fail(r.summary());
        advance(r.summary());
    });
    if (!m_push->job().start())
        fail(m_push->job().failure());
}

void ModuleReplace::auditRecords() {
    m_audit = std::make_unique<ModuleAudit>(m_bus, m_records, m_options.waitMs);
    connect(&m_audit->job(), &BusJob::finished, this, [this] {
        if (!m_running)
            return;
        const AuditReport& r = m_audit->report();
        emit stepEnded(Step::Audit, r.allSame(),
                       r.allSame() && r.items.isEmpty()
                           ? QStringLiteral("nothing pushed can be read back: not checked")
                           : r.summary());
        m_step = Step::Done;
        QTimer::singleShot(0, this, &ModuleReplace::runStep);
    });
    if (!m_audit->job().start())
        fail(m_audit->job().failure());
}

void ModuleReplace::advance(const QString& detail) {
    if (!detail.isEmpty())
        emit stepEnded(m_step, true, detail);
    m_step = Step(int(m_step) + 1);
    QTimer::singleShot(0, this, &ModuleReplace::runStep);
}

void ModuleReplace::fail(const QString& why) {
    if (!m_running)
        return;
    m_failure = why;
    const QStringList w = written();
    emit stepEnded(
        m_step, false,
        why + (w.isEmpty() ? QStringLiteral("; nothing was written to the spare")
                           : QStringLiteral("; already written: ") + w.join(QStringLiteral(", "))));
    finish();
}

void ModuleReplace::finish() {
    m_running = false;
    emit finished();
}

QStringList ModuleReplace::written() const {
    QStringList w;
    if (m_addressWritten)
        w << QStringLiteral("address %1").arg(m_options.failed);
    if (m_clockWritten)
        w << QStringLiteral("its clock");
    if (m_push && !m_push->report().written.isEmpty())
        w << QStringLiteral("%1 record(s)").arg(m_push->report().written.size());
    return w;
}

QStringList ModuleReplace::closingList() const {
    QStringList out;
    if (!m_typeNote.isEmpty())
        out << m_typeNote;
    // Only the records pushed make the learned codes missing ones.
    for (const ModuleRecords::IrCode& ir :
         m_recordsReached ? m_records.irCodes : QList<ModuleRecords::IrCode>())
        out << (ir.name.isEmpty()
                    ? QStringLiteral("learn IR code %1 again").arg(ir.irNo)
                    : QStringLiteral("learn IR code %1 again (%2)").arg(ir.irNo).arg(ir.name));
    if (m_audit) {
        for (const AuditItem& i : m_audit->report().items)
            if (i.verdict != AuditItem::Verdict::Same)
                out << QStringLiteral("%1 %2: records \"%3\", module \"%4\"")
                           .arg(i.what, AuditItem::verdictText(i.verdict), i.records, i.module);
        if (!m_audit->report().failure.isEmpty())
            out << QStringLiteral("the audit ended early: ") + m_audit->report().failure;
    }
    return out;
}

bool ModuleReplace::succeeded() const {
    return completed() && (!m_audit || m_audit->report().allSame());
}

QString ModuleReplace::recordsOutcome() const {
    if (m_noRecords)
        return QStringLiteral("no records for module %1: nothing to push or check")
            .arg(m_options.failed);
    const int pushed = m_push ? int(m_push->report().written.size()) : 0;
    const AuditReport* a = audit();
    if (!a)
        return QStringLiteral("%1 record(s) pushed, not audited").arg(pushed);
    if (!a->allSame())
        return QStringLiteral("%1 record(s) pushed, but the audit says: %2")
            .arg(pushed)
            .arg(a->summary());
    if (a->items.isEmpty())
        return QStringLiteral("%1 record(s) pushed; none can be read back, so none was checked")
            .arg(pushed);
    return QStringLiteral("%1 record(s) pushed, all %2 read back agree")
        .arg(pushed)
        .arg(a->items.size());
}

QString ModuleReplace::summary() const {
    if (completed())
        return QStringLiteral("Module %1%2: the spare (type %3, version %4) answers at %1; %5.")
            .arg(m_options.failed)
            .arg(succeeded() ? QStringLiteral(" replaced") : QString())
            .arg(m_type, m_version, recordsOutcome());
    const QStringList w = written();
    return QStringLiteral("Stopped at the %1: %2. %3")
        .arg(stepName(m_step), m_failure,
             w.isEmpty()
                 ? QStringLiteral("Nothing was written to the spare.")
                 : QStringLiteral("Already written: %1.").arg(w.join(QStringLiteral(", "))));
}

#include "moc_module_replace.cpp"

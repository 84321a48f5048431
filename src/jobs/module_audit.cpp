#include "jobs/module_audit.h"

#include "link/frames.h"
#include "protocol/bus_switch_requests.h"
#include "protocol/module_admin_requests.h"

#include <iterator>

namespace {
// Each verdict as the window and the table show it, and as JSON names it.
struct VerdictName {
    AuditItem::Verdict verdict;
    const char* text;
    const char* key;
};
constexpr VerdictName kVerdictNames[] = {
    {AuditItem::Verdict::Same, "same", "same"},
    {AuditItem::Verdict::Different, "different", "different"},
    {AuditItem::Verdict::OnlyInModule, "only in the module", "module-only"},
    {AuditItem::Verdict::OnlyInRecords, "only in the records", "records-only"},
    {AuditItem::Verdict::NoAnswer, "no answer", "no-answer"},
};
const VerdictName& nameOf(AuditItem::Verdict v) {
    for (const VerdictName& n : kVerdictNames)
        if (n.verdict == v)
            return n;
    return kVerdictNames[std::size(kVerdictNames) - 1];
}
} // namespace

QString AuditItem::verdictText(Verdict v) {
    return QString::fromLatin1(nameOf(v).text);
}

QString AuditItem::verdictKey(Verdict v) {
    return QString::fromLatin1(nameOf(v).key);
}

int AuditReport::count(AuditItem::Verdict v) const {
    int n = 0;
    for (const AuditItem& i : items)
        n += i.verdict == v ? 1 : 0;
    return n;
}

bool AuditReport::allSame() const {
    return failure.isEmpty() && !cancelled && count(AuditItem::Verdict::Same) == items.size();
}

QString AuditReport::summary() const {
    using V = AuditItem::Verdict;
    // Scenes and IR codes have no read: an audit of nothing else checked nothing.
    if (allSame() && items.isEmpty())
        return QStringLiteral("Module %1: nothing could be read back to check.").arg(module);
    if (allSame())
        return QStringLiteral("Module %1: all %2 records agree.").arg(module).arg(items.size());
    QStringList parts;
    const std::pair<V, const char*> kinds[] = {{V::Different, "differ"},
                                               {V::OnlyInModule, "only in the module"},
                                               {V::OnlyInRecords, "only in the records"},
                                               {V::NoAnswer, "not answered"},
                                               {V::Same, "the same"}};
    for (const auto& [v, text] : kinds)
        if (const int n = count(v))
            parts << QStringLiteral("%1 %2").arg(n).arg(QLatin1String(text));
    QString text =
        QStringLiteral("Module %1: %2.").arg(module).arg(parts.join(QStringLiteral(", ")));
    if (!failure.isEmpty())
        text += QStringLiteral(" Stopped: %1.").arg(failure);
    return text;
}

ModuleAudit::ModuleAudit(Bus& bus, const ModuleRecords& records, int waitMs, QObject* parent)
    : QObject(parent), m_job(bus, QStringLiteral("Audit Module")), m_waitMs(waitMs) {
    const moduleplan::Plan plan = moduleplan::plan(records, 8);
    m_checks = plan.checks;
    m_unfit = plan.unfitUnread;
    m_report.module = records.module;
    m_report.notes = plan.unchecked;
    if (m_checks.isEmpty())
        m_report.notes << QStringLiteral("The records hold nothing for module %1 that can be "
                                         "read back")
                              .arg(records.module);

    JobStep type;
    if (records.isBusSwitch()) {
        type.request = busswitch::readType();
        type.options.layout = busswitch::layout(bus.settings().subnetId());
    } else {
        type.request = moduleadmin::readType(records.module);
    }
    type.what = QStringLiteral("Module type");
    type.waitMs = waitMs;
    type.pauseMs = 100;
    type.take = [this](const ExchangeAnswer& a) {
        if (!a.ok()) {
            const QString why =
                !a.answered
                    ? QStringLiteral("did not answer its type read")
                    : QStringLiteral("refused its type read: %1").arg(frames::statusText(a.status));
            m_job.stop(QStringLiteral("module %1 %2").arg(m_report.module).arg(why));
            return false;
        }
        m_report.type = moduleadmin::typeText(a.reply());
        return true;
    };
    m_job.add(type);
    for (int i = 0; i < m_checks.size(); ++i) {
        const moduleplan::Check& c = m_checks.at(i);
        JobStep step;
        step.request = c.read;
        step.what = c.what;
        step.waitMs = waitMs;
        step.pauseMs = c.pauseMs;
        step.take = [this, i](const ExchangeAnswer& a) {
            takeCheck(i, a);
            return a.ok();
        };
        m_job.add(step);
    }
    connect(&m_job, &BusJob::finished, this, &ModuleAudit::ended);
}

std::optional<AuditItem> ModuleAudit::compare(const moduleplan::Check& check,
                                              const std::optional<moduleplan::Held>& held) {
    using V = AuditItem::Verdict;
    AuditItem item;
    item.what = check.what;
    if (check.record)
        item.records = check.record->text;
    // A record that cannot go out as it stands never agrees, whatever the module holds.
    if (check.record && !check.record->unfit.isEmpty()) {
        if (held)
            item.module = held->text;
        item.verdict = held ? V::Different : V::NoAnswer;
        return item;
    }
    if (!held) {
        if (!check.record)
            return std::nullopt;
        item.verdict = V::NoAnswer;
        return item;
    }
    item.module = held->text;
    const bool recordHolds = check.record && !check.record->empty;
    if (!check.record && held->empty)
        return std::nullopt;
    if (!recordHolds)
        item.verdict = held->empty ? V::Same : V::OnlyInModule;
    else if (held->empty)
        item.verdict = V::OnlyInRecords;
    else
        item.verdict = held->bytes == check.record->expected ? V::Same : V::Different;
    return item;
}

void ModuleAudit::takeCheck(int index, const ExchangeAnswer& a) {
    const moduleplan::Check& c = m_checks.at(index);
    if (!a.ok()) {
        QString why = !a.answered
                          ? QStringLiteral("did not answer within %1 ms").arg(m_waitMs)
                          : QStringLiteral("refused it: %1").arg(frames::statusText(a.status));
        if (!a.linkFailure.isEmpty())
            why = QStringLiteral("could not be asked: %1").arg(a.linkFailure);
        m_job.stop(QStringLiteral("module %1 %2 (%3)").arg(m_report.module).arg(why, c.what));
        return;
    }
    QByteArray data;
    for (int n = 0; n < c.dataBytes; ++n)
        data.append(char(a[7 + n]));
    m_read = index + 1;
    if (const auto item = compare(c, c.decode(data))) {
        m_report.items << *item;
        emit itemReady(*item);
    }
}

void ModuleAudit::ended() {
    m_report.cancelled = m_job.end() == BusJob::End::Cancelled;
    if (m_job.end() != BusJob::End::Completed)
        m_report.failure = m_job.failure();
    // What was not read stays unanswered: its records were not checked.
    for (int i = m_read; i < m_checks.size(); ++i)
        if (const auto item = compare(m_checks.at(i), std::nullopt)) {
            m_report.items << *item;
            emit itemReady(*item);
        }
    // Records no read covers but that do not fit their request differ all the same.
    for (const moduleplan::Planned& p : std::as_const(m_unfit)) {
        const AuditItem item{p.what, p.text, QString(), AuditItem::Verdict::Different};
        m_report.items << item;
        emit itemReady(item);
    }
}

#include "moc_module_audit.cpp"

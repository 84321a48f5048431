#include "report/live_reading.h"

#include "jobs/module_audit.h"
#include "jobs/module_scan.h"
#include "link/pause_handling_events.h"
#include "protocol/bus_switch_requests.h"
#include "records/record_table.h"

#include <QTimer>

#include <algorithm>

LiveReading::LiveReading(Bus& bus, const ReportRequest& request, ReportContent content,
                         QObject* parent)
    : QObject(parent), m_bus(bus), m_request(request), m_content(std::move(content)) {
    m_content.live = true;
    m_content.link = bus.linkDescription();
}

LiveReading::~LiveReading() = default;

bool LiveReading::start() {
    if (m_running) {
        m_failure = QStringLiteral("The report is already reading the modules.");
        return false;
    }
    m_failure.clear();
    m_stages = {[this] {
        ModuleScan::Options o;
        o.waitMs = m_request.scanWaitMs;
        if (!m_request.modules.isEmpty()) {
            o.addresses = m_request.modules;
            if (m_request.timerModule > 0 && !o.addresses.contains(m_request.timerModule))
                o.addresses << m_request.timerModule;
        }
        m_scan = std::make_unique<ModuleScan>(m_bus, o);
        connect(&m_scan->job(), &BusJob::finished, this, &LiveReading::scanned);
        runJob(m_scan->job(), QStringLiteral("Asking the modules for their type"));
    }};
    // A link that is busy now refuses the first job: that is said by start() alone.
    m_running = true;
    m_starting = true;
    nextStage();
    m_starting = false;
    return m_running;
}

bool LiveReading::runJob(BusJob& job, const QString& what) {
    m_job = &job;
    connect(&job, &BusJob::progress, this,
            [this, what](int done, int total) { emit progress(what, done, total); });
    if (job.start())
        return true;
    m_failure = job.failure();
    m_job = nullptr;
    finish();
    return false;
}

void LiveReading::nextStage() {
    if (!m_running)
        return;
    if (m_stages.isEmpty()) {
        finish();
        return;
    }
    const std::function<void()> stage = m_stages.takeFirst();
    stage();
}

// From the event loop: the job that just ended is still sending its finished signal, and the
// next stage replaces it.
void LiveReading::nextStageLater() {
    QTimer::singleShot(0, this, &LiveReading::nextStage);
}

void LiveReading::scanned() {
    m_job = nullptr;
    if (m_scan->job().end() == BusJob::End::Cancelled) {
        finish();
        return;
    }
    // Every module the records name (or those asked for), and whatever else answered.
    QList<int> addresses;
    for (const ReportContent::Module& m : std::as_const(m_content.modules))
        addresses << m.address;
    if (m_request.timerModule > 0)
        addresses << m_request.timerModule;
    for (const ScanHit& h : m_scan->hits())
        if (m_request.modules.isEmpty() || m_request.modules.contains(h.address) ||
            h.address == m_request.timerModule)
            addresses << h.address;
    std::sort(addresses.begin(), addresses.end());
    addresses.erase(std::unique(addresses.begin(), addresses.end()), addresses.end());
    const QList<int> owners = m_content.records.owners();
    m_content.modules.clear();
    for (int a : addresses) {
        ReportContent::Module m{a, {}, {}, owners.contains(a), false};
        for (const ScanHit& h : m_scan->hits())
            if (h.address == a) {
                m.type = h.type;
                m.version = h.version;
                m.answered = true;
            }
        m_content.modules << m;
        if (!m.answered)
            continue;
        m_stages << [this, a] {
            ModuleRecords records;
            try {
                records =
                    ModuleRecords::load(m_request.databaseFile, a, a == m_request.timerModule);
            } catch (const RecordError& e) {
                m_failure = QString::fromStdString(e.what());
                finish();
                return;
            }
            m_audit = std::make_unique<ModuleAudit>(m_bus, records, m_request.replyWaitMs);
            connect(&m_audit->job(), &BusJob::finished, this, &LiveReading::audited);
            runJob(m_audit->job(), a == 0xFF ? QStringLiteral("Auditing the bus switch")
                                             : QStringLiteral("Auditing module %1").arg(a));
        };
    }
    // The settings read is a broadcast: the network's alone.
    if (m_bus.settings().networkMode())
        m_stages << [this] {
            m_settingsRead.reset(busSwitchRead());
            connect(m_settingsRead.get(), &BusJob::finished, this, [this](BusJob::End end) {
                m_job = nullptr;
                if (end == BusJob::End::Cancelled)
                    m_content.busSwitch.reset();
                nextStageLater();
            });
            runJob(*m_settingsRead, QStringLiteral("Reading the bus switch's settings"));
        };
    nextStageLater();
}

void LiveReading::audited() {
    m_job = nullptr;
    const AuditReport& r = m_audit->report();
    m_content.audits.insert(r.module, r);
    if (r.cancelled) {
        finish();
        return;
    }
    nextStageLater();
}

BusJob* LiveReading::busSwitchRead() {
    auto* job = new BusJob(m_bus, QStringLiteral("Installation Report"));
    m_content.busSwitch = ReportContent::BusSwitch{};
    JobStep step;
    step.request = busswitch::readSettings();
    // Over the network to everyone on the remote port and without the password, as the
    // window's "Read" sends it.
    step.options = {.layout = busswitch::layout(busswitch::kSettingsSubnet),
                    .skipPassword = true,
                    .broadcast = true};
    step.what = QStringLiteral("bus switch settings");
    step.waitMs = m_request.replyWaitMs;
    step.take = [this](const ExchangeAnswer& a) {
        ReportContent::BusSwitch& b = *m_content.busSwitch;
        if (!a.ok()) {
            b.failure = !a.linkFailure.isEmpty()
                            ? QStringLiteral("could not be asked: %1").arg(a.linkFailure)
                        : a.answered ? QStringLiteral("refused the settings read")
                                     : QStringLiteral("did not answer");
            return true;
        }
        b.answered = true;
        b.settings = busswitch::settingsText(busswitch::replyBlock(a.reply()));
        return true;
    };
    job->add(step);
    return job;
}

void LiveReading::cancel() {
    if (!m_running)
        return;
    m_failure = QStringLiteral("cancelled");
    m_stages.clear();
    if (m_job)
        m_job->cancel(); // its finished handler ends the reading
    else
        finish();
}

void LiveReading::finish() {
    if (!m_running)
        return;
    m_running = false;
    m_stages.clear();
    m_content.liveFailure = m_failure;
    if (!m_starting)
        emit finished();
}

bool LiveReading::runHere() {
    if (!start())
        return false;
    handleEventsWhile(m_running);
    return true;
}

#include "moc_live_reading.cpp"

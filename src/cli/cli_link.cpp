#include "cli/cli_link.h"

#include "cli/cli_monitor.h"
#include "cli/cli_output.h"
#include "link/frames.h"
#include "records/record_table.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <algorithm>

CliLink::CliLink(const CliOptions& options) : m_options(options) {
    m_settings.network = options.link == CliOptions::Link::Udp;
    m_settings.extension = false;
    m_settings.masked = true;
    m_settings.pass = options.password;
    m_settings.subnet = options.subnet;
    m_settings.remotePort = QString::number(options.port);
    m_bus = std::make_unique<Bus>(m_settings);
    m_bus->setReplyWait(options.timeoutMs);
    m_exchange = std::make_unique<BusExchange>(*m_bus);
    if (cli::FrameMonitor::wanted(options))
        m_monitor = std::make_unique<cli::FrameMonitor>(*m_bus, options);
}

CliLink::~CliLink() {
    m_bus->closeAll();
}

void CliLink::open() {
    if (m_options.link == CliOptions::Link::Udp) {
        if (!m_bus->openNetwork({m_options.host, m_options.port, m_options.localPort}).isEmpty())
            throw CliFailure(QStringLiteral("cannot use local UDP port %1 (in use?)")
                                 .arg(m_options.localPort)
                                 .toStdString());
        // Once, before the first request: a host that cannot be found is one clear failure,
        // not a silent address at every request.
        if (!m_bus->resolveRemote())
            throw CliFailure(QStringLiteral("cannot reach the bus switch: %1")
                                 .arg(m_bus->networkFailure())
                                 .toStdString());
        m_open = true;
        return;
    }
    // The line settings of a site (the band's defaults otherwise), as the band's lists say them.
    static const QStringList parities{"None", "Odd", "Even", "Mark", "Space"};
    static const QStringList stopBits{"1", "1.5", "2"};
    const QString failure =
        m_bus->openSerial({.port = m_options.device,
                           .baud = m_options.baud,
                           .byteSize = qBound(0, m_options.byteSize - 5, 3),
                           .parity = std::max(0, int(parities.indexOf(m_options.parity))),
                           .stopBits = std::max(0, int(stopBits.indexOf(m_options.stopBits)))});
    if (!failure.isEmpty())
        throw CliFailure(
            QStringLiteral("cannot open %1: %2").arg(m_options.device, failure).toStdString());
    m_open = true;
}

CliLink::Answer CliLink::exchange(const Request& request) {
    return exchange(request, m_options.timeoutMs);
}

CliLink::Answer CliLink::exchange(const Request& request, int waitMs, RequestOptions options) {
    const Answer answer = m_exchange->exchange(request, waitMs, options);
    if (!answer.notSent.isEmpty())
        throw CliFailure(answer.notSent.toStdString());
    if (!answer.answered && !answer.linkFailure.isEmpty())
        throw CliFailure(
            QStringLiteral("the link failed (%1)").arg(answer.linkFailure).toStdString());
    if (!answer.answered)
        reportSilence(request.module);
    return answer;
}

ModuleRecords CliLink::records(int module, bool withTimers) const {
    try {
        return ModuleRecords::load(m_options.db, module, withTimers);
    } catch (const RecordError& e) {
        throw CliFailure(QStringLiteral("cannot read the record database %1: %2")
                             .arg(m_options.db, QString::fromStdString(e.what()))
                             .toStdString());
    }
}

CliLink::Answer CliLink::require(const Request& request, const QString& what) {
    return require(request, what, m_options.timeoutMs);
}

CliLink::Answer CliLink::require(const Request& request, const QString& what, int waitMs,
                                 RequestOptions options) {
    return require(exchange(request, waitMs, options), request, what, waitMs);
}

CliLink::Answer CliLink::require(const Answer& answer, const Request& request, const QString& what,
                                 int waitMs) const {
    if (!answer.answered) {
        QString text = QStringLiteral("module %1 did not answer %2 within %3 ms")
                           .arg(request.module)
                           .arg(what)
                           .arg(waitMs);
        if (!answer.instead.isEmpty())
            text += QStringLiteral(": %1 instead").arg(answer.instead);
        throw CliFailure(text.toStdString());
    }
    if (answer.status != 1)
        throw CliFailure(QStringLiteral("module %1 refused %2: %3")
                             .arg(request.module)
                             .arg(what, statusText(answer.status))
                             .toStdString());
    return answer;
}

void CliLink::reportSilence(int module) {
    const QString hint = silenceHint(module);
    if (hint.isEmpty() || m_silenceReported)
        return;
    m_silenceReported = true;
    CliOutput::error(hint);
}

QString CliLink::silenceHint(int module) const {
    return m_options.link == CliOptions::Link::Udp ? m_bus->silenceHint(module) : QString();
}

bool CliLink::waitUntil(const std::function<bool()>& done, int ms) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() >= ms)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(1);
    }
    return true;
}

QString CliLink::statusText(quint8 status) {
    return frames::statusText(status);
}

void CliLink::store(const QString& tableName, const std::function<void(RecordTable&)>& work) const {
    if (m_options.noStore)
        return;
    try {
        RecordTable table(tableName);
        table.open(m_options.db);
        work(table);
    } catch (const RecordError& e) {
        throw CliFailure(QStringLiteral("the module took it, but the record database %1 could "
                                        "not store it in \"%2\": %3")
                             .arg(m_options.db, tableName, QString::fromStdString(e.what()))
                             .toStdString());
    }
}

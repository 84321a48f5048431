#include "cli/cli_link.h"

#include "link/frames.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

CliLink::CliLink(const CliOptions& options) : m_options(options) {
    m_settings.network = options.link == CliOptions::Link::Udp;
    m_settings.extension = false;
    m_settings.masked = true;
    m_settings.pass = options.password;
    m_settings.subnet = options.subnet;
    m_settings.remotePort = QString::number(options.port);
    m_bus = std::make_unique<Bus>(m_settings);
    m_bus->setReplyWait(options.timeoutMs);
    QObject::connect(m_bus.get(), &Bus::message, m_bus.get(),
                     [this](const QString& text, const QString& detail) {
                         m_busMessage =
                             detail.isEmpty() ? text : text + QStringLiteral(": ") + detail;
                     });
    QObject::connect(m_bus.get(), &Bus::replyAccepted, m_bus.get(),
                     [this](const Reply& reply) { matchReply(reply); });
}

CliLink::~CliLink() {
    m_bus->comm().ClosePort();
    m_bus->udp().close();
}

void CliLink::open() {
    if (m_options.link == CliOptions::Link::Udp) {
        UdpTransport& udp = m_bus->udp();
        udp.remoteHost = m_options.host;
        udp.remotePort = m_options.port;
        udp.localPort = m_options.localPort;
        if (!udp.open())
            throw CliFailure(QStringLiteral("cannot use local UDP port %1 (in use?)")
                                 .arg(m_options.localPort)
                                 .toStdString());
        return;
    }
    TComm& comm = m_bus->comm();
    comm.CommName = m_options.device;
    comm.BaudRate = m_options.baud;
    try {
        comm.OpenPort();
    } catch (const ECommsError& e) {
        throw CliFailure(
            QStringLiteral("cannot open %1: %2").arg(m_options.device, e.message()).toStdString());
    }
}

void CliLink::matchReply(const Reply& reply) {
    if (!m_waiting || m_answer.answered)
        return;
    const bool bind = reply[0] == 0xAE && reply[1] == 0xD0;
    if (bind || reply[4] != m_command || reply[5] != m_sub)
        return;
    if (m_address != 0xFF && reply[3] != m_address)
        return;
    m_answer.answered = true;
    m_answer.status = reply[6];
    m_answer.buffer = reply.buffer;
}

CliLink::Answer CliLink::exchange(const Request& request) {
    m_waiting = true;
    m_address = request.module;
    m_command = quint8(request.command | 0x80);
    m_sub = request.subCommand;
    m_answer = Answer();
    m_busMessage.clear();

    QElapsedTimer clock;
    clock.start();
    m_bus->send(request);
    if (m_settings.network) {
        // The send took one datagram; one that belonged to an earlier request is not ours,
        // so go on listening for what is left of the wait.
        UdpTransport& udp = m_bus->udp();
        while (!m_answer.answered && m_busMessage.isEmpty() && udp.isActive()) {
            const int left = m_options.timeoutMs - int(clock.elapsed());
            if (left <= 0)
                break;
            bool ok = true;
            const QByteArray datagram = udp.receive(left, &ok);
            if (!ok || datagram.isEmpty())
                break;
            m_bus->ReceiveDeal(datagram);
        }
    } else {
        waitUntil([this] { return m_answer.answered; }, m_options.timeoutMs);
    }
    m_waiting = false;
    if (!m_answer.answered && !m_busMessage.isEmpty())
        throw CliFailure(QStringLiteral("the link failed (%1)").arg(m_busMessage).toStdString());
    return m_answer;
}

CliLink::Answer CliLink::require(const Request& request, const QString& what) {
    const Answer answer = exchange(request);
    if (!answer.answered)
        throw CliFailure(QStringLiteral("module %1 did not answer %2 within %3 ms")
                             .arg(request.module)
                             .arg(what)
                             .arg(m_options.timeoutMs)
                             .toStdString());
    if (answer.status != 1)
        throw CliFailure(QStringLiteral("module %1 refused %2: %3")
                             .arg(request.module)
                             .arg(what, statusText(answer.status))
                             .toStdString());
    return answer;
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

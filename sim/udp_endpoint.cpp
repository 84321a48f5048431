#include "sim/udp_endpoint.h"

#include "sim/fault_injector.h"
#include "sim/installation.h"
#include "sim/traffic_log.h"
#include "sim/wire_format.h"

#include "link/capture_writer.h"
#include "link/frame_tap.h"

#include <QNetworkDatagram>
#include <QNetworkInterface>
#include <QPointer>
#include <QTimer>

namespace {
QString peer(const QHostAddress& a, quint16 port) {
    return QStringLiteral("udp %1:%2").arg(a.toString()).arg(port);
}

QString joined(const QString& first, const QString& second) {
    if (first.isEmpty() || second.isEmpty())
        return first + second;
    return first + QStringLiteral(", ") + second;
}
} // namespace

UdpEndpoint::UdpEndpoint(Installation& installation, FaultInjector& faults, const TrafficLog& log,
                         QObject* parent)
    : QObject(parent), m_installation(installation), m_faults(faults), m_log(log) {
    connect(&m_socket, &QUdpSocket::readyRead, this, [this] { readPending(m_socket, false); });
    connect(&m_broadcast, &QUdpSocket::readyRead, this, [this] { readPending(m_broadcast, true); });
}

bool UdpEndpoint::listen(const QHostAddress& host, quint16 port, QString* error) {
    if (!host.isLoopback()) {
        *error = QStringLiteral("refusing %1: only loopback addresses").arg(host.toString());
        return false;
    }
    // Without sharing: a second simulator on the same port must fail, not split the requests
    // with the first.
    if (!m_socket.bind(host, port, QAbstractSocket::DontShareAddress)) {
        *error = QStringLiteral("port %1: %2").arg(port).arg(m_socket.errorString());
        return false;
    }
    return true;
}

bool UdpEndpoint::listenBroadcast(QString* error) {
    for (const QNetworkInterface& i : QNetworkInterface::allInterfaces()) {
        if (!i.flags().testFlag(QNetworkInterface::IsLoopBack)) {
            *error = QStringLiteral("refusing broadcasts: interface %1 is not loopback (run "
                                    "inside a network namespace of its own)")
                         .arg(i.name());
            return false;
        }
    }
    if (m_socket.state() != QAbstractSocket::BoundState) {
        *error = QStringLiteral("no loopback address to answer from");
        return false;
    }
    if (!m_broadcast.bind(QHostAddress::Broadcast, m_socket.localPort(),
                          QAbstractSocket::ShareAddress | QAbstractSocket::ReuseAddressHint)) {
        *error = m_broadcast.errorString();
        return false;
    }
    return true;
}

bool UdpEndpoint::replyFrom(quint16 port, QString* error) {
    if (!m_replies.bind(address(), port, QAbstractSocket::DontShareAddress)) {
        *error = QStringLiteral("reply port %1: %2").arg(port).arg(m_replies.errorString());
        return false;
    }
    return true;
}

void UdpEndpoint::readPending(QUdpSocket& socket, bool broadcast) {
    while (socket.hasPendingDatagrams()) {
        const QNetworkDatagram d = socket.receiveDatagram();
        handleDatagram(d.data(), d.senderAddress(), quint16(d.senderPort()), broadcast);
    }
}

void UdpEndpoint::handleDatagram(const QByteArray& datagram, const QHostAddress& from, quint16 port,
                                 bool broadcast) {
    const QString how = broadcast ? QStringLiteral("broadcast") : QString();
    if (m_capture)
        m_capture->writeDatagram(FrameTap::nowUs(), from, port,
                                 broadcast ? QHostAddress(QHostAddress::Broadcast) : address(),
                                 this->port(), datagram);
    // A sender that is not on this machine gets nothing back.
    const QHostAddress sender(from.toIPv4Address() ? QHostAddress(from.toIPv4Address()) : from);
    if (!sender.isLoopback()) {
        m_log.frame(QStringLiteral("rx"), peer(from, port), datagram,
                    joined(how, QStringLiteral("not loopback, ignored")));
        return;
    }
    const wire::Parsed p = wire::parseNetwork(datagram, m_installation.password());
    if (p.kind == wire::Parsed::Request && !m_installation.acceptsSubnet(p.request)) {
        m_log.frame(QStringLiteral("rx"), peer(from, port), datagram,
                    joined(how, QStringLiteral("other subnet, ignored")));
        return;
    }
    m_log.frame(QStringLiteral("rx"), peer(from, port), datagram,
                joined(how, p.kind == wire::Parsed::Rejected
                                ? p.reason + QStringLiteral(", ignored")
                                : QString()));
    QPointer<UdpEndpoint> self(this);
    const ReplySink sink = [self, sender, port](const SimReply& r) {
        if (self)
            self->send(r, sender, port);
    };
    if (p.kind == wire::Parsed::Request)
        m_installation.handleRequest(p.request, sink);
    else if (p.kind == wire::Parsed::Bind)
        m_installation.handleBindTest(p.bindPayload, sink);
}

void UdpEndpoint::send(SimReply reply, const QHostAddress& to, quint16 port) {
    const FaultInjector::Plan plan = m_faults.take(reply, false);
    QByteArray frame = wire::frameReply(reply, true, m_installation.subnet());
    if (plan.drop) {
        m_log.frame(QStringLiteral("tx"), peer(to, port), frame, QStringLiteral("dropped"));
        return;
    }
    if (plan.corrupt)
        FaultInjector::corrupt(frame);
    if (plan.delayMs <= 0) {
        transmit(frame, to, port);
        return;
    }
    QTimer::singleShot(plan.delayMs, this, [this, frame, to, port] { transmit(frame, to, port); });
}

void UdpEndpoint::transmit(const QByteArray& frame, const QHostAddress& to, quint16 port) {
    QUdpSocket& out =
        m_replies.state() == QAbstractSocket::BoundState ? m_replies : m_socket;
    m_log.frame(QStringLiteral("tx"), peer(to, port), frame);
    if (m_capture)
        m_capture->writeDatagram(FrameTap::nowUs(), address(), out.localPort(), to, port, frame);
    out.writeDatagram(frame, to, port);
}

#include "moc_udp_endpoint.cpp"

#include "sim/udp_endpoint.h"

#include "sim/fault_injector.h"
#include "sim/installation.h"
#include "sim/traffic_log.h"
#include "sim/wire_format.h"

#include <QNetworkDatagram>
#include <QPointer>
#include <QTimer>

namespace {
QString peer(const QHostAddress& a, quint16 port) {
    return QStringLiteral("udp %1:%2").arg(a.toString()).arg(port);
}
} // namespace

UdpEndpoint::UdpEndpoint(Installation& installation, FaultInjector& faults, const TrafficLog& log,
                         QObject* parent)
    : QObject(parent), m_installation(installation), m_faults(faults), m_log(log) {
    connect(&m_socket, &QUdpSocket::readyRead, this, &UdpEndpoint::readPending);
}

bool UdpEndpoint::listen(const QHostAddress& host, quint16 port, QString* error) {
    if (!host.isLoopback()) {
        *error = QStringLiteral("refusing %1: only loopback addresses").arg(host.toString());
        return false;
    }
    if (!m_socket.bind(host, port)) {
        *error = m_socket.errorString();
        return false;
    }
    return true;
}

void UdpEndpoint::readPending() {
    while (m_socket.hasPendingDatagrams()) {
        const QNetworkDatagram d = m_socket.receiveDatagram();
        handleDatagram(d.data(), d.senderAddress(), quint16(d.senderPort()));
    }
}

void UdpEndpoint::handleDatagram(const QByteArray& datagram, const QHostAddress& from,
                                 quint16 port) {
    // A sender that is not on this machine gets nothing back.
    const QHostAddress sender(from.toIPv4Address() ? QHostAddress(from.toIPv4Address()) : from);
    if (!sender.isLoopback()) {
        m_log.frame(QStringLiteral("rx"), peer(from, port), datagram,
                    QStringLiteral("not loopback, ignored"));
        return;
    }
    const wire::Parsed p = wire::parseNetwork(datagram, m_installation.password());
    if (p.kind == wire::Parsed::Request && !m_installation.acceptsSubnet(p.request)) {
        m_log.frame(QStringLiteral("rx"), peer(from, port), datagram,
                    QStringLiteral("other subnet, ignored"));
        return;
    }
    m_log.frame(QStringLiteral("rx"), peer(from, port), datagram,
                p.kind == wire::Parsed::Rejected ? p.reason + QStringLiteral(", ignored")
                                                 : QString());
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
    m_log.frame(QStringLiteral("tx"), peer(to, port), frame);
    m_socket.writeDatagram(frame, to, port);
}

#include "link/udp_transport.h"

#include "platform/udp_broadcast.h"

#include <QElapsedTimer>
#include <QHostAddress>
#include <QHostInfo>
#include <QNetworkDatagram>
#include <QNetworkInterface>
#include <QUdpSocket>

#include <algorithm>
#include <cstring>

namespace {

constexpr qint64 kReceiveBufferSize = 8192;
constexpr int kPollMs = 10;

// A dotted address is taken as it is; a host name is looked up, and its first IPv4 address
// wins. The bus switch is configured with IPv4 addresses only, and the socket is bound to
// IPv4: an IPv6 address could never reach it. `why` names the host on failure.
QHostAddress resolve(const QString& host, QString* why) {
    const QString name = host.trimmed();
    if (name.isEmpty()) {
        *why = QStringLiteral("no remote host is set");
        return {};
    }
    QHostAddress address;
    if (address.setAddress(name)) {
        if (address.protocol() == QAbstractSocket::IPv4Protocol)
            return address;
        *why = QStringLiteral("%1 is an IPv6 address; the bus switch takes IPv4 addresses only")
                   .arg(name);
        return {};
    }
    const QHostInfo info = QHostInfo::fromName(name);
    if (info.error() != QHostInfo::NoError) {
        *why = QStringLiteral("the host name %1 cannot be resolved (%2)")
                   .arg(name, info.errorString());
        return {};
    }
    for (const QHostAddress& candidate : info.addresses()) {
        if (candidate.protocol() == QAbstractSocket::IPv4Protocol)
            return candidate;
    }
    *why = QStringLiteral("the host name %1 has no IPv4 address").arg(name);
    return {};
}

} // namespace

UdpTransport::UdpTransport() {
    m_poll.setInterval(kPollMs);
    QObject::connect(&m_poll, &QTimer::timeout, [this] {
        if (onReadable && hasPendingDatagrams())
            onReadable();
    });
}
UdpTransport::~UdpTransport() = default;

bool UdpTransport::open() {
    close();
    m_heard = false;
    auto socket = std::make_unique<QUdpSocket>();
    // No ShareAddress (and no SO_REUSEADDR either): a local port that another socket holds
    // must fail here rather than split the gateway's answers between two programs.
    m_openFailure.clear();
    if (!socket->bind(QHostAddress::AnyIPv4, localPort, QAbstractSocket::DontShareAddress)) {
        m_openFailure =
            socket->error() == QAbstractSocket::AddressInUseError
                ? QStringLiteral("Local port %1 is in use: close the program that holds it "
                                 "(another VELM or velm-sim?) or choose another \"Local Port\".")
                      .arg(localPort)
                : QStringLiteral("Local port %1: %2.").arg(localPort).arg(socket->errorString());
        return false;
    }
    adopt(std::move(socket));
    readSystemDrops(); // the counter is handed along from the first datagram on
    return true;
}

void UdpTransport::adopt(std::unique_ptr<QUdpSocket> socket) {
    m_socket = std::move(socket);
    m_dropCounter.reset();
    m_systemDrops = 0;
    // Queued: a readiness seen inside an exchange's own wait is handled once the wait is over.
    QObject::connect(
        m_socket.get(), &QUdpSocket::readyRead, m_socket.get(),
        [this] {
            if (onReadable)
                onReadable();
        },
        Qt::QueuedConnection);
    m_poll.start();
}

bool UdpTransport::hasPendingDatagrams() const {
    return m_socket && m_socket->state() == QAbstractSocket::BoundState &&
           m_socket->hasPendingDatagrams();
}

void UdpTransport::close() {
    m_poll.stop();
    m_socket.reset();
    m_heard = false;
    forgetHost();
}

QString UdpTransport::silenceHint(int module) const {
    if (m_heard || !m_socket)
        return {};
    const QString hint = QStringLiteral("Nothing has answered from %1:%2 yet: check Remote IP, "
                                        "Password and Subnet ID")
                             .arg(remoteHost)
                             .arg(remotePort);
    if (module < 0 || module == 0xFF)
        return hint + QLatin1Char('.');
    return hint + QStringLiteral(", or whether module %1 is there and answers within the wait.")
                      .arg(module);
}

void UdpTransport::forgetHost() {
    m_hostLookedUp = false;
    m_lookedUp.clear();
    m_hostAddress.clear();
    m_failure.clear();
}

void UdpTransport::reset() {
    if (!m_socket)
        return;
    // The link stays open: the host keeps the address it was found at.
    m_poll.stop();
    m_socket.reset();
    // Unbound: the system picks a port at the next send. Whatever waited on the old socket
    // is gone with it.
    adopt(std::make_unique<QUdpSocket>());
}

bool UdpTransport::isActive() const {
    return m_socket != nullptr;
}

quint16 UdpTransport::boundPort() const {
    if (!m_socket || m_socket->state() != QAbstractSocket::BoundState)
        return 0;
    return m_socket->localPort();
}

bool UdpTransport::resolveRemote() {
    // Once per open link: a name server that does not answer would otherwise cost its whole
    // time-out at every request of a sequence or a scan.
    if (!m_hostLookedUp || m_lookedUp != remoteHost) {
        m_lookedUp = remoteHost;
        m_failure.clear();
        m_hostAddress = resolve(remoteHost, &m_failure);
        m_hostLookedUp = true;
    }
    return !m_hostAddress.isNull();
}

bool UdpTransport::aimAtRemote() {
    if (!resolveRemote())
        return false;
    m_remoteAddress = m_hostAddress;
    return true;
}

bool UdpTransport::send(const QByteArray& datagram) {
    if (!m_socket || !aimAtRemote())
        return false;
    return written(m_socket->writeDatagram(datagram, m_hostAddress, remotePort), datagram,
                   m_hostAddress, remotePort);
}

bool UdpTransport::sendBroadcast(const QByteArray& datagram, quint16 port) {
    if (!m_socket)
        return false;
    const QHostAddress to(QHostAddress::Broadcast);
    const int index = interfaceTowardRemote();
    if (index > 0 && udp_broadcast::canChooseSource() &&
        m_socket->state() == QAbstractSocket::BoundState) {
        const QString failure = udp_broadcast::sendFrom(
            m_socket->socketDescriptor(), index, localAddressToward(m_hostAddress).toIPv4Address(),
            datagram, port);
        if (!failure.isEmpty()) {
            m_socketFailure = QStringLiteral("%1:%2: %3").arg(to.toString()).arg(port).arg(failure);
            return false;
        }
        m_socketFailure.clear();
        return true;
    }
    QNetworkDatagram broadcast(datagram, to, port);
    if (index > 0)
        broadcast.setInterfaceIndex(uint(index));
    return written(m_socket->writeDatagram(broadcast), datagram, to, port);
}

int UdpTransport::interfaceTowardRemote() {
    // A broadcast is for the bus switch's network alone: it leaves through the interface the
    // Remote IP is reached by (loopback for a loopback address), never through every other
    // one as well. Where that cannot be told, the system picks as it always did.
    if (remoteHost.trimmed().isEmpty() || !resolveRemote())
        return 0;
    const QHostAddress local = localAddressToward(m_hostAddress);
    if (local.isNull())
        return 0;
    const QList<QNetworkInterface> interfaces = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface& i : interfaces)
        for (const QNetworkAddressEntry& entry : i.addressEntries())
            if (entry.ip().isEqual(local, QHostAddress::TolerantConversion))
                return i.index();
    return 0;
}

bool UdpTransport::written(qint64 count, const QByteArray& datagram, const QHostAddress& to,
                           quint16 port) {
    if (count == datagram.size()) {
        m_socketFailure.clear();
        return true;
    }
    m_socketFailure = QStringLiteral("%1:%2: %3")
                          .arg(to.toString())
                          .arg(port)
                          .arg(count < 0 ? m_socket->errorString()
                                         : QStringLiteral("only part of the request went out"));
    return false;
}

QByteArray UdpTransport::receive(int timeoutMs, bool* ok, QHostAddress* sender,
                                 quint16* senderPort) {
    if (ok)
        *ok = true;
    if (!m_socket) {
        if (ok)
            *ok = false;
        return {};
    }
    // A socket that has never sent (just reset) has no port yet: nothing can arrive on it.
    if (m_socket->state() != QAbstractSocket::BoundState)
        return {};

    const auto failed = [&] {
        m_socketFailure = QStringLiteral("%1:%2: %3")
                              .arg(m_remoteAddress.toString())
                              .arg(remotePort)
                              .arg(m_socket->errorString());
        if (ok)
            *ok = false;
        return QByteArray();
    };
    QElapsedTimer clock;
    clock.start();
    while (!m_socket->hasPendingDatagrams()) {
        const qint64 remaining = qint64(timeoutMs) - clock.elapsed();
        if (remaining <= 0)
            return {};
        if (!m_socket->waitForReadyRead(int(remaining))) {
            if (m_socket->error() == QAbstractSocket::SocketTimeoutError &&
                m_socket->state() == QAbstractSocket::BoundState)
                continue; // the loop head decides whether time is left
            if (m_socket->hasPendingDatagrams())
                break;
            return failed();
        }
        // A readiness without a datagram (an ICMP error, say) keeps us waiting.
    }

    readSystemDrops();
    const qint64 pending = m_socket->pendingDatagramSize();
    QByteArray datagram(int(std::clamp<qint64>(pending, 0, kReceiveBufferSize)), '\0');
    QHostAddress from;
    const qint64 got = m_socket->readDatagram(datagram.data(), datagram.size(), &from, senderPort);
    if (sender)
        *sender = from;
    if (got < 0) {
        return failed();
    }
    if (broadcast ||
        (!m_hostAddress.isNull() && from.isEqual(m_hostAddress, QHostAddress::TolerantConversion)))
        m_heard = true;
    datagram.truncate(int(got));
    return datagram;
}

void UdpTransport::readSystemDrops() {
    m_dropCounter.peek(m_socket->socketDescriptor(), &m_systemDrops);
}

QHostAddress UdpTransport::localAddressToward(const QHostAddress& peer) {
    if (peer.isNull())
        return {};
    if (peer.isEqual(m_routePeer, QHostAddress::TolerantConversion))
        return m_routeLocal;
    // Connecting a UDP socket sends nothing: the system only picks the route and its source.
    QUdpSocket probe;
    probe.connectToHost(peer, 9);
    QHostAddress local;
    if (probe.state() == QAbstractSocket::ConnectedState || probe.waitForConnected(0))
        local = probe.localAddress();
    m_routePeer = peer;
    m_routeLocal = local;
    return local;
}

#pragma once

#include "platform/udp_drop_counter.h"

#include <QByteArray>
#include <QHostAddress>
#include <QString>
#include <QTimer>

#include <functional>
#include <memory>

class QUdpSocket;

// The UDP transport of the network link: one socket, one send, one bounded receive.
// Active means a socket exists. `onReadable` runs whenever a datagram waits on the socket
// (it moves to every new socket): the bus takes in what arrives outside an exchange's wait,
// so that nothing stays queued for a later request. Besides the socket's readiness, a short
// poll looks for waiting datagrams: Qt 6.4 may leave an unbuffered UDP socket's notifier off
// after a readiness whose datagrams were read later, and a flood then fills the receive
// buffer until the next exchange, dropping its reply.
class UdpTransport {
public:
    UdpTransport();
    ~UdpTransport();

    QString remoteHost;
    quint16 remotePort = 0;
    quint16 localPort = 0;
    bool broadcast = false; // set by the exchange while a broadcast's answer is awaited
    std::function<void()> onReadable;

    // Binds to localPort on every local address; false (and inactive) on failure.
    bool open();
    // Why the last open failed, in words a technician can act on.
    QString openFailure() const { return m_openFailure; }
    void close();
    // Deactivate, then activate again unbound (the system assigns a port at the next send);
    // waiting datagrams are lost.
    void reset();
    bool isActive() const;
    // The port the socket is bound to, 0 when unbound or inactive.
    quint16 boundPort() const;

    // Looks remoteHost up once for the open link (again only after open(), close() or a
    // change of remoteHost; reset() keeps what was found) and keeps its IPv4 address. False
    // when it names no IPv4 address: failure() says why, naming the host.
    bool resolveRemote();
    // Why the last resolveRemote() or send() failed over the host; empty when the host was
    // found (a send that failed on the socket leaves it empty).
    QString failure() const { return m_failure; }
    // Why the socket itself failed at the last send or receive, with the address it sent to
    // and the system's words; empty when it did not.
    QString socketFailure() const { return m_socketFailure; }

    // Whether anything came from the remote host (from anyone, with the broadcast switch on)
    // since the link was opened; reset() keeps it.
    bool heardFromRemote() const { return m_heard; }
    // While nothing has come: what a technician checks first, the module asked (none: -1)
    // among it. Empty once something came.
    QString silenceHint(int module = -1) const;

    // Each returns false on a failure of the socket or of the host lookup.
    bool send(const QByteArray& datagram);
    // To 255.255.255.255, out of the interface of the route to remoteHost only (none found:
    // as the system routes it).
    bool sendBroadcast(const QByteArray& datagram, quint16 port);
    // The index of the interface the route to remoteHost leaves by; 0 when there is none.
    int interfaceTowardRemote();
    // The oldest waiting datagram, or empty after timeoutMs. Waits exactly that long at most;
    // `ok` is false on a socket failure; `sender` and `senderPort` get where it came from.
    QByteArray receive(int timeoutMs, bool* ok = nullptr, QHostAddress* sender = nullptr,
                       quint16* senderPort = nullptr);
    bool hasPendingDatagrams() const;
    // Looks the Remote IP up (once per open link) and makes it the address requests go to.
    bool aimAtRemote();
    // The datagrams the system dropped on the socket (its receive buffer full) by the time
    // the last one received was queued; 0 where the system does not say.
    quint32 systemDrops() const { return m_systemDrops; }
    // The address the last unicast request went to (null before the first).
    QHostAddress remoteAddress() const { return m_remoteAddress; }
    // This machine's address on the route to `peer` (the socket is bound to every address),
    // for a capture file; looked up once per peer. Null when there is no route.
    QHostAddress localAddressToward(const QHostAddress& peer);

private:
    void adopt(std::unique_ptr<QUdpSocket> socket);
    // Whether a send wrote the whole datagram; keeps why not.
    bool written(qint64 count, const QByteArray& datagram, const QHostAddress& to, quint16 port);
    void forgetHost();
    void readSystemDrops();

    std::unique_ptr<QUdpSocket> m_socket;
    QHostAddress m_remoteAddress;
    // What the lookup of m_lookedUp gave: its address, or the reason in m_failure.
    bool m_hostLookedUp = false;
    QString m_lookedUp;
    QHostAddress m_hostAddress;
    QString m_failure;
    QString m_socketFailure;
    bool m_heard = false;
    QTimer m_poll;
    QString m_openFailure;
    QHostAddress m_routePeer;
    QHostAddress m_routeLocal;
    UdpDropCounter m_dropCounter;
    quint32 m_systemDrops = 0;
};

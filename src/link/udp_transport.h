#pragma once

#include <QByteArray>
#include <QString>

#include <memory>

class QUdpSocket;

// The UDP transport of the network link: one socket, one send, one bounded receive.
// Active means a socket exists. Never connect a readyRead slot to it: late datagrams stay
// queued and are taken by the next exchange.
class UdpTransport {
public:
    UdpTransport();
    ~UdpTransport();

    QString remoteHost;
    quint16 remotePort = 0;
    quint16 localPort = 0;
    bool broadcast = false; // the broadcast switch

    // Binds to localPort on every local address; false (and inactive) on failure.
    bool open();
    void close();
    // Deactivate, then activate again unbound (the system assigns a port at the next send);
    // waiting datagrams are lost.
    void reset();
    bool isActive() const;
    // The port the socket is bound to, 0 when unbound or inactive.
    quint16 boundPort() const;

    // Each returns false on a failure of the socket or of the host lookup.
    bool send(const QByteArray& datagram);
    bool sendBroadcast(const QByteArray& datagram, quint16 port);
    // The oldest waiting datagram, or empty after timeoutMs. Waits exactly that long at most;
    // `ok` is false on a socket failure.
    QByteArray receive(int timeoutMs, bool* ok = nullptr);

private:
    std::unique_ptr<QUdpSocket> m_socket;
};

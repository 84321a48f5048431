#pragma once

#include "sim/sim_types.h"

#include <QHostAddress>
#include <QObject>
#include <QUdpSocket>

class CaptureWriter;
class FaultInjector;
class Installation;
class TrafficLog;

// The gateway's network side: takes datagrams on a loopback address, answers each sender in
// the long form.
class UdpEndpoint : public QObject {
    Q_OBJECT
public:
    UdpEndpoint(Installation& installation, FaultInjector& faults, const TrafficLog& log,
                QObject* parent = nullptr);

    // Only loopback addresses are accepted: the simulator never talks to a real network.
    bool listen(const QHostAddress& host, quint16 port, QString* error);
    // Also takes the datagrams sent to 255.255.255.255 at the same port (the bus switch's
    // settings read); answers still go out from the loopback address. Refused unless every
    // network interface is a loopback one, as in a network namespace made for a test.
    bool listenBroadcast(QString* error);
    // Answers from a second socket on the same address at `port` (0: one the system picks)
    // instead of the listening one, as a gateway behind a NAT does.
    bool replyFrom(quint16 port, QString* error);
    quint16 replyPort() const { return m_replies.localPort(); }
    QHostAddress address() const { return m_socket.localAddress(); }
    // Every datagram taken or sent also goes into this capture (none: nullptr).
    void setCapture(CaptureWriter* capture) { m_capture = capture; }
    quint16 port() const { return m_socket.localPort(); }

    // One datagram as if it had arrived from `from`:`port`.
    void handleDatagram(const QByteArray& datagram, const QHostAddress& from, quint16 port,
                        bool broadcast = false);

private:
    void readPending(QUdpSocket& socket, bool broadcast);
    void send(SimReply reply, const QHostAddress& to, quint16 port);
    void transmit(const QByteArray& frame, const QHostAddress& to, quint16 port);

    Installation& m_installation;
    FaultInjector& m_faults;
    const TrafficLog& m_log;
    QUdpSocket m_socket;
    QUdpSocket m_broadcast;
    QUdpSocket m_replies;
    CaptureWriter* m_capture = nullptr;
};

#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QString>

// One frame as it crossed a link: every frame the send path put out, every block or datagram
// the intake met, with what became of it. The bus monitor, a trace and a capture file read
// these; the traffic log and the dispatch know nothing of them.
struct TappedFrame {
    enum class Link : quint8 { Serial, Network };
    // Seen from the tool: sent towards the bus, or received from it.
    enum class Direction : quint8 { Sent, Received };
    // A sent frame went out or could not (no open link); a received one reached the
    // dispatcher or was dropped by the intake, for the reason named.
    enum class Fate : quint8 {
        Sent,
        NotSent,
        Dispatched,
        TooLong,
        NotAFrame,
        Incomplete,
        TooShort,
        BadChecksum,
        ForeignSender,
        Noise, // serial bytes ahead of a whole reply in the same block
    };

    qint64 timeUs = 0; // wall clock, microseconds since the epoch
    Link link = Link::Serial;
    Direction direction = Direction::Sent;
    Fate fate = Fate::Sent;
    // Serial: the extension channel was on, so the line carries the long layout.
    bool extensionChannel = false;
    // Sent: the send path put the gateway password block into the frame.
    bool passwordBlock = false;
    QByteArray bytes;
    // Network: the datagram's addresses and ports.
    QHostAddress source;
    QHostAddress destination;
    quint16 sourcePort = 0;
    quint16 destinationPort = 0;
    // Network, received: how many datagrams the system had dropped on the socket by then
    // (its receive buffer full), as the socket counts them.
    quint32 systemDrops = 0;

    bool dropped() const { return fate != Fate::Sent && fate != Fate::Dispatched; }
    // "sent", "not sent", "dispatched", "too long", "not a frame", "incomplete frame",
    // "too short", "bad checksum", "foreign sender", "noise".
    static QString fateText(Fate fate);
};

// Where the bus reports its frames. Reporting costs one test while nobody listens: the bus
// builds a TappedFrame only when listening() says someone is connected to frame().
class FrameTap : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    bool listening() const;
    static qint64 nowUs();

signals:
    void frame(const TappedFrame& frame);
};

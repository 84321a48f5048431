#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <utility>

struct TappedFrame;

// Any frame of the bus in words, for the bus monitor, a trace and the command line: request or
// reply, BusFrame or BindFrame, short or long layout, serial or network. Operations are named
// by the operation table (protocol/operation_table.h). The gateway password is never part of
// the words, and the bytes it lies in (and the checksum that would give its sum away) are
// hidden in maskedHex().
//
// What the bytes cannot say, hints can: the link (a network request carries the 16-byte
// password block after its length byte, so it tells itself), the direction (a binding test
// frame and its echo look alike), the layout (where both layouts would read as a known
// operation of the right length).
namespace framedecoder {

enum class Link : quint8 { Unknown, Serial, Network };
// Seen from the tool: sent towards the bus, or received from it.
enum class Direction : quint8 { Unknown, Sent, Received };
enum class Layout : quint8 { Unknown, Short, Long };

struct Hints {
    Link link = Link::Unknown;
    Direction direction = Direction::Unknown;
    Layout layout = Layout::Unknown;
    // The sender put the password block in: it is hidden whatever the bytes look like.
    bool passwordBlock = false;
};
// What a tapped frame's link and direction say (a serial line with the extension channel
// carries the long layout), and whether the send path put the password block in.
Hints hintsOf(const TappedFrame& frame);

struct DecodedFrame {
    // What the reply intake would drop the input for, before any frame is read.
    enum class Problem : quint8 {
        None,
        TooLong,
        NotAFrame,
        Incomplete,
        TooShort,
        BadChecksum,
        LengthAbove78 // from the bus: the intake checks it as 78 bytes and finds no checksum
    };
    enum class Kind : quint8 { Unknown, Request, Reply };

    Problem problem = Problem::None;
    Kind kind = Kind::Unknown;
    bool bind = false;
    Link link = Link::Unknown;
    Layout layout = Layout::Unknown;
    bool hasSubnet = false;
    quint16 subnet = 0;
    bool hasModule = false;
    quint8 module = 0;
    bool busSwitch = false; // addressed to, or answered by, the bus switch itself
    bool known = false;     // an operation of the table
    quint8 command = 0;     // as on the wire (a reply's with its 0x80 bit)
    quint8 subCommand = 0;
    QString family;
    QString operation;
    QString parameters;
    QString status; // replies: the status text
    bool passwordHidden = false;
    int frameLength = 0;               // the frame's own bytes
    int extraBytes = 0;                // bytes that followed it in the same block
    QList<std::pair<int, int>> hidden; // first byte and count of every range never shown

    // "not a frame", "bad checksum", ...; empty without a problem.
    QString problemText() const;
    // "Light On, channel 3"; the problem text when there is one.
    QString what() const;
    // "request to module 5 in subnet 1", "reply from the bus switch", "reply" (binding test).
    QString where() const;
    // The module column: "5", "all", "bus switch"; empty for a binding test frame.
    QString moduleText() const;
    // One line: where, what, status, "password hidden", trailing bytes.
    QString summary() const;
};

DecodedFrame decode(const QByteArray& bytes, const Hints& hints = {});

// Two upper-case hexadecimal digits a byte, one space between, "XX" for every hidden byte.
QString maskedHex(const QByteArray& bytes, const DecodedFrame& decoded);

} // namespace framedecoder

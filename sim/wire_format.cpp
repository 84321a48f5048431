#include "sim/wire_format.h"

#include "link/frames.h"

namespace wire {

namespace {

const quint8* bytes(const QByteArray& b) {
    return reinterpret_cast<const quint8*>(b.constData());
}

Parsed rejected(const QString& reason) {
    Parsed p;
    p.reason = reason;
    return p;
}

// Checks header, length and checksum; on success `payload` holds the bytes between the
// length byte and the checksum (BusFrame) or sum byte (BindFrame).
Parsed checkFrame(const QByteArray& f, QByteArray* payload) {
    if (f.size() < 4 || f.size() > frames::kMaxFrame)
        return rejected(QStringLiteral("bad length"));
    const quint8* b = bytes(f);
    const int length = b[2];
    Parsed p;
    if (b[0] == 0x55 && b[1] == 0xAA) {
        if (length < 5 || length > f.size() || !frames::busChecksumOk(b, length))
            return rejected(QStringLiteral("bad checksum"));
        *payload = f.mid(3, length - 5);
        p.kind = Parsed::Request;
    } else if (b[0] == 0xAE && b[1] == 0xD0) {
        if (length < 4 || length > f.size() || !frames::bindChecksumOk(b, length))
            return rejected(QStringLiteral("bad checksum"));
        *payload = f.mid(3, length - 4);
        p.bindPayload = *payload;
        p.kind = Parsed::Bind;
    } else {
        return rejected(QStringLiteral("not a frame"));
    }
    return p;
}

bool fillRequest(const QByteArray& payload, bool longLayout, SimRequest* r) {
    const int head = longLayout ? 5 : 3;
    if (payload.size() < head)
        return false;
    int at = 0;
    r->hasSubnet = longLayout;
    if (longLayout) {
        r->subnet = quint16(quint8(payload[0]) << 8 | quint8(payload[1]));
        at = 2;
    }
    r->address = quint8(payload[at]);
    r->command = quint8(payload[at + 1]);
    r->sub = quint8(payload[at + 2]);
    r->params = payload.mid(at + 3);
    return true;
}

} // namespace

Parsed parseNetwork(const QByteArray& datagram, const QString& password) {
    QByteArray payload;
    Parsed p = checkFrame(datagram, &payload);
    if (p.kind != Parsed::Request)
        return p;
    const QByteArray block = frames::PasswordBlock(password);
    // The gateway's settings read is the one request that travels without a password.
    static const QByteArray settingsRead = QByteArray::fromHex("FFFFFF0005");
    if (payload == settingsRead) {
        fillRequest(payload, true, &p.request);
        return p;
    }
    if (payload.size() < frames::kPasswordBlockSize + 5)
        return rejected(QStringLiteral("no password"));
    if (payload.left(frames::kPasswordBlockSize) != block)
        return rejected(QStringLiteral("wrong password"));
    fillRequest(payload.mid(frames::kPasswordBlockSize), true, &p.request);
    return p;
}

Parsed parseSerial(const QByteArray& frame, bool longLayout, quint16 subnet) {
    QByteArray payload;
    Parsed p = checkFrame(frame, &payload);
    if (p.kind != Parsed::Request)
        return p;
    bool asLong = longLayout;
    if (!longLayout && payload.size() >= 5 && quint8(payload[2]) == kBroadcast &&
        quint8(payload[3]) == 0x00) {
        // Gateway requests keep the long layout on a short line: subnet (or FF FF), FF, 00.
        const quint16 s = quint16(quint8(payload[0]) << 8 | quint8(payload[1]));
        asLong = s == subnet || s == kBusSwitchSubnet;
    }
    if (!fillRequest(payload, asLong, &p.request))
        return rejected(QStringLiteral("too short"));
    return p;
}

QByteArray frameReply(const SimReply& reply, bool longForm, quint16 subnet) {
    if (reply.bind)
        return frames::bindFrameFromPayload(reply.payload);
    QByteArray body;
    if (longForm) {
        const quint16 s = reply.fromBusSwitch ? kBusSwitchSubnet : subnet;
        body.append(char(s >> 8)).append(char(s & 0xFF));
    }
    body.append(char(reply.address)).append(char(reply.command)).append(char(reply.sub));
    body.append(char(reply.status)).append(reply.data);
    return frames::busReply(body);
}

} // namespace wire

#include "support/capture_reader.h"

#include <QFile>
#include <QtEndian>

namespace {

quint32 le32(const QByteArray& b, int at) {
    return qFromLittleEndian<quint32>(b.constData() + at);
}
quint16 le16(const QByteArray& b, int at) {
    return qFromLittleEndian<quint16>(b.constData() + at);
}
quint16 be16(const QByteArray& b, int at) {
    return quint16(quint8(b[at]) << 8 | quint8(b[at + 1]));
}

// The first option of `code` in an options area, or a null array.
QByteArray optionOf(const QByteArray& b, int at, int end, quint16 code) {
    while (at + 4 <= end) {
        const quint16 c = le16(b, at);
        const quint16 len = le16(b, at + 2);
        if (c == 0)
            break;
        if (c == code)
            return b.mid(at + 4, len);
        at += 4 + ((len + 3) & ~3);
    }
    return {};
}

void parseRaw(CapturedPacket& p) {
    const QByteArray& d = p.data;
    if (d.size() < 28 || quint8(d[0]) != 0x45)
        return;
    quint32 sum = 0;
    for (int i = 0; i < 20; i += 2)
        sum += be16(d, i);
    while (sum >> 16)
        sum = (sum & 0xFFFF) + (sum >> 16);
    p.headerChecksumOk = sum == 0xFFFF && be16(d, 2) == d.size() && quint8(d[9]) == 17;
    p.source = QHostAddress(qFromBigEndian<quint32>(d.constData() + 12));
    p.destination = QHostAddress(qFromBigEndian<quint32>(d.constData() + 16));
    p.sourcePort = be16(d, 20);
    p.destinationPort = be16(d, 22);
    p.frame = d.mid(28, be16(d, 24) - 8);
}

} // namespace

CaptureFile readCapture(const QString& path) {
    CaptureFile out;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        out.error = file.errorString();
        return out;
    }
    const QByteArray b = file.readAll();
    QList<quint16> interfaces;
    int at = 0;
    while (at + 12 <= b.size()) {
        const quint32 type = le32(b, at);
        const quint32 length = le32(b, at + 4);
        if (length < 12 || at + int(length) > b.size() || le32(b, at + int(length) - 4) != length) {
            out.error = QStringLiteral("bad block at %1").arg(at);
            return out;
        }
        const int body = at + 8;
        const int end = at + int(length) - 4;
        if (type == 0x0A0D0D0A) {
            if (le32(b, body) != 0x1A2B3C4D) {
                out.error = QStringLiteral("not little-endian pcapng");
                return out;
            }
            out.comment = QString::fromUtf8(optionOf(b, body + 16, end, 1));
        } else if (type == 1) {
            interfaces << le16(b, body);
        } else if (type == 6) {
            const quint32 id = le32(b, body);
            if (int(id) >= interfaces.size()) {
                out.error = QStringLiteral("packet of an undeclared interface");
                return out;
            }
            CapturedPacket p;
            p.linkType = interfaces[int(id)];
            p.timeUs = qint64(quint64(le32(b, body + 4)) << 32 | le32(b, body + 8));
            p.data = b.mid(body + 20, int(le32(b, body + 12)));
            if (p.linkType == 101)
                parseRaw(p);
            else if (!p.data.isEmpty()) {
                p.direction = quint8(p.data[0]);
                p.frame = p.data.mid(1);
            }
            out.packets << p;
        }
        at += int(length);
    }
    out.ok = true;
    return out;
}

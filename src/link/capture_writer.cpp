#include "link/capture_writer.h"

#include "link/frame_tap.h"
#include "platform/file_system.h"

#include <QFile>
#include <QtEndian>

#include <algorithm>

namespace {

constexpr quint32 kSectionHeader = 0x0A0D0D0A;
constexpr quint32 kInterfaceDescription = 0x00000001;
constexpr quint32 kEnhancedPacket = 0x00000006;
constexpr quint32 kByteOrderMagic = 0x1A2B3C4D;
constexpr quint16 kOptionEnd = 0;
constexpr quint16 kOptionComment = 1;
constexpr quint16 kOptionIfName = 2;
constexpr quint16 kOptionUserApplication = 4;
constexpr quint16 kOptionTsResolution = 9;
constexpr quint8 kMicroseconds = 6;
constexpr int kIpv4Header = 20;
constexpr int kUdpHeader = 8;

void put16(QByteArray& out, quint16 v) {
    char b[2];
    qToLittleEndian(v, b);
    out.append(b, 2);
}

void put32(QByteArray& out, quint32 v) {
    char b[4];
    qToLittleEndian(v, b);
    out.append(b, 4);
}

void pad(QByteArray& out) {
    while (out.size() % 4)
        out.append('\0');
}

void option(QByteArray& out, quint16 code, const QByteArray& value) {
    put16(out, code);
    put16(out, quint16(value.size()));
    out.append(value);
    pad(out);
}

void putBig16(QByteArray& out, quint16 v) {
    out.append(char(v >> 8)).append(char(v & 0xFF));
}

void putBig32(QByteArray& out, quint32 v) {
    putBig16(out, quint16(v >> 16));
    putBig16(out, quint16(v & 0xFFFF));
}

// The IPv4 header checksum: the ones' complement of the ones' complement sum of its words.
quint16 ipChecksum(const QByteArray& header) {
    quint32 sum = 0;
    for (int i = 0; i + 1 < header.size(); i += 2)
        sum += quint32(quint8(header[i]) << 8 | quint8(header[i + 1]));
    while (sum >> 16)
        sum = (sum & 0xFFFF) + (sum >> 16);
    return quint16(~sum & 0xFFFF);
}

quint32 ipv4(const QHostAddress& address) {
    bool ok = false;
    const quint32 v = address.toIPv4Address(&ok);
    return ok ? v : 0;
}

} // namespace

CaptureWriter::CaptureWriter() = default;

CaptureWriter::~CaptureWriter() {
    close();
}

QString CaptureWriter::passwordNote() {
    return QStringLiteral("This capture holds the frames as they went over the wire: the gateway "
                          "password is in it, as in any capture of that network. Keep it as you "
                          "keep the password.");
}

bool CaptureWriter::open(const QString& path) {
    close();
    m_target = path;
    auto file = std::make_unique<QFile>(partPath());
    if (!file->open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        m_error = QStringLiteral("Can not write %1: %2").arg(file->fileName(), file->errorString());
        return false;
    }
    m_file = std::move(file);
    if (!begin(m_file.get())) {
        m_file.reset();
        return false;
    }
    return true;
}

bool CaptureWriter::begin(QIODevice* device) {
    m_device = device;
    m_interfaces = 0;
    m_rawInterface = -1;
    m_serialInterface = -1;
    QByteArray body;
    put32(body, kByteOrderMagic);
    put16(body, 1); // version 1.0
    put16(body, 0);
    put32(body, 0xFFFFFFFF); // section length not given
    put32(body, 0xFFFFFFFF);
    option(body, kOptionComment, passwordNote().toUtf8());
    option(body, kOptionUserApplication, QByteArrayLiteral("VELM"));
    option(body, kOptionEnd, {});
    if (!writeBlock(kSectionHeader, body)) {
        m_device = nullptr;
        return false;
    }
    return true;
}

bool CaptureWriter::close() {
    m_device = nullptr;
    if (!m_file)
        return true;
    const QString part = m_file->fileName();
    m_file->close();
    m_file.reset();
    if (const SystemError error = file_system::replace(part, m_target)) {
        m_error =
            QStringLiteral("Can not rename %1 to %2: %3")
                .arg(part, m_target,
                     error.text.isEmpty() ? QStringLiteral("the system refused") : error.text);
        return false;
    }
    file_system::syncFolderOf(m_target);
    return true;
}

bool CaptureWriter::writeBlock(quint32 type, const QByteArray& body) {
    if (!m_device)
        return false;
    QByteArray block;
    const quint32 total = quint32(body.size() + 12);
    put32(block, type);
    put32(block, total);
    block.append(body);
    put32(block, total);
    if (m_device->write(block) != block.size()) {
        m_error = QStringLiteral("Can not write the capture: %1").arg(m_device->errorString());
        return false;
    }
    if (auto* file = qobject_cast<QFile*>(m_device))
        file->flush();
    return true;
}

int CaptureWriter::interfaceFor(quint16 linkType, const char* name) {
    // Each link gets its interface when its first frame comes.
    int& id = linkType == kLinkTypeRaw ? m_rawInterface : m_serialInterface;
    if (id >= 0)
        return id;
    QByteArray body;
    put16(body, linkType);
    put16(body, 0);
    put32(body, 0); // no snapshot limit
    option(body, kOptionIfName, QByteArray(name));
    option(body, kOptionTsResolution, QByteArray(1, char(kMicroseconds)));
    option(body, kOptionEnd, {});
    if (!writeBlock(kInterfaceDescription, body))
        return -1;
    id = m_interfaces++;
    return id;
}

bool CaptureWriter::writePacket(int interfaceId, qint64 timeUs, const QByteArray& data) {
    if (interfaceId < 0)
        return false;
    const quint64 t = quint64(std::max<qint64>(timeUs, 0));
    QByteArray body;
    put32(body, quint32(interfaceId));
    put32(body, quint32(t >> 32));
    put32(body, quint32(t & 0xFFFFFFFF));
    put32(body, quint32(data.size()));
    put32(body, quint32(data.size()));
    body.append(data);
    pad(body);
    return writeBlock(kEnhancedPacket, body);
}

bool CaptureWriter::writeDatagram(qint64 timeUs, const QHostAddress& source, quint16 sourcePort,
                                  const QHostAddress& destination, quint16 destinationPort,
                                  const QByteArray& payload) {
    if (!m_device)
        return false;
    QByteArray packet;
    putBig16(packet, 0x4500); // IPv4, 20-byte header, no service type
    putBig16(packet, quint16(kIpv4Header + kUdpHeader + payload.size()));
    putBig32(packet, 0x00004000); // no identification, don't fragment
    putBig16(packet, 0x4011);     // time to live 64, UDP
    putBig16(packet, 0);          // header checksum, below
    putBig32(packet, ipv4(source));
    putBig32(packet, ipv4(destination));
    const quint16 sum = ipChecksum(packet);
    packet[10] = char(sum >> 8);
    packet[11] = char(sum & 0xFF);
    putBig16(packet, sourcePort);
    putBig16(packet, destinationPort);
    putBig16(packet, quint16(kUdpHeader + payload.size()));
    putBig16(packet, 0); // no UDP checksum, as IPv4 allows
    packet.append(payload);
    return writePacket(interfaceFor(kLinkTypeRaw, "udp"), timeUs, packet);
}

bool CaptureWriter::writeSerial(qint64 timeUs, quint8 direction, const QByteArray& bytes) {
    if (!m_device)
        return false;
    return writePacket(interfaceFor(kLinkTypeUser0, "serial"), timeUs,
                       QByteArray(1, char(direction)) + bytes);
}

bool CaptureWriter::write(const TappedFrame& f) {
    if (f.fate == TappedFrame::Fate::NotSent)
        return true;
    if (f.link == TappedFrame::Link::Network)
        return writeDatagram(f.timeUs, f.source, f.sourcePort, f.destination, f.destinationPort,
                             f.bytes);
    return writeSerial(f.timeUs, f.direction == TappedFrame::Direction::Sent ? kToBus : kFromBus,
                       f.bytes);
}

#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QString>

#include <memory>

class QFile;
class QIODevice;
struct TappedFrame;

// Writes frames into a capture file that Wireshark and tshark open: pcapng, because both links
// may be open at once and a classic pcap file holds one link type only.
//   network frames: UDP in IPv4 (link type RAW, 101) with their real addresses and ports;
//   serial frames: link type USER0 (147), one direction byte (kToBus or kFromBus) and the
//   frame's bytes as they went over the line.
// A capture holds the frames as they went over the wire, the gateway password included, like
// any capture of that network; its file comment says so (passwordNote()).
class CaptureWriter {
public:
    static constexpr quint16 kLinkTypeRaw = 101;
    static constexpr quint16 kLinkTypeUser0 = 147;
    static constexpr quint8 kToBus = 0;   // sent by the tool (or by whoever talks to the bus)
    static constexpr quint8 kFromBus = 1; // sent by a module or the gateway

    CaptureWriter();
    ~CaptureWriter();
    CaptureWriter(const CaptureWriter&) = delete;
    CaptureWriter& operator=(const CaptureWriter&) = delete;

    // Writes the file header into `path`.part (made or emptied); close() renames it to `path`,
    // so that a capture that is still being written never stands under the name asked for.
    // False, with errorString().
    bool open(const QString& path);
    // The same into a device that is already open for writing and stays the caller's.
    bool begin(QIODevice* device);
    // Ends the capture; a file from open() goes in place. False, with errorString(), when the
    // rename failed (the frames then stay in the .part file, which the message names).
    bool close();
    bool isOpen() const { return m_device != nullptr; }
    // Where open() writes until close(): `path`.part.
    QString partPath() const { return m_target + QStringLiteral(".part"); }
    QString errorString() const { return m_error; }

    // Each frame is written and flushed at once, so that a capture cut short stays readable.
    bool writeDatagram(qint64 timeUs, const QHostAddress& source, quint16 sourcePort,
                       const QHostAddress& destination, quint16 destinationPort,
                       const QByteArray& payload);
    bool writeSerial(qint64 timeUs, quint8 direction, const QByteArray& bytes);
    // A frame from the bus's tap; one that never went out (not sent) is skipped.
    bool write(const TappedFrame& frame);

    static QString passwordNote();

private:
    bool writeBlock(quint32 type, const QByteArray& body);
    int interfaceFor(quint16 linkType, const char* name);
    bool writePacket(int interfaceId, qint64 timeUs, const QByteArray& data);

    std::unique_ptr<QFile> m_file;
    QString m_target;
    QIODevice* m_device = nullptr;
    QString m_error;
    int m_interfaces = 0;
    int m_rawInterface = -1;
    int m_serialInterface = -1;
};

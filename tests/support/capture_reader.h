#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QString>

// Reads back a capture file written by CaptureWriter (pcapng, little-endian), for the tests:
// every packet with its link type, and the UDP or serial frame inside it.
struct CapturedPacket {
    quint16 linkType = 0;
    qint64 timeUs = 0;
    QByteArray data;
    // Link type RAW (101): the IPv4 and UDP headers.
    QHostAddress source;
    QHostAddress destination;
    quint16 sourcePort = 0;
    quint16 destinationPort = 0;
    bool headerChecksumOk = false;
    // Link type USER0 (147): the direction byte.
    quint8 direction = 0;
    // The bus's bytes: the UDP payload or the serial frame.
    QByteArray frame;
};

struct CaptureFile {
    bool ok = false;
    QString error;
    QString comment; // the section's comment
    QList<CapturedPacket> packets;
};

CaptureFile readCapture(const QString& path);

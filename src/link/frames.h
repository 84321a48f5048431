#pragma once

#include <QByteArray>
#include <QString>

// The two frame formats of the bus, as pure code.
//   BusFrame:  55 AA L [password block] payload, 16-bit sum XOR 0x55AA, high byte first
//   BindFrame: AE D0 N payload, 8-bit sum
namespace frames {

constexpr int kMaxFrame = 200;      // nothing longer is ever sent or taken in
constexpr int kMaxReplyLength = 78; // a reply's length byte is capped here
constexpr int kPasswordBlockSize = 16;

// Sum of the bytes, modulo 65536.
quint16 byteSum(const quint8* data, int count);

// The two checksum bytes of a BusFrame over its first `count` bytes.
QByteArray busChecksum(const quint8* data, int count);

// True when the last two of the frame's `length` bytes are its checksum.
bool busChecksumOk(const quint8* frame, int length);

// True when the last of the frame's `length` bytes is the 8-bit sum of the others.
bool bindChecksumOk(const quint8* frame, int length);

// 16 bytes: the password's 8-bit character codes (at most 16), then 0xFF.
QByteArray PasswordBlock(const QString& password);

// A complete BusFrame for the request area's bytes 0..N-1 (N = request byte 2):
// header, optional password block, payload (bytes 3..N-3), checksum; at most 200 bytes.
QByteArray BusFrame(const quint8* requestArea, bool withPassword, const QString& password);

// Completes a BindFrame in place in the request area (header, length cap, sum byte) and
// returns its N bytes.
QByteArray BindFrame(quint8* requestArea);

// Builds a complete reply frame, as a device sends it: 55 AA L body... checksum.
// `body` starts at frame byte 3 (address or subnet bytes).
QByteArray busReply(const QByteArray& body);

// Builds a complete BindFrame from its payload (frame bytes 3..N-2).
QByteArray bindFrameFromPayload(const QByteArray& payload);

// Two upper-case hexadecimal digits and a space per byte.
QString hexText(const quint8* data, int count);
inline QString hexText(const QByteArray& data) {
    return hexText(reinterpret_cast<const quint8*>(data.constData()), int(data.size()));
}

// The status text of reply byte 6.
QString statusText(quint8 status);

} // namespace frames

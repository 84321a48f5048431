#include "link/frames.h"

#include <algorithm>
#include <iterator>

namespace frames {

quint16 byteSum(const quint8* data, int count) {
    quint32 sum = 0;
    for (int i = 0; i < count; ++i)
        sum += data[i];
    return quint16(sum & 0xFFFF);
}

QByteArray busChecksum(const quint8* data, int count) {
    const quint16 s = byteSum(data, count);
    QByteArray out(2, '\0');
    out[0] = char(((s >> 8) & 0xFF) ^ 0x55);
    out[1] = char((s & 0xFF) ^ 0xAA);
    return out;
}

bool busChecksumOk(const quint8* frame, int length) {
    if (length < 5)
        return false;
    const QByteArray sum = busChecksum(frame, length - 2);
    return frame[length - 2] == quint8(sum[0]) && frame[length - 1] == quint8(sum[1]);
}

bool bindChecksumOk(const quint8* frame, int length) {
    if (length < 4)
        return false;
    return quint8(byteSum(frame, length - 1) & 0xFF) == frame[length - 1];
}

QByteArray PasswordBlock(const QString& password) {
    QByteArray block(kPasswordBlockSize, char(0xFF));
    const QByteArray chars = password.toLatin1();
    std::copy_n(chars.constData(), std::min<qsizetype>(chars.size(), kPasswordBlockSize),
                block.data());
    return block;
}

QByteArray BusFrame(const quint8* requestArea, bool withPassword, const QString& password) {
    quint8 frame[kMaxFrame] = {};
    frame[0] = 0x55;
    frame[1] = 0xAA;
    const int n = requestArea[2];
    int length = withPassword ? (n + kPasswordBlockSize) & 0xFF : n;
    int at = 3;
    if (withPassword) {
        const QByteArray block = PasswordBlock(password);
        std::copy(block.begin(), block.end(), frame + 3);
        at += kPasswordBlockSize;
    }
    length = std::min(length, kMaxFrame);
    // The payload is request bytes 3..N-3; it never runs into the checksum bytes or past
    // the 200-byte frame.
    for (int i = 3; i <= n - 3 && at < length - 2; ++i)
        frame[at++] = requestArea[i];
    frame[2] = quint8(length);
    if (length < 5) // a nonsense length still gives a well-formed, if short, frame
        length = std::max(length, 3);
    if (length >= 5) {
        const QByteArray sum = busChecksum(frame, length - 2);
        frame[length - 2] = quint8(sum[0]);
        frame[length - 1] = quint8(sum[1]);
    }
    return QByteArray(reinterpret_cast<const char*>(frame), length);
}

QByteArray BindFrame(quint8* requestArea) {
    requestArea[0] = 0xAE;
    requestArea[1] = 0xD0;
    if (requestArea[2] > kMaxFrame)
        requestArea[2] = kMaxFrame;
    const int n = requestArea[2];
    if (n >= 1)
        requestArea[n - 1] = quint8(byteSum(requestArea, n - 1) & 0xFF);
    return QByteArray(reinterpret_cast<const char*>(requestArea), n);
}

QByteArray busReply(const QByteArray& body) {
    QByteArray frame;
    frame.append(char(0x55)).append(char(0xAA)).append(char(body.size() + 5)).append(body);
    frame.append(
        busChecksum(reinterpret_cast<const quint8*>(frame.constData()), int(frame.size())));
    return frame;
}

QByteArray bindFrameFromPayload(const QByteArray& payload) {
    QByteArray frame;
    frame.append(char(0xAE)).append(char(0xD0)).append(char(payload.size() + 4)).append(payload);
    frame.append(char(
        byteSum(reinterpret_cast<const quint8*>(frame.constData()), int(frame.size())) & 0xFF));
    return frame;
}

QString hexText(const quint8* data, int count) {
    static const char digits[] = "0123456789ABCDEF";
    QString text;
    text.reserve(count * 3);
    for (int i = 0; i < count; ++i) {
        text.append(QChar(digits[data[i] >> 4]));
        text.append(QChar(digits[data[i] & 0x0F]));
        text.append(QChar(' '));
    }
    return text;
}

QString statusText(quint8 status) {
    // The texts of status 1 to 8.
    static const char* const kTexts[] = {"OK!",
                                         "Module Address Error!",
                                         "Module Channel No. Error!",
                                         "Memory Error!",
                                         "Parameter Error!",
                                         "Command Error!",
                                         "Module Address Occupied!",
                                         "IR Error"};
    if (status >= 1 && status <= int(std::size(kTexts)))
        return QString::fromLatin1(kTexts[status - 1]);
    return QStringLiteral("Response Error!");
}

} // namespace frames

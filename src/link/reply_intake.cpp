#include "link/reply_intake.h"

#include "link/frames.h"
#include "link/udp_transport.h"

#include <algorithm>
#include <array>

namespace {

// The shortest reply that still carries address, command, sub-command and status. A
// shorter frame would leave the dispatcher reading the previous reply's command and status
// out of the reply area and run that reply's handler a second time.
constexpr int kMinShortReply = 9;
constexpr int kMinLongReply = kMinShortReply + 2;
constexpr int kMinBindFrame = 4;

bool allFF(const quint8* bytes) {
    return bytes[3] == 0xFF && bytes[4] == 0xFF && bytes[5] == 0xFF;
}

} // namespace

ReplyIntake::ReplyIntake(const LinkSettings& settings, FrameBuffer& buffer, FrameTap& tap,
                         UdpTransport& udp, QObject* parent)
    : QObject(parent), m_settings(settings), m_buffer(buffer), m_tap(tap), m_udp(udp) {}

std::optional<Reply> ReplyIntake::takeInput(const quint8* input, int count, Source source,
                                            const Peer& from) {
    using Fate = TappedFrame::Fate;
    const auto dropped = [&](Fate fate) {
        tapInput(input, count, source, from, fate);
        return std::nullopt;
    };
    if (count > frames::kMaxFrame)
        return dropped(Fate::TooLong);
    // Work on a zero-filled copy: every index below stays inside these 200 bytes, whatever
    // the length byte claims.
    std::array<quint8, frames::kMaxFrame> work{};
    if (input && count > 0)
        std::copy_n(input, count, work.begin());

    const bool busFrame = work[0] == 0x55 || work[1] == 0xAA;
    const bool bindFrame = !busFrame && (work[0] == 0xAE || work[1] == 0xD0);
    if (!busFrame && !bindFrame)
        return dropped(Fate::NotAFrame);

    int length = work[2];
    if (length > frames::kMaxReplyLength) {
        work[2] = quint8(frames::kMaxReplyLength);
        length = frames::kMaxReplyLength;
    }
    if (length > count)
        return dropped(Fate::Incomplete); // the frame did not arrive whole

    quint8* reply = m_buffer.replyArea();
    QString status;
    bool busSwitch = false;
    if (busFrame) {
        const bool longForm = source != Source::SerialPlain;
        if (length < (longForm ? kMinLongReply : kMinShortReply))
            return dropped(Fate::TooShort);
        if (!frames::busChecksumOk(work.data(), length))
            return dropped(Fate::BadChecksum);
        if (source == Source::SerialPlain) {
            // Without the extension channel the whole block lands in the reply area, bytes
            // that followed the frame included.
            std::copy_n(work.begin(), count, reply);
        } else {
            // Drop the subnet ID. The network takes the frame up to its checksum; the
            // extension channel takes the block up to its last two bytes.
            const int end = source == Source::Network ? length - 2 : count - 2;
            std::copy(work.begin() + 5, work.begin() + std::max(5, end), reply + 3);
            reply[0] = work[0];
            reply[1] = work[1];
            reply[2] = quint8(length - 2);
            busSwitch = allFF(work.data());
        }
        status = frames::statusText(reply[6]);
    } else {
        if (length < kMinBindFrame)
            return dropped(Fate::TooShort);
        if (!frames::bindChecksumOk(work.data(), length))
            return dropped(Fate::BadChecksum);
        std::copy_n(work.begin(), length, reply);
        status = QStringLiteral("OK!");
        busSwitch = source == Source::Network && allFF(work.data());
    }

    if (m_settings.maskedLog())
        emit logLine(QStringLiteral("Read ：X  ") + status);
    else
        emit logLine(QStringLiteral("Read ：") + frames::hexText(work.data(), length) +
                     QStringLiteral("  ") + status);
    tapInput(input, count, source, from, Fate::Dispatched); // before its handler sends anything

    Reply accepted(m_buffer, busSwitch);
    accepted.sender = from.address;
    accepted.senderPort = from.port;
    return accepted;
}

void ReplyIntake::tapInput(const quint8* input, int count, Source source, const Peer& from,
                           TappedFrame::Fate fate) {
    if (!m_tap.listening())
        return;
    TappedFrame f;
    f.timeUs = FrameTap::nowUs();
    f.direction = TappedFrame::Direction::Received;
    f.fate = fate;
    f.bytes = QByteArray(reinterpret_cast<const char*>(input), std::max(count, 0));
    if (source == Source::Network) {
        f.link = TappedFrame::Link::Network;
        f.source = from.address;
        f.sourcePort = from.port;
        f.destination = m_udp.localAddressToward(from.address);
        f.destinationPort = m_udp.boundPort();
        f.systemDrops = m_udp.systemDrops();
    } else {
        f.link = TappedFrame::Link::Serial;
        f.extensionChannel = source == Source::SerialExtension;
    }
    emit m_tap.frame(f);
}

#include "moc_reply_intake.cpp"

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

ReplyIntake::Look ReplyIntake::look(const quint8* input, int count, Source source) {
    using Fate = TappedFrame::Fate;
    Look seen;
    const auto dropped = [&](Fate fate) {
        seen.fate = fate;
        return seen;
    };
    if (count > frames::kMaxFrame)
        return dropped(Fate::TooLong);
    // Every index below stays inside these 200 bytes, whatever the length byte claims.
    std::array<quint8, frames::kMaxFrame> work{};
    if (input && count > 0)
        std::copy_n(input, count, work.begin());

    seen.busFrame = work[0] == 0x55 || work[1] == 0xAA;
    const bool bindFrame = !seen.busFrame && (work[0] == 0xAE || work[1] == 0xD0);
    if (!seen.busFrame && !bindFrame)
        return dropped(Fate::NotAFrame);

    seen.length = std::min(int(work[2]), frames::kMaxReplyLength);
    work[2] = quint8(seen.length);
    if (seen.length > count)
        return dropped(Fate::Incomplete); // the frame did not arrive whole
    if (seen.busFrame) {
        const bool longForm = source != Source::SerialPlain;
        if (seen.length < (longForm ? kMinLongReply : kMinShortReply))
            return dropped(Fate::TooShort);
        if (!frames::busChecksumOk(work.data(), seen.length))
            return dropped(Fate::BadChecksum);
    } else {
        if (seen.length < kMinBindFrame)
            return dropped(Fate::TooShort);
        if (!frames::bindChecksumOk(work.data(), seen.length))
            return dropped(Fate::BadChecksum);
    }
    seen.fate = Fate::Dispatched;
    return seen;
}

int ReplyIntake::frameAfterNoise(const quint8* block, int count, Source source) {
    // Past the block's first byte a frame counts only where both header bytes, its length
    // and its checksum hold: noise that merely resembles half a header is noise.
    for (int at = 1; at + 1 < count; ++at) {
        const bool header = (block[at] == 0x55 && block[at + 1] == 0xAA) ||
                            (block[at] == 0xAE && block[at + 1] == 0xD0);
        if (header && look(block + at, count - at, source).fate == TappedFrame::Fate::Dispatched)
            return at;
    }
    return -1;
}

std::optional<Reply> ReplyIntake::takeInput(const quint8* input, int count, Source source,
                                            const Peer& from) {
    Look seen = look(input, count, source);
    if (seen.fate != TappedFrame::Fate::Dispatched && source != Source::Network &&
        seen.fate != TappedFrame::Fate::TooLong) {
        // Line noise ahead of a reply in the same block: the reply is taken from where it
        // starts, and the bytes before it are reported as noise.
        if (const int at = frameAfterNoise(input, count, source); at > 0) {
            tapInput(input, at, source, from, TappedFrame::Fate::Noise);
            input += at;
            count -= at;
            seen = look(input, count, source);
        }
    }
    if (seen.fate != TappedFrame::Fate::Dispatched) {
        tapInput(input, count, source, from, seen.fate);
        return std::nullopt;
    }
    std::array<quint8, frames::kMaxFrame> work{};
    std::copy_n(input, count, work.begin());
    const int length = seen.length;
    work[2] = quint8(length);

    quint8* reply = m_buffer.replyArea();
    QString status;
    bool busSwitch = false;
    if (seen.busFrame) {
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
        std::copy_n(work.begin(), length, reply);
        status = QStringLiteral("OK!");
        busSwitch = source == Source::Network && allFF(work.data());
    }

    if (m_settings.maskedLog())
        emit logLine(QStringLiteral("Read ：X  ") + status);
    else
        emit logLine(QStringLiteral("Read ：") + frames::hexText(work.data(), length) +
                     QStringLiteral("  ") + status);
    tapInput(input, count, source, from,
             TappedFrame::Fate::Dispatched); // before its handler sends anything

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

// Reply intake and dispatch of the bus link: what comes back from the bus becomes one
// validated reply in the reply area, one log line, and at most one handler call.
#include "link/bus.h"

#include "link/frames.h"

#include <algorithm>
#include <array>
#include <utility>

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

void Bus::ReceiveDeal(const QByteArray& datagram) {
    const Peer from = std::exchange(m_intakePeer, Peer{});
    const auto* bytes = reinterpret_cast<const quint8*>(datagram.constData());
    if (datagram.size() > frames::kMaxFrame) {
        tapInput(bytes, int(datagram.size()), IntakeKind::Network, from,
                 TappedFrame::Fate::TooLong);
        return;
    }
    takeReply(bytes, int(datagram.size()), IntakeKind::Network, from);
}

void Bus::Comm1ReceiveData(const quint8* block, quint16 length) {
    const IntakeKind kind =
        m_settings.extensionChannel() ? IntakeKind::SerialExtension : IntakeKind::SerialPlain;
    if (length > frames::kMaxFrame) {
        tapInput(block, length, kind, {}, TappedFrame::Fate::TooLong);
        return;
    }
    takeReply(block, length, kind, {});
}

void Bus::takeReply(const quint8* input, int count, IntakeKind kind, const Peer& from) {
    using Fate = TappedFrame::Fate;
    const auto report = [&](Fate fate) { tapInput(input, count, kind, from, fate); };
    // Work on a zero-filled copy: every index below stays inside these 200 bytes, whatever
    // the length byte claims.
    std::array<quint8, frames::kMaxFrame> work{};
    if (input && count > 0)
        std::copy_n(input, count, work.begin());

    const bool busFrame = work[0] == 0x55 || work[1] == 0xAA;
    const bool bindFrame = !busFrame && (work[0] == 0xAE || work[1] == 0xD0);
    if (!busFrame && !bindFrame)
        return report(Fate::NotAFrame);

    int length = work[2];
    if (length > frames::kMaxReplyLength) {
        work[2] = quint8(frames::kMaxReplyLength);
        length = frames::kMaxReplyLength;
    }
    if (length > count)
        return report(Fate::Incomplete); // the frame did not arrive whole

    quint8* reply = m_buffer.replyArea();
    QString status;
    bool busSwitch = false;
    if (busFrame) {
        const bool longForm = kind != IntakeKind::SerialPlain;
        if (length < (longForm ? kMinLongReply : kMinShortReply))
            return report(Fate::TooShort);
        if (!frames::busChecksumOk(work.data(), length))
            return report(Fate::BadChecksum);
        if (kind == IntakeKind::SerialPlain) {
            // Without the extension channel the whole block lands in the reply area, bytes
            // that followed the frame included.
            std::copy_n(work.begin(), count, reply);
        } else {
            // Drop the subnet ID. The network takes the frame up to its checksum; the
            // extension channel takes the block up to its last two bytes.
            const int end = kind == IntakeKind::Network ? length - 2 : count - 2;
            std::copy(work.begin() + 5, work.begin() + std::max(5, end), reply + 3);
            reply[0] = work[0];
            reply[1] = work[1];
            reply[2] = quint8(length - 2);
            busSwitch = allFF(work.data());
        }
        status = frames::statusText(reply[6]);
        // Only a refusal of what the window awaits (the outstanding step, a pending Set)
        // ends a sequence; anyone else's error is logged and changes nothing.
        if (reply[6] != 1 && m_ownership.wouldAnswer(ReplyOwnership::key(reply[4], reply[5]),
                                                     reply[3], m_readTimer.isActive()))
            errorReplyReset(reply[6]);
    } else {
        if (length < kMinBindFrame)
            return report(Fate::TooShort);
        if (!frames::bindChecksumOk(work.data(), length))
            return report(Fate::BadChecksum);
        std::copy_n(work.begin(), length, reply);
        status = QStringLiteral("OK!");
        busSwitch = kind == IntakeKind::Network && allFF(work.data());
    }

    if (m_settings.maskedLog())
        emit logLine(QStringLiteral("Read ：X  ") + status);
    else
        emit logLine(QStringLiteral("Read ：") + frames::hexText(work.data(), length) +
                     QStringLiteral("  ") + status);

    // The reply the innermost waiting exchange is waiting for ends its wait, whatever its
    // status: anything else is a stray or a late reply, and the wait goes on.
    if (Awaited* a = m_waiting) {
        const bool bindReply = reply[0] == 0xAE && reply[1] == 0xD0;
        if (a->bind ? bindReply
                    : !bindReply && reply[4] == a->command && reply[5] == a->sub &&
                          (a->module == 0xFF || reply[3] == a->module))
            a->seen = true;
    }

    report(Fate::Dispatched); // reported before its handler sends anything
    m_state.BusSwitchReply = busSwitch ? 1 : 0;
    emit replyAccepted(Reply{m_buffer, busSwitch});
    receiveDataDeal();
}

void Bus::receiveDataDeal() {
    // This reply's own value: a nested exchange started by a handler sets its own.
    const bool busSwitch = m_state.BusSwitchReply != 0;
    m_state.BusSwitchReply = 0;
    Reply reply{m_buffer, busSwitch};

    if (reply[0] == 0xAE && reply[1] == 0xD0) {
        if (m_bindHandler && m_ownership.handlerRuns(ReplyRule::Always, Awaiting::None)) {
            const ReplyHandler handler = m_bindHandler;
            handler(reply);
        }
        return;
    }
    // Any reply with the pair ends what the window awaited for it; only a success records.
    const int key = ReplyOwnership::key(reply[4], reply[5]);
    bool late = false;
    reply.answers = m_ownership.answer(key, reply[3], m_readTimer.isActive(), &late);
    const auto answeredLate = [&](const QString& outcome) {
        if (late)
            emit setOutcome(
                QStringLiteral("Module %1 answered after the wait: %2").arg(reply[3]).arg(outcome));
    };
    if (reply[6] != 1) {
        if (reply.answers == Awaiting::Set)
            answeredLate(frames::statusText(reply[6]) + QStringLiteral(" Nothing recorded."));
        return;
    }
    // The outstanding step's answer belongs to the sequence alone.
    if (reply.answers == Awaiting::Step) {
        if (m_stepListener)
            m_stepListener->stepAnswered(reply);
        return;
    }
    // The bus switch's own answer goes to its handler when it has one for these bytes (its
    // settings read-back shares 0x80/0x05 with the module address read-back).
    auto it = m_busSwitchHandlers.end();
    if (busSwitch)
        it = m_busSwitchHandlers.find(key);
    if (it == m_busSwitchHandlers.end()) {
        it = m_handlers.find(key);
        if (it == m_handlers.end())
            return;
    }
    if (!m_ownership.handlerRuns(it->second.rule, reply.answers))
        return;
    // A copy: the handler may register handlers while it runs.
    const ReplyHandler handler = it->second.run;
    handler(reply);
    if (reply.answers == Awaiting::Set) {
        if (late)
            answeredLate(QStringLiteral("recorded."));
        else
            emit setOutcome(QString());
    }
}

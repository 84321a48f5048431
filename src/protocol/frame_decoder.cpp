#include "protocol/frame_decoder.h"

#include "link/bus.h"
#include "link/frame_tap.h"
#include "link/frames.h"
#include "protocol/operation_table.h"

#include <algorithm>

namespace framedecoder {

namespace {

using operations::Operation;
constexpr int kPasswordAt = 3;
constexpr int kPasswordEnd = kPasswordAt + frames::kPasswordBlockSize;
// The shortest network request with a password: the long layout's 10 bytes and the block.
constexpr int kShortestPasswordFrame = 10 + frames::kPasswordBlockSize;

// The password block: its characters (never 0xFF), then 0xFF to the end of its 16 bytes.
bool looksLikePasswordBlock(const quint8* b) {
    int i = kPasswordAt;
    while (i < kPasswordEnd && b[i] != 0xFF)
        ++i;
    while (i < kPasswordEnd && b[i] == 0xFF)
        ++i;
    return i == kPasswordEnd;
}

// One reading of a BusFrame: where the address bytes start and in which layout.
struct Reading {
    bool fits = false;      // the bytes hold address, command and sub-command (and a status)
    bool plausible = false; // a known operation with a fitting parameter count
    bool longLayout = false;
    quint16 subnet = 0;
    quint8 module = 0;
    quint8 command = 0;
    quint8 sub = 0;
    int paramsAt = 0;
    int paramCount = 0;
    bool busSwitch = false;
    const Operation* op = nullptr;
};

Reading read(const quint8* b, int length, int at, bool longLayout) {
    Reading r;
    r.longLayout = longLayout;
    const int end = length - 2;
    if (longLayout) {
        if (at + 2 > end)
            return r;
        r.subnet = quint16(b[at] << 8 | b[at + 1]);
        at += 2;
    }
    if (at + 3 > end)
        return r;
    r.module = b[at];
    r.command = b[at + 1];
    r.sub = b[at + 2];
    r.paramsAt = at + 3;
    r.paramCount = end - r.paramsAt;
    const bool reply = r.command >= 0x80;
    const quint8 command = r.command & 0x7F;
    r.busSwitch = operations::busSwitchAddressed(command, r.sub, longLayout, r.subnet, r.module);
    if (reply) {
        r.fits = r.paramCount >= 1;
        r.op = operations::findReply(command, r.sub, r.busSwitch);
    } else {
        r.fits = true;
        const quint8* params = b + r.paramsAt;
        r.op = operations::findRequest(command, r.sub, r.busSwitch, params, r.paramCount);
        if (!r.op)
            r.op = operations::findRequest(command, r.sub, r.busSwitch, params, r.paramCount, true);
    }
    r.plausible = r.fits && r.op;
    return r;
}

QString unknownName(quint8 command, quint8 sub) {
    return QStringLiteral("Unknown operation ") + operations::bytesText(&command, 1) +
           QLatin1Char(' ') + operations::bytesText(&sub, 1);
}

QString bytesWords(const quint8* b, int count) {
    return count > 0 ? QStringLiteral("bytes ") + operations::bytesText(b, count) : QString();
}

void describeRequest(DecodedFrame& d, const Reading& r, const quint8* b) {
    const quint8* params = b + r.paramsAt;
    const Operation* op = r.op;
    if (!r.plausible)
        op = operations::findRequest(r.command, r.sub, r.busSwitch, params, r.paramCount, true,
                                     true);
    if (!op) {
        d.operation = unknownName(r.command, r.sub);
        d.parameters = bytesWords(params, r.paramCount);
        return;
    }
    d.known = true;
    d.family = QString::fromLatin1(op->family);
    d.operation = QString::fromLatin1(op->name);
    d.busSwitch = op->target == operations::Target::BusSwitch;
    if (!r.plausible)
        d.parameters = bytesWords(params, r.paramCount);
    else if (op->request)
        d.parameters = op->request(params, r.paramCount);
    // A new gateway password is hidden like the password block.
    if (op->command == 0x00 && op->subCommand == 0x0B)
        d.hidden.append({r.paramsAt, r.paramCount});
}

void describeReply(DecodedFrame& d, const Reading& r, const quint8* b, int length) {
    const quint8 status = b[r.paramsAt];
    d.status = frames::statusText(status);
    const Operation* op = r.op;
    const quint8* data = b + r.paramsAt + 1;
    const int count = r.paramCount - 1;
    if (!op) {
        d.operation = unknownName(r.command, r.sub);
        if (status == 1)
            d.parameters = bytesWords(data, count);
        return;
    }
    d.known = true;
    d.family = QString::fromLatin1(op->family);
    d.operation = QString::fromLatin1(op->name);
    d.busSwitch = op->target == operations::Target::BusSwitch;
    if (status != 1)
        return; // an error reply carries nothing the tool reads
    if (!op->reply || count < op->replyData) {
        d.parameters = bytesWords(data, count);
        return;
    }
    // The reply in the reply area's short form, as the families' handlers read it.
    FrameBuffer buffer;
    quint8* area = buffer.replyArea();
    area[0] = b[0];
    area[1] = b[1];
    area[2] = quint8(r.longLayout ? length - 2 : length);
    area[3] = r.module;
    area[4] = r.command;
    area[5] = r.sub;
    std::copy_n(b + r.paramsAt, std::min(r.paramCount, FrameBuffer::kAreaSize - 6), area + 6);
    d.parameters = op->reply(Reply{buffer, d.busSwitch});
}

void decodeBus(DecodedFrame& d, const QByteArray& frame, const Hints& hints) {
    const auto* b = reinterpret_cast<const quint8*>(frame.constData());
    const int length = int(frame.size());
    Reading chosen;
    bool password = false;
    if (hints.passwordBlock) {
        chosen = read(b, length, kPasswordEnd, true);
        password = true;
    } else if (length >= kShortestPasswordFrame && hints.link != Link::Serial &&
               hints.layout != Layout::Short && looksLikePasswordBlock(b)) {
        const Reading r = read(b, length, kPasswordEnd, true);
        if (r.plausible && r.command < 0x80) {
            chosen = r;
            password = true;
        }
    }
    bool longFirst = hints.layout == Layout::Long;
    if (hints.layout == Layout::Unknown)
        longFirst = hints.link == Link::Network;
    if (!password) {
        const Reading first = read(b, length, 3, longFirst);
        const Reading second = read(b, length, 3, !longFirst);
        // Where both read as an operation, a long frame of a subnet below 256 reads short as
        // one to module 0: the reading to a real module wins unless a hint chose the layout.
        const bool toRealModule =
            hints.layout == Layout::Unknown && first.module == 0 && second.module != 0;
        chosen = first;
        if (second.plausible && (!first.plausible || toRealModule))
            chosen = second;
        else if (!first.plausible && !first.fits && second.fits)
            chosen = second;
    }
    if (!chosen.fits) {
        d.problem = DecodedFrame::Problem::TooShort;
        return;
    }
    d.layout = chosen.longLayout ? Layout::Long : Layout::Short;
    if (password) {
        d.link = Link::Network;
        d.passwordHidden = true;
        if (!hints.passwordBlock)
            d.hidden.append({kPasswordAt, frames::kPasswordBlockSize});
    }
    d.hasSubnet = chosen.longLayout;
    d.subnet = chosen.subnet;
    d.hasModule = true;
    d.module = chosen.module;
    d.command = chosen.command;
    d.subCommand = chosen.sub;
    if (chosen.command >= 0x80) {
        d.kind = DecodedFrame::Kind::Reply;
        describeReply(d, chosen, b, length);
    } else {
        d.kind = DecodedFrame::Kind::Request;
        describeRequest(d, chosen, b);
    }
    // The checksum would give away the sum of the hidden bytes.
    if (!d.hidden.isEmpty() && !hints.passwordBlock)
        d.hidden.append({length - 2, 2});
}

// A status answer read as the window reads it: the kind of report (0x82 light, 0x83 curtain)
// first and the state in the fifth payload byte, whatever stands between.
void describeStatusAnswer(DecodedFrame& d, const QByteArray& p) {
    constexpr int kStateAt = 4;
    if (p.size() <= kStateAt)
        return;
    for (const operations::BindTest& t : operations::bindTests()) {
        if (!t.status || t.payload(1, 1).front() != p.front())
            continue;
        const auto state = quint8(p[kStateAt]);
        d.known = true;
        d.kind = DecodedFrame::Kind::Reply;
        d.operation = QString::fromLatin1(t.name);
        d.parameters = state == 1   ? QString::fromLatin1(t.stateOn)
                       : state == 0 ? QString::fromLatin1(t.stateOff)
                                    : QStringLiteral("state %1, which the tool ignores").arg(state);
        return;
    }
}

void decodeBind(DecodedFrame& d, const QByteArray& frame, const Hints& hints) {
    d.bind = true;
    d.family = QString::fromLatin1(operations::bindTestFamily());
    const QByteArray p = frame.mid(3, frame.size() - 4);
    const auto at = [&p](int i) { return quint8(p[i]); };
    if (hints.direction == Direction::Sent)
        d.kind = DecodedFrame::Kind::Request;
    else if (hints.direction == Direction::Received)
        d.kind = DecodedFrame::Kind::Reply;
    d.operation = QStringLiteral("Binding Test Unknown");
    d.parameters = bytesWords(reinterpret_cast<const quint8*>(p.constData()), int(p.size()));
    for (const operations::BindTest& t : operations::bindTests()) {
        if (t.scene) {
            if (p.size() >= 3 && t.payload(at(2), 0) == p) {
                d.known = true;
                d.operation = QString::fromLatin1(t.name);
                d.parameters = QStringLiteral("scene %1").arg(at(2));
                break;
            }
            continue;
        }
        if (p.size() < 4)
            continue;
        const QByteArray built = t.payload(at(2) + 1, at(3) + 1);
        const bool asSent = built == p;
        const bool withState = t.status && p.size() == built.size() + 1 && p.startsWith(built);
        if (!asSent && !withState)
            continue;
        d.known = true;
        d.operation = QString::fromLatin1(t.name);
        d.parameters = QStringLiteral("room %1, device %2").arg(at(2) + 1).arg(at(3) + 1);
        if (t.extra)
            d.parameters += QStringLiteral(", ") + QString::fromLatin1(t.extra);
        if (withState) {
            const quint8 state = at(int(p.size()) - 1);
            d.parameters +=
                QStringLiteral(", ") + (state == 1   ? QString::fromLatin1(t.stateOn)
                                        : state == 0 ? QString::fromLatin1(t.stateOff)
                                                     : QStringLiteral("state %1").arg(state));
        }
        // A status read and its answer differ by the state byte.
        if (t.status && d.kind == DecodedFrame::Kind::Unknown)
            d.kind = withState ? DecodedFrame::Kind::Reply : DecodedFrame::Kind::Request;
        break;
    }
    if (!d.known && hints.direction != Direction::Sent)
        describeStatusAnswer(d, p);
    if (d.kind == DecodedFrame::Kind::Reply)
        d.status = QStringLiteral("OK!");
}

} // namespace

Hints hintsOf(const TappedFrame& f) {
    Hints h;
    h.link = f.link == TappedFrame::Link::Network ? Link::Network : Link::Serial;
    h.direction =
        f.direction == TappedFrame::Direction::Sent ? Direction::Sent : Direction::Received;
    if (f.link == TappedFrame::Link::Serial && f.extensionChannel)
        h.layout = Layout::Long;
    h.passwordBlock = f.passwordBlock;
    return h;
}

DecodedFrame decode(const QByteArray& bytes, const Hints& hints) {
    DecodedFrame d;
    d.link = hints.link;
    using Problem = DecodedFrame::Problem;
    const int n = int(bytes.size());
    const auto* b = reinterpret_cast<const quint8*>(bytes.constData());
    // Whatever the bytes turn out to be, the block and the checksum stay hidden.
    if (hints.passwordBlock && n > kPasswordAt) {
        d.hidden.append({kPasswordAt, std::min(frames::kPasswordBlockSize, n - kPasswordAt)});
        d.hidden.append({std::max(n - 2, kPasswordAt), std::min(2, n - kPasswordAt)});
    }
    if (n > frames::kMaxFrame) {
        d.problem = Problem::TooLong;
        return d;
    }
    const quint8 b0 = n > 0 ? b[0] : 0;
    const quint8 b1 = n > 1 ? b[1] : 0;
    // The intake's own test: either header byte suffices.
    const bool bus = n > 0 && (b0 == 0x55 || b1 == 0xAA);
    const bool bind = n > 0 && !bus && (b0 == 0xAE || b1 == 0xD0);
    if (!bus && !bind) {
        d.problem = Problem::NotAFrame;
        return d;
    }
    int length = n >= 3 ? b[2] : n + 1;
    // The intake reads a frame from the bus with a longer length byte as 78 bytes long: it
    // takes it only when the checksum stands there.
    if (hints.direction != Direction::Sent && length > frames::kMaxReplyLength) {
        const bool takenAsCut = n >= frames::kMaxReplyLength &&
                                (bus ? frames::busChecksumOk(b, frames::kMaxReplyLength)
                                     : frames::bindChecksumOk(b, frames::kMaxReplyLength));
        if (!takenAsCut) {
            d.problem = Problem::LengthAbove78;
            return d;
        }
        length = frames::kMaxReplyLength;
    }
    if (length > n) {
        d.problem = Problem::Incomplete;
        return d;
    }
    if (length < (bus ? 5 : 4)) {
        d.problem = Problem::TooShort;
        return d;
    }
    if (bus ? !frames::busChecksumOk(b, length) : !frames::bindChecksumOk(b, length)) {
        d.problem = Problem::BadChecksum;
        return d;
    }
    d.frameLength = length;
    d.extraBytes = n - length;
    const QByteArray frame = bytes.left(length);
    if (bus)
        decodeBus(d, frame, hints);
    else
        decodeBind(d, frame, hints);
    return d;
}

} // namespace framedecoder

#include "link/frame_exchange.h"

#include "link/pending_request.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QScopeGuard>

#include <algorithm>

namespace {
const QString kExchangeFailed = QStringLiteral("Communication Error！");
// How long the network wait blocks before the window may repaint.
constexpr qint64 kPaintSliceMs = 40;
} // namespace

FrameExchange::FrameExchange(const LinkSettings& settings, UdpTransport& udp, TComm& comm,
                             FrameTap& tap, QObject* parent)
    : QObject(parent), m_settings(settings), m_udp(udp), m_comm(comm), m_tap(tap) {}

void FrameExchange::refuse(PendingRequest& request, const QString& why) {
    request.refuseSend(why);
    emit requestNotice(why);
    emit notSent(why);
}

void FrameExchange::queueSerial(const QByteArray& frame, PendingRequest& request) {
    // The driver copies the block; a closed port refuses it, which the log does not show.
    const bool queued = m_comm.QueueWrite(reinterpret_cast<const quint8*>(frame.constData()),
                                          quint16(frame.size()));
    tapSent(frame, false, queued, 0);
    if (queued)
        emit requestNotice(QString());
    else if (m_comm.deviceGone())
        refuse(request, QStringLiteral("Not sent: %1 went away.").arg(m_comm.CommName));
    else
        refuse(request, QStringLiteral("Not sent: the serial link is not open (\"Create\" beside "
                                       "\"Com\" opens it)."));
}

void FrameExchange::transmit(const QByteArray& frame, PendingRequest& request, bool anySender) {
    // One send, then a bounded wait for the reply to it, and the handling of what came: any
    // failure of these is one "Communication Error！". No reply in time is not a failure.
    // Whatever else arrives meanwhile is taken in as it comes (a stray or late reply is
    // dispatched or dropped as usual) and the wait goes on for what is left of it; a
    // datagram from an address the request did not go to is dropped without trace.
    // A nested exchange or the end of its owner may settle it during the wait.
    const QPointer<PendingRequest> awaited(&request);
    const int timeoutMs = request.waitMs();
    const bool broadcast = request.broadcast();
    const auto restore = qScopeGuard([this] {
        // Datagrams behind the awaited one wait for no later request.
        if (m_udp.hasPendingDatagrams())
            QMetaObject::invokeMethod(this, &FrameExchange::takeLateDatagrams,
                                      Qt::QueuedConnection);
    });
    try {
        bool sent = false;
        m_anySender = anySender || broadcast;
        // While a broadcast's answer is awaited, an answer from anyone counts as the bus
        // switch heard (it may answer from an address other than the Remote IP).
        m_udp.broadcast = broadcast;
        const auto broadcastOver = qScopeGuard([this] { m_udp.broadcast = false; });
        const quint16 broadcastPort =
            broadcast ? quint16(m_settings.remotePortText().toInt()) : quint16(0);
        if (m_udp.isActive()) {
            if (broadcast)
                sent = m_udp.sendBroadcast(frame, broadcastPort);
            else
                sent = m_udp.send(frame);
        }
        tapSent(frame, true, sent, broadcastPort);
        if (!sent) {
            const QString failure = broadcast ? QString() : m_udp.failure();
            refuse(request,
                   !m_udp.isActive()
                       ? QStringLiteral("Not sent: the network link is not open (\"Create\" "
                                        "beside \"TCP/IP \" opens it).")
                       : QStringLiteral("Not sent: %1")
                             .arg(failure.isEmpty() ? QStringLiteral("the network refused it.")
                                                    : failure));
            // The box keeps its text; the detail names a host that could not be found, or the
            // address the socket refused to send to and why.
            emit message(kExchangeFailed, failure.isEmpty() ? m_udp.socketFailure() : failure);
            return;
        }
        emit requestNotice(QString());
        WaitView* view = m_waitView;
        if (view)
            view->waitBegins();
        const auto waited = qScopeGuard([view] {
            if (view)
                view->waitEnds();
        });
        QElapsedTimer clock;
        clock.start();
        while (awaited && awaited->waiting()) {
            const qint64 left = timeoutMs - clock.elapsed();
            if (left <= 0)
                break;
            // The window repaints between slices of the wait.
            const qint64 slice = view ? std::min<qint64>(left, kPaintSliceMs) : left;
            bool received = true;
            Peer sender;
            const QByteArray datagram =
                m_udp.receive(int(slice), &received, &sender.address, &sender.port);
            if (!received) {
                if (awaited)
                    awaited->endWith(RequestEnd::LinkFailed);
                emit message(kExchangeFailed, m_udp.socketFailure());
                return;
            }
            if (sender.address.isNull()) {
                if (slice < left) {
                    view->waitGoesOn();
                    continue;
                }
                break; // the wait is over
            }
            receiveDatagram(datagram, sender);
        }
        if (!awaited || !awaited->waiting())
            return;
        awaited->timeOut();
        if (awaited->purpose() != Purpose::Set) {
            const quint8 module = awaited->module();
            const bool anyModule = module == 0xFF || awaited->purpose() == Purpose::Bind;
            QString notice = anyModule
                                 ? QStringLiteral("No module answered within %1 ms").arg(timeoutMs)
                                 : QStringLiteral("Module %1 did not answer within %2 ms")
                                       .arg(module)
                                       .arg(timeoutMs);
            const QString came = awaited->instead();
            notice +=
                came.isEmpty() ? QStringLiteral(".") : QStringLiteral(": %1 instead.").arg(came);
            // Silence since the link was opened points at the settings, or at the module.
            const QString hint = m_udp.silenceHint(anyModule ? -1 : module);
            if (!hint.isEmpty())
                notice += QStringLiteral("  ") + hint;
            emit requestNotice(notice);
        }
    } catch (const std::exception& e) {
        if (awaited)
            awaited->endWith(RequestEnd::LinkFailed);
        // The box keeps its text; the detail tells the technician that the tool itself (a
        // record file, say), not the bus, failed.
        emit message(kExchangeFailed, QString::fromStdString(e.what()));
    } catch (...) {
        if (awaited)
            awaited->endWith(RequestEnd::LinkFailed);
        emit message(kExchangeFailed);
    }
}

bool FrameExchange::senderAccepted(const QHostAddress& sender) const {
    if (m_anySender)
        return true;
    // The address requests go to, from whichever of its ports: a copy of an answer from
    // another socket is told by ReplyOwnership, not here.
    const QHostAddress remote = m_udp.remoteAddress();
    return !remote.isNull() && sender.isEqual(remote, QHostAddress::TolerantConversion);
}

void FrameExchange::takeEarlierDatagrams() {
    // Whatever waits on the socket came before the request about to go out: it answers an
    // earlier request or none, never this one (a copy of the last answer, say).
    if (!m_udp.hasPendingDatagrams())
        return;
    m_udp.aimAtRemote();
    takeLateDatagrams();
}

void FrameExchange::takeLateDatagrams() {
    while (m_udp.hasPendingDatagrams()) {
        bool received = true;
        Peer sender;
        const QByteArray datagram = m_udp.receive(0, &received, &sender.address, &sender.port);
        if (!received || sender.address.isNull())
            return;
        // This runs from the event loop, as a serial block does: nothing may escape into it.
        try {
            receiveDatagram(datagram, sender);
        } catch (const std::exception& e) {
            emit message(QString::fromStdString(e.what()));
        } catch (...) {
            emit message(kExchangeFailed);
        }
    }
}

void FrameExchange::receiveDatagram(const QByteArray& datagram, const Peer& from) {
    if (!senderAccepted(from.address)) {
        if (onForeignDatagram)
            onForeignDatagram(datagram, from);
        return;
    }
    if (onDatagram)
        onDatagram(datagram, from);
}

void FrameExchange::tapSent(const QByteArray& frame, bool network, bool sent,
                            quint16 broadcastPort) {
    if (!m_tap.listening())
        return;
    TappedFrame f;
    f.timeUs = FrameTap::nowUs();
    f.direction = TappedFrame::Direction::Sent;
    f.fate = sent ? TappedFrame::Fate::Sent : TappedFrame::Fate::NotSent;
    f.bytes = frame;
    if (network) {
        f.link = TappedFrame::Link::Network;
        f.passwordBlock = m_sendingPassword;
        f.destination =
            broadcastPort ? QHostAddress(QHostAddress::Broadcast) : m_udp.remoteAddress();
        f.destinationPort = broadcastPort ? broadcastPort : m_udp.remotePort;
        f.source = m_udp.localAddressToward(f.destination);
        f.sourcePort = m_udp.boundPort();
    } else {
        f.link = TappedFrame::Link::Serial;
        f.extensionChannel = m_settings.extensionChannel();
    }
    emit m_tap.frame(f);
}

#include "moc_frame_exchange.cpp"

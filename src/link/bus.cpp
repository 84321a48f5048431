#include "link/bus.h"

#include "link/frames.h"
#include "link/processing_view.h"

#include <QElapsedTimer>
#include <QScopeGuard>

#include <algorithm>
#include <stdexcept>

namespace {

const QString kCommunicationError = QStringLiteral("Communication Error！");
// How long the network wait blocks before the window may repaint.
constexpr qint64 kPaintSliceMs = 40;
const QString kTimeout = QStringLiteral("Timeout！");

constexpr int kWatchdogMs = 5000;
constexpr int kLongReplyWaitMs = 4000;
constexpr int kRestoreReplyWaitMs = 8000;

} // namespace

Bus::Bus(const LinkSettings& settings, QObject* parent) : QObject(parent), m_settings(settings) {
    // Comm1 differs from the component's defaults in its software flow control: the bus
    // carries binary frames in which 0x11 and 0x13 are ordinary bytes.
    m_comm.Outx_XonXoffFlow = false;
    m_comm.Inx_XonXoffFlow = false;
    m_comm.OnReceiveData = [this](TComm*, const quint8* block, quint16 length) {
        // This runs from the event loop: nothing may escape into it. A failing handler is
        // reported with its own text.
        try {
            Comm1ReceiveData(block, length);
        } catch (const std::exception& e) {
            emit message(QString::fromStdString(e.what()));
        } catch (...) {
            emit message(kCommunicationError);
        }
    };

    // What arrives on the network outside an exchange's wait is taken in at once, as a
    // serial block is; a failing handler is reported by its text.
    m_udp.onReadable = [this] { takeLateDatagrams(); };

    // A coarse timer may fire up to 5 % early; the watchdog waits its full 5000 ms.
    m_readTimer.setTimerType(Qt::PreciseTimer);
    m_readTimer.setInterval(kWatchdogMs);
    connect(&m_readTimer, &QTimer::timeout, this, &Bus::readTimerTimer);
}

Bus::~Bus() {
    m_comm.OnReceiveData = nullptr;
    m_udp.onReadable = nullptr;
}

bool Bus::processingVisible() const {
    return m_processing && m_processing->processingVisible();
}

RequestLayout Bus::layout() const {
    if (m_settings.networkMode() || m_settings.extensionChannel())
        return RequestLayout::longForm(m_settings.subnetId());
    return RequestLayout::shortForm();
}

int Bus::currentReplyWait() const {
    if (m_state.LongReplyWait == 1)
        return kLongReplyWaitMs;
    if (m_state.RestoreReplyWait == 1)
        return kRestoreReplyWaitMs;
    return m_replyWaitMs;
}

void Bus::refuseDuringJob() const {
    if (!runningJob().isEmpty())
        throw std::runtime_error(QStringLiteral("%1 is running: wait for it to end or cancel it.")
                                     .arg(runningJob())
                                     .toStdString());
}

void Bus::send(const Request& request) {
    send(request, layout());
}

void Bus::send(const Request& request, const RequestLayout& layout) {
    refuseDuringJob();
    sendWith(request, layout, Awaiting::None, false);
}

void Bus::sendSet(const Request& request) {
    refuseDuringJob();
    const int key = ReplyOwnership::key(quint8(request.command | 0x80), request.subCommand);
    if (m_readTimer.isActive() && m_ownership.sequenceUses(key))
        throw std::runtime_error(
            "A read-all or delete-all sequence of the same command is running: wait for it to "
            "end or cancel it, then press Set again.");
    sendWith(request, layout(), Awaiting::Set, false);
}

void Bus::sendToBusSwitch(const Request& request, const RequestLayout& layout) {
    refuseDuringJob();
    sendWith(request, layout, Awaiting::None, true);
}

void Bus::sendStep(const Request& request) {
    sendWith(request, layout(), Awaiting::Step, false);
}

void Bus::sendForJob(const Request& request, const RequestLayout& layout) {
    sendWith(request, layout, Awaiting::None, false);
}

void Bus::sendBind() {
    refuseDuringJob();
    m_next = Awaited{};
    m_next.valid = true;
    m_next.bind = true;
    SendBindDataDeal();
}

void Bus::sendWith(const Request& request, const RequestLayout& layout, Awaiting kind,
                   bool anySender) {
    const quint8 replyCommand = quint8(request.command | 0x80);
    const int key = ReplyOwnership::key(replyCommand, request.subCommand);
    const bool network = m_settings.networkMode();
    quint64 ticket = 0;
    if (kind == Awaiting::Set)
        ticket = m_ownership.expectSet(key, request.module,
                                       currentReplyWait() + (network ? 0 : kSerialQuietMs));
    else if (kind == Awaiting::Step)
        m_ownership.expectStep(key, request.module);

    m_next = Awaited{};
    m_next.valid = true;
    m_next.module = request.module;
    m_next.command = replyCommand;
    m_next.sub = request.subCommand;
    m_next.anySender = anySender;
    layout.write(m_buffer, request);
    SendDataDeal();
    // The exchange's wait is over: an acknowledgement that comes later records nothing.
    if (network && ticket)
        m_ownership.endWait(ticket);
}

Bus::Awaited Bus::takeAwaited() {
    Awaited awaited = m_next;
    m_next = Awaited{};
    if (awaited.valid)
        return awaited;
    // Sent without saying what it awaits (a test driving the send routine): read it from the
    // request area in the current layout.
    const int at = layout().longLayout ? 5 : 3;
    awaited.module = m_buffer.request(at);
    awaited.command = quint8(m_buffer.request(at + 1) | 0x80);
    awaited.sub = m_buffer.request(at + 2);
    return awaited;
}

void Bus::SendDataDeal() {
    const Awaited awaited = takeAwaited();
    const bool network = m_settings.networkMode();
    const bool withPassword = network && m_state.SkipPasswordOnce == 0;
    const QByteArray frame =
        frames::BusFrame(m_buffer.requestArea(), withPassword, m_settings.password());
    m_state.SkipPasswordOnce = 0;
    m_sendingPassword = withPassword;

    if (m_settings.maskedLog())
        emit logLine(QStringLiteral("Send ：X"));
    else
        emit logLine(QStringLiteral("Send ：") + frames::hexText(frame));

    if (network) {
        transmit(frame, currentReplyWait(), awaited);
    } else {
        queueSerial(frame);
    }
}

void Bus::queueSerial(const QByteArray& frame) {
    // The driver copies the block; a closed port refuses it, which the log does not show.
    const bool queued = m_comm.QueueWrite(reinterpret_cast<const quint8*>(frame.constData()),
                                          quint16(frame.size()));
    tapSent(frame, false, queued, 0);
    emit requestNotice(queued ? QString()
                              : QStringLiteral("Not sent: the serial link is not open (\"Create\" "
                                               "beside \"Com\" opens it)."));
}

void Bus::SendBindDataDeal() {
    Awaited awaited = takeAwaited();
    awaited.bind = true;
    const QByteArray frame = frames::BindFrame(m_buffer.requestArea());
    m_sendingPassword = false;

    if (m_settings.maskedLog())
        emit logLine(QStringLiteral("Send ：X"));
    else
        emit logLine(QStringLiteral("Send ：") + frames::hexText(frame));

    if (m_settings.networkMode())
        transmit(frame, m_state.LongReplyWait == 1 ? kLongReplyWaitMs : m_replyWaitMs, awaited);
    else
        queueSerial(frame);
}

void Bus::transmit(const QByteArray& frame, int timeoutMs, Awaited awaited) {
    // One send, then a bounded wait for the reply to it, and the handling of what came: any
    // failure of these is one "Communication Error！". No reply in time is not a failure.
    // Whatever else arrives meanwhile is taken in as it comes (a stray or late reply is
    // dispatched or dropped as usual) and the wait goes on for what is left of it; a
    // datagram from an address the request did not go to is dropped without trace.
    Awaited* outer = m_waiting;
    const auto restore = qScopeGuard([this, outer] {
        m_waiting = outer;
        // Datagrams behind the awaited one wait for no later request.
        if (m_udp.hasPendingDatagrams())
            QMetaObject::invokeMethod(this, &Bus::takeLateDatagrams, Qt::QueuedConnection);
    });
    try {
        bool sent = false;
        m_anySender = awaited.anySender || m_udp.broadcast;
        const quint16 broadcastPort =
            m_udp.broadcast ? quint16(m_settings.remotePortText().toInt()) : quint16(0);
        if (m_udp.isActive()) {
            if (m_udp.broadcast)
                sent = m_udp.sendBroadcast(frame, broadcastPort);
            else
                sent = m_udp.send(frame);
        }
        tapSent(frame, true, sent, broadcastPort);
        if (!sent) {
            const QString failure = m_udp.broadcast ? QString() : m_udp.failure();
            emit requestNotice(
                !m_udp.isActive()
                    ? QStringLiteral("Not sent: the network link is not open (\"Create\" "
                                     "beside \"TCP/IP \" opens it).")
                    : QStringLiteral("Not sent: %1")
                          .arg(failure.isEmpty() ? QStringLiteral("the network refused it.")
                                                 : failure));
            // The box keeps its text; the detail names a host that could not be found.
            emit message(kCommunicationError, failure);
            return;
        }
        emit requestNotice(QString());
        m_waiting = &awaited;
        WaitView* view = m_waitView;
        if (view)
            view->waitBegins();
        const auto waited = qScopeGuard([view] {
            if (view)
                view->waitEnds();
        });
        QElapsedTimer clock;
        clock.start();
        while (!awaited.seen) {
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
                emit message(kCommunicationError);
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
        if (!awaited.seen) {
            const bool anyModule = awaited.module == 0xFF || awaited.bind;
            emit requestNotice(
                anyModule ? QStringLiteral("No module answered within %1 ms.").arg(timeoutMs)
                          : QStringLiteral("Module %1 did not answer within %2 ms.")
                                .arg(awaited.module)
                                .arg(timeoutMs));
        }
    } catch (const std::exception& e) {
        // The box keeps its text; the detail tells the technician that the tool itself (a
        // record file, say), not the bus, failed.
        emit message(kCommunicationError, QString::fromStdString(e.what()));
    } catch (...) {
        emit message(kCommunicationError);
    }
}

bool Bus::senderAccepted(const QHostAddress& sender) const {
    if (m_anySender)
        return true;
    const QHostAddress remote = m_udp.remoteAddress();
    return !remote.isNull() && sender.isEqual(remote, QHostAddress::TolerantConversion);
}

void Bus::takeLateDatagrams() {
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
            emit message(kCommunicationError);
        }
    }
}

void Bus::receiveDatagram(const QByteArray& datagram, const Peer& from) {
    if (!senderAccepted(from.address)) {
        tapInput(reinterpret_cast<const quint8*>(datagram.constData()), int(datagram.size()),
                 IntakeKind::Network, from, TappedFrame::Fate::ForeignSender);
        return;
    }
    m_intakePeer = from;
    ReceiveDeal(datagram);
}

void Bus::tapSent(const QByteArray& frame, bool network, bool sent, quint16 broadcastPort) {
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

void Bus::tapInput(const quint8* input, int count, IntakeKind kind, const Peer& from,
                   TappedFrame::Fate fate) {
    if (!m_tap.listening())
        return;
    TappedFrame f;
    f.timeUs = FrameTap::nowUs();
    f.direction = TappedFrame::Direction::Received;
    f.fate = fate;
    f.bytes = QByteArray(reinterpret_cast<const char*>(input), std::max(count, 0));
    if (kind == IntakeKind::Network) {
        f.link = TappedFrame::Link::Network;
        f.source = from.address;
        f.sourcePort = from.port;
        f.destination = m_udp.localAddressToward(from.address);
        f.destinationPort = m_udp.boundPort();
        f.systemDrops = m_udp.systemDrops();
    } else {
        f.link = TappedFrame::Link::Serial;
        f.extensionChannel = kind == IntakeKind::SerialExtension;
    }
    emit m_tap.frame(f);
}

namespace {

[[noreturn]] void duplicateHandler(const QString& what) {
    const QString text = QStringLiteral("Two handlers registered for %1").arg(what);
    Q_ASSERT_X(false, "Bus", qPrintable(text));
    throw std::logic_error(text.toStdString());
}

void addHandler(std::map<int, Bus::Handler>& table, quint8 command, quint8 subCommand,
                Bus::Handler handler, const char* kind) {
    const int key = (int(command) << 8) | subCommand;
    if (table.count(key)) {
        const QString bytes = QStringLiteral("%1 %2")
                                  .arg(command, 2, 16, QLatin1Char('0'))
                                  .arg(subCommand, 2, 16, QLatin1Char('0'))
                                  .toUpper();
        duplicateHandler(QStringLiteral("%1 reply %2").arg(QLatin1String(kind), bytes));
    }
    table.emplace(key, std::move(handler));
}

} // namespace

void Bus::registerReply(quint8 command, quint8 subCommand, ReplyHandler handler, ReplyRule rule) {
    addHandler(m_handlers, command, subCommand, Handler{std::move(handler), rule}, "the");
}

void Bus::registerBusSwitchReply(quint8 command, quint8 subCommand, ReplyHandler handler) {
    addHandler(m_busSwitchHandlers, command, subCommand, Handler{std::move(handler)},
               "the bus switch's");
}

void Bus::registerBindReply(ReplyHandler handler) {
    if (m_bindHandler)
        duplicateHandler(QStringLiteral("the bind-test replies"));
    m_bindHandler = std::move(handler);
}

void Bus::restartReadTimer() {
    m_readTimer.stop();
    m_readTimer.start();
}

void Bus::clearSequenceState() {
    m_readTimer.stop();
    m_state.TimerIndex = 0;
    m_state.EventIndex = 0;
    m_state.ControlDataIndex = 0;
    m_state.DeletingTimers = 0;
    m_state.DeletingEvents = 0;
    m_state.DeletingControlData = 0;
    m_ownership.endSteps();
    if (m_processing)
        m_processing->hideProcessing();
}

void Bus::resetUdpIfActive() {
    if (m_udp.isActive())
        m_udp.reset();
}

void Bus::cancelSequence() {
    clearSequenceState();
    m_ownership.endAll();
    resetUdpIfActive();
}

void Bus::readTimerTimer() {
    clearSequenceState();
    m_ownership.endAll();
    resetUdpIfActive();
    emit message(kTimeout);
}

void Bus::errorReplyReset() {
    // An error reply also forgets where a binding read-all stood; the transport is kept.
    clearSequenceState();
    m_state.MonitorBindIndex = 0;
}

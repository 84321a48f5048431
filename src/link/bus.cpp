#include "link/bus.h"

#include "link/frames.h"
#include "link/processing_view.h"

#include <algorithm>
#include <stdexcept>
#include <utility>

namespace {

const QString kCommunicationError = QStringLiteral("Communication Error！");
const QString kTimeout = QStringLiteral("Timeout！");

} // namespace

Bus::Bus(const LinkSettings& settings, QObject* parent)
    : QObject(parent), m_settings(settings), m_intake(settings, m_buffer, m_tap, m_udp),
      m_dispatcher(m_ownership), m_watchdog(m_state, m_ownership),
      m_exchange(settings, m_udp, m_comm, m_tap) {
    connect(&m_intake, &ReplyIntake::logLine, this, &Bus::logLine);
    connect(&m_dispatcher, &ReplyDispatcher::setOutcome, this, &Bus::setOutcome);
    connect(&m_dispatcher, &ReplyDispatcher::setAnswered, this, &Bus::setAnswered);
    connect(&m_watchdog, &SequenceWatchdog::expired, this, &Bus::watchdogExpired);

    // Comm1 differs from the component's defaults in its software flow control: the bus
    // carries binary frames in which 0x11 and 0x13 are ordinary bytes.
    m_comm.Outx_XonXoffFlow = false;
    m_comm.Inx_XonXoffFlow = false;
    m_comm.OnReceiveData = [this](TComm*, const quint8* block, quint16 length) {
        // This runs from the event loop: nothing may escape into it. A failing handler is
        // reported with its own text.
        try {
            takeSerialBlock(block, length);
        } catch (const std::exception& e) {
            fail(QString::fromStdString(e.what()));
        } catch (...) {
            fail(kCommunicationError);
        }
    };

    // What arrives on the network outside an exchange's wait is taken in at once, as a
    // serial block is; a failing handler is reported by its text.
    m_udp.onReadable = [this] { m_exchange.takeLateDatagrams(); };
    connect(&m_exchange, &FrameExchange::requestNotice, this, &Bus::requestNotice);
    connect(&m_exchange, &FrameExchange::notSent, this, &Bus::notSent);
    connect(&m_exchange, &FrameExchange::message, this, &Bus::fail);
    m_exchange.onDatagram = [this](const QByteArray& datagram, const Peer& from) {
        m_intakePeer = from;
        takeDatagram(datagram);
    };
    m_exchange.onForeignDatagram = [this](const QByteArray& datagram, const Peer& from) {
        m_intake.tapInput(reinterpret_cast<const quint8*>(datagram.constData()),
                          int(datagram.size()), ReplyIntake::Source::Network, from,
                          TappedFrame::Fate::ForeignSender);
        m_ownership.noteForeign(from.address, from.port);
        emit datagramIgnored(from.address, from.port);
    };
}

void Bus::fail(const QString& text, const QString& detail) {
    emit failed(text, detail);
    emit message(text, detail);
}

Bus::~Bus() {
    m_comm.OnReceiveData = nullptr;
    m_udp.onReadable = nullptr;
}

bool Bus::processingVisible() const {
    const ProcessingView* view = processingView();
    return view && view->processingVisible();
}

void Bus::setStepListener(StepListener* listener) {
    m_dispatcher.setStepListener(listener);
    m_watchdog.setStepListener(listener);
}

RequestLayout Bus::layout() const {
    if (m_settings.networkMode() || m_settings.extensionChannel())
        return RequestLayout::longForm(m_settings.subnetId());
    return RequestLayout::shortForm();
}

void Bus::refuseDuringJob() const {
    if (!runningJob().isEmpty())
        throw std::runtime_error(QStringLiteral("%1 is running: wait for it to end or cancel it.")
                                     .arg(runningJob())
                                     .toStdString());
}

QPointer<PendingRequest> Bus::submit(const Request& request, Purpose purpose,
                                     const RequestOptions& options) {
    if (purpose != Purpose::Step && purpose != Purpose::Job)
        refuseDuringJob();
    if (purpose == Purpose::Set && m_watchdog.timer().isActive() &&
        m_ownership.sequenceUses(
            ReplyOwnership::key(quint8(request.command | 0x80), request.subCommand)))
        throw std::runtime_error(
            "A read-all or delete-all sequence of the same command is running: wait for it to "
            "end or cancel it, then press Set again.");
    if (purpose != Purpose::Bind)
        options.layout.value_or(layout()).write(m_buffer, request);
    return sendArea(request, purpose, options);
}

void Bus::sendRequestArea() {
    // Sent without saying what it is (a test driving the send routine): read it from the
    // request area in the current layout.
    const int at = layout().longLayout ? 5 : 3;
    sendArea(Request(m_buffer.request(at), m_buffer.request(at + 1), m_buffer.request(at + 2)),
             Purpose::Button, {});
}

QPointer<PendingRequest> Bus::sendArea(const Request& request, Purpose purpose,
                                       const RequestOptions& options) {
    const bool network = m_settings.networkMode();
    const int waitMs = options.replyWaitMs > 0 ? options.replyWaitMs : m_replyWaitMs;
    const QPointer<PendingRequest> pending =
        new PendingRequest(request, purpose, options, waitMs, this);
    quint64 ticket = 0;
    if (purpose != Purpose::Bind) {
        const int key = ReplyOwnership::key(pending->replyCommand(), request.subCommand);
        if (purpose == Purpose::Set)
            ticket = m_ownership.expectSet(key, request.module);
        else if (purpose == Purpose::Step)
            m_ownership.expectStep(key, request.module);
        else
            m_ownership.endPair(key);
    }
    m_ownership.addLive(pending);
    emit requestSubmitted(pending);

    const bool bind = purpose == Purpose::Bind;
    const bool withPassword = network && !bind && !options.skipPassword;
    const QByteArray frame =
        bind ? frames::BindFrame(m_buffer.requestArea())
             : frames::BusFrame(m_buffer.requestArea(), withPassword, m_settings.password());
    m_exchange.setSendingPassword(withPassword);
    if (m_settings.maskedLog())
        emit logLine(QStringLiteral("Send ：X"));
    else
        emit logLine(QStringLiteral("Send ：") + frames::hexText(frame));

    if (network) {
        m_exchange.transmit(frame, *pending, purpose == Purpose::BusSwitch);
    } else {
        m_exchange.queueSerial(frame, *pending);
        // The serial reply comes as a block once the line has been quiet after it.
        if (pending && pending->waiting())
            QTimer::singleShot(waitMs + kSerialQuietMs, pending.data(),
                               [p = pending.data()] { p->timeOut(); });
    }
    if (!ticket)
        return pending;
    if (network) {
        endSetWait(ticket, request.module, waitMs);
        return pending;
    }
    QTimer::singleShot(
        waitMs + kSerialQuietMs, this,
        [this, ticket, module = request.module, waitMs] { endSetWait(ticket, module, waitMs); });
    return pending;
}

void Bus::endSetWait(quint64 ticket, quint8 module, int waitMs) {
    // Still pending: its answer may yet come and record the row; say so until it does.
    if (!m_ownership.endWait(ticket))
        return;
    QString outcome =
        module == 0xFF
            ? QStringLiteral("No module answered within %1 ms: nothing recorded yet.").arg(waitMs)
            : QStringLiteral("Module %1 did not answer within %2 ms: nothing recorded yet.")
                  .arg(module)
                  .arg(waitMs);
    // Silence since the link was opened points at the settings, not at the module.
    const QString hint = m_settings.networkMode() ? m_udp.silenceHint(module) : QString();
    if (!hint.isEmpty())
        outcome += QStringLiteral("  ") + hint;
    emit setOutcome(outcome);
}

void Bus::takeDatagram(const QByteArray& datagram) {
    const Peer from = std::exchange(m_intakePeer, Peer{});
    takeInput(reinterpret_cast<const quint8*>(datagram.constData()), int(datagram.size()),
              ReplyIntake::Source::Network, from);
}

void Bus::takeSerialBlock(const quint8* block, quint16 length) {
    takeInput(block, length,
              m_settings.extensionChannel() ? ReplyIntake::Source::SerialExtension
                                            : ReplyIntake::Source::SerialPlain,
              {});
}

void Bus::takeInput(const quint8* input, int count, ReplyIntake::Source source, const Peer& from) {
    const std::optional<Reply> reply = m_intake.takeInput(input, count, source, from);
    if (!reply)
        return;
    const Reply& r = *reply;
    const bool bindReply = r[0] == 0xAE && r[1] == 0xD0;
    // Only a refusal of what the window awaits (the outstanding step, a pending Set) ends a
    // sequence; anyone else's error is logged and changes nothing.
    const bool running = m_watchdog.timer().isActive();
    if (!bindReply && r[6] != 1 && m_ownership.wouldAnswer(r, running))
        refusalEndsSequence(r[6]);
    // The request in flight it answers is settled by it, whatever its status (a network wait
    // for it ends): anything else is a stray or a late reply, and the waits go on.
    m_ownership.settle(r);
    emit replyAccepted(r);
    m_dispatcher.dispatchReply(r, m_watchdog.timer().isActive());
}

void Bus::resetUdpIfActive() {
    if (m_udp.isActive())
        m_udp.reset();
}

void Bus::cancelSequence() {
    m_watchdog.stopSequence(SequenceStop::Cancelled);
    m_ownership.endAll();
    m_ownership.endLive(RequestEnd::Cancelled, false);
    resetUdpIfActive();
}

void Bus::watchdogExpired() {
    m_watchdog.stopSequence(SequenceStop::TimedOut);
    m_ownership.endAll();
    m_ownership.endLive(RequestEnd::Superseded, false);
    resetUdpIfActive();
    emit message(kTimeout);
}

void Bus::refusalEndsSequence(quint8 status) {
    // A refusal also forgets where a binding read-all stood; the transport is kept.
    m_watchdog.stopSequence(SequenceStop::Refused, status);
    m_state.MonitorBindIndex = 0;
}

#include "moc_bus.cpp"

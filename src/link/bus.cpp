#include "link/bus.h"

#include "link/bus_parts.h"
#include "link/frames.h"

#include <QTimer>

#include <algorithm>
#include <stdexcept>
#include <utility>

namespace {

const QString kCommunicationError = QStringLiteral("Communication Error！");

} // namespace

Bus::Bus(const LinkSettings& settings, QObject* parent)
    : QObject(parent), m_d(std::make_unique<BusParts>(settings)) {
    connect(&m_d->intake, &ReplyIntake::logLine, this, &Bus::logLine);
    connect(&m_d->dispatcher, &ReplyDispatcher::setOutcome, this, &Bus::setOutcome);
    connect(&m_d->dispatcher, &ReplyDispatcher::setAnswered, this, &Bus::setAnswered);

    // Comm1 differs from the component's defaults in its software flow control: the bus
    // carries binary frames in which 0x11 and 0x13 are ordinary bytes.
    m_d->comm.Outx_XonXoffFlow = false;
    m_d->comm.Inx_XonXoffFlow = false;
    m_d->comm.OnRequestHangup = [this](TComm*) { emit serialHangUp(); };
    m_d->comm.OnReceiveData = [this](TComm*, const quint8* block, quint16 length) {
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
    m_d->udp.onReadable = [this] { m_d->exchange.takeLateDatagrams(); };
    connect(&m_d->exchange, &FrameExchange::requestNotice, this, &Bus::requestNotice);
    connect(&m_d->exchange, &FrameExchange::notSent, this, &Bus::notSent);
    connect(&m_d->exchange, &FrameExchange::message, this, &Bus::fail);
    m_d->exchange.onDatagram = [this](const QByteArray& datagram, const ReplyIntake::Peer& from) {
        m_d->intakePeer = from;
        takeDatagram(datagram);
    };
    m_d->exchange.onForeignDatagram = [this](const QByteArray& datagram,
                                             const ReplyIntake::Peer& from) {
        m_d->intake.tapInput(reinterpret_cast<const quint8*>(datagram.constData()),
                             int(datagram.size()), ReplyIntake::Source::Network, from,
                             TappedFrame::Fate::ForeignSender);
        m_d->ownership.noteForeign(from.address, from.port);
        emit datagramIgnored(from.address, from.port);
    };
}

void Bus::fail(const QString& text, const QString& detail) {
    emit failed(text, detail);
    emit message(text, detail);
}

Bus::~Bus() {
    m_d->comm.OnReceiveData = nullptr;
    m_d->comm.OnRequestHangup = nullptr;
    m_d->udp.onReadable = nullptr;
}

const LinkSettings& Bus::settings() const {
    return m_d->settings;
}
FrameTap& Bus::tap() {
    return m_d->tap;
}
ModuleTypes& Bus::moduleTypes() {
    return m_d->moduleTypes;
}

QString Bus::openSerial(const SerialLine& line, QString* detail) {
    TComm& comm = m_d->comm;
    comm.CommName = line.port;
    comm.BaudRate = line.baud;
    comm.ByteSize = TComm::TByteSize(qBound(0, line.byteSize, 3));
    comm.Parity = TComm::TParity(qBound(0, line.parity, 4));
    comm.StopBits = TComm::TStopBits(qBound(0, line.stopBits, 2));
    try {
        comm.OpenPort();
    } catch (const ECommsError& e) {
        if (detail)
            *detail = e.detail();
        return e.message();
    }
    return QString();
}

void Bus::closeSerial() {
    m_d->comm.ClosePort();
}
bool Bus::serialOpen() const {
    return m_d->comm.isOpen();
}
bool Bus::serialGone() const {
    return m_d->comm.deviceGone();
}
QString Bus::serialName() const {
    return m_d->comm.CommName;
}

QString Bus::openNetwork(const NetworkLine& line) {
    UdpTransport& udp = m_d->udp;
    udp.remoteHost = line.remoteHost;
    udp.remotePort = line.remotePort;
    udp.localPort = line.localPort;
    if (udp.open())
        return QString();
    const QString why = udp.openFailure();
    udp.close();
    return why.isEmpty() ? QStringLiteral("cannot use local UDP port %1").arg(line.localPort) : why;
}

bool Bus::resolveRemote() {
    return m_d->udp.resolveRemote();
}
QString Bus::networkFailure() const {
    return m_d->udp.failure();
}
void Bus::closeNetwork() {
    m_d->udp.close();
}
bool Bus::networkOpen() const {
    return m_d->udp.isActive();
}
quint16 Bus::boundPort() const {
    return m_d->udp.boundPort();
}

void Bus::closeAll() {
    m_d->comm.ClosePort();
    m_d->udp.close();
}

QString Bus::linkDescription() const {
    const QString subnet = QStringLiteral("Subnet ID %1").arg(m_d->settings.subnetId());
    if (m_d->settings.networkMode())
        return QStringLiteral("UDP to %1 port %2, %3")
            .arg(m_d->udp.remoteHost)
            .arg(m_d->udp.remotePort)
            .arg(subnet);
    return QStringLiteral("serial port %1, %2 baud, %3")
        .arg(m_d->comm.CommName)
        .arg(m_d->comm.BaudRate)
        .arg(subnet);
}

QString Bus::silenceHint(int module) const {
    return m_d->udp.silenceHint(module);
}

void Bus::setWaitView(WaitView* view) {
    m_d->exchange.setWaitView(view);
}

void Bus::registerReply(QObject* owner, quint8 command, quint8 subCommand, ReplyHandler handler,
                        ReplyRule rule) {
    m_d->dispatcher.registerReply(owner, command, subCommand, std::move(handler), rule);
}
void Bus::registerBusSwitchReply(QObject* owner, quint8 command, quint8 subCommand,
                                 ReplyHandler handler) {
    m_d->dispatcher.registerBusSwitchReply(owner, command, subCommand, std::move(handler));
}
void Bus::registerBindReply(QObject* owner, ReplyHandler handler) {
    m_d->dispatcher.registerBindReply(owner, std::move(handler));
}

void Bus::linkClosed() {
    m_d->ownership.endAll();
    m_d->ownership.endLive(RequestEnd::LinkClosed, true);
}

void Bus::sequenceBegins() {
    m_d->ownership.sequenceStarted();
    m_d->sequenceRunning = true;
}
void Bus::sequenceEnds() {
    m_d->sequenceRunning = false;
    m_d->ownership.endSteps();
}
bool Bus::sequenceRunning() const {
    return m_d->sequenceRunning;
}

void Bus::setReplyWait(int milliseconds) {
    m_d->replyWaitMs = milliseconds;
}
int Bus::replyWait() const {
    return m_d->replyWaitMs;
}
void Bus::setRunningJob(const QString& name) {
    m_d->ownership.setJob(name);
}
QString Bus::runningJob() const {
    return m_d->ownership.job();
}

QString Bus::busyReason(const QString& starting) const {
    if (!runningJob().isEmpty())
        return QStringLiteral("%1 is running: wait for it to end or cancel it.").arg(runningJob());
    if (sequenceRunning())
        return starting.isEmpty()
                   ? QStringLiteral("A read-all or delete-all sequence is running: wait for it "
                                    "to end or cancel it.")
                   : QStringLiteral("A read-all or delete-all sequence is running: wait for it "
                                    "to end or cancel it, then start %1 again.")
                         .arg(starting);
    return QString();
}

void Bus::sendBind(const QByteArray& payload) {
    refuseDuringJob();
    // Header, length and checksum around the payload, in the request area as far as it goes.
    const int n = std::min(int(payload.size()) + 4, FrameBuffer::kAreaSize);
    m_d->buffer.request(2) = quint8(n);
    std::copy_n(payload.constData(), n - 4, m_d->buffer.requestArea() + 3);
    sendArea(Request(), Purpose::Bind, {});
}

RequestLayout Bus::layout() const {
    if (m_d->settings.networkMode() || m_d->settings.extensionChannel())
        return RequestLayout::longForm(m_d->settings.subnetId());
    return RequestLayout::shortForm();
}

void Bus::refuseDuringJob() const {
    if (!runningJob().isEmpty())
        throw std::runtime_error(busyReason().toStdString());
}

QPointer<PendingRequest> Bus::submit(const Request& request, Purpose purpose,
                                     const RequestOptions& options) {
    if (purpose != Purpose::Step && purpose != Purpose::Job)
        refuseDuringJob();
    if (purpose == Purpose::Set && sequenceRunning() &&
        m_d->ownership.sequenceUses(
            ReplyOwnership::key(quint8(request.command | 0x80), request.subCommand)))
        throw std::runtime_error(
            "A read-all or delete-all sequence of the same command is running: wait for it to "
            "end or cancel it, then press Set again.");
    if (purpose != Purpose::Bind)
        options.layout.value_or(layout()).write(m_d->buffer, request);
    return sendArea(request, purpose, options);
}

void Bus::sendRequestArea() {
    // Sent without saying what it is (a test driving the send routine): read it from the
    // request area in the current layout.
    const int at = layout().longLayout ? 5 : 3;
    sendArea(
        Request(m_d->buffer.request(at), m_d->buffer.request(at + 1), m_d->buffer.request(at + 2)),
        Purpose::Button, {});
}

QPointer<PendingRequest> Bus::sendArea(const Request& request, Purpose purpose,
                                       const RequestOptions& options) {
    const bool network = m_d->settings.networkMode();
    if (network)
        m_d->exchange.takeEarlierDatagrams();
    const int waitMs = options.replyWaitMs > 0 ? options.replyWaitMs : m_d->replyWaitMs;
    const QPointer<PendingRequest> pending =
        new PendingRequest(request, purpose, options, waitMs, this);
    quint64 ticket = 0;
    if (purpose != Purpose::Bind) {
        const int key = ReplyOwnership::key(pending->replyCommand(), request.subCommand);
        if (purpose == Purpose::Set)
            ticket = m_d->ownership.expectSet(key, request.module);
        else if (purpose == Purpose::Step)
            m_d->ownership.stepSent(key);
        else
            m_d->ownership.endPair(key);
    }
    m_d->ownership.addLive(pending);
    if (options.beforeSend)
        options.beforeSend(*pending);
    emit requestSubmitted(pending);

    const bool bind = purpose == Purpose::Bind;
    const bool withPassword = network && !bind && !options.skipPassword;
    const QByteArray frame =
        bind ? frames::BindFrame(m_d->buffer.requestArea())
             : frames::BusFrame(m_d->buffer.requestArea(), withPassword, m_d->settings.password());
    m_d->exchange.setSendingPassword(withPassword);
    if (m_d->settings.maskedLog())
        emit logLine(QStringLiteral("Send ：X"));
    else
        emit logLine(QStringLiteral("Send ：") + frames::hexText(frame));

    if (network) {
        m_d->exchange.transmit(frame, *pending, purpose == Purpose::BusSwitch);
    } else {
        m_d->exchange.queueSerial(frame, *pending);
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
    if (!m_d->ownership.endWait(ticket))
        return;
    QString outcome =
        module == 0xFF
            ? QStringLiteral("No module answered within %1 ms: nothing recorded yet.").arg(waitMs)
            : QStringLiteral("Module %1 did not answer within %2 ms: nothing recorded yet.")
                  .arg(module)
                  .arg(waitMs);
    // Silence since the link was opened points at the settings, not at the module.
    const QString hint = m_d->settings.networkMode() ? m_d->udp.silenceHint(module) : QString();
    if (!hint.isEmpty())
        outcome += QStringLiteral("  ") + hint;
    emit setOutcome(outcome);
}

void Bus::takeDatagram(const QByteArray& datagram) {
    const ReplyIntake::Peer from = std::exchange(m_d->intakePeer, ReplyIntake::Peer{});
    takeInput(reinterpret_cast<const quint8*>(datagram.constData()), int(datagram.size()),
              int(ReplyIntake::Source::Network), from.address, from.port);
}

void Bus::takeSerialBlock(const quint8* block, quint16 length) {
    takeInput(block, length,
              int(m_d->settings.extensionChannel() ? ReplyIntake::Source::SerialExtension
                                                   : ReplyIntake::Source::SerialPlain),
              QHostAddress(), 0);
}

void Bus::takeInput(const quint8* input, int count, int source, const QHostAddress& from,
                    quint16 fromPort) {
    const std::optional<Reply> reply = m_d->intake.takeInput(
        input, count, ReplyIntake::Source(source), ReplyIntake::Peer{from, fromPort});
    if (!reply)
        return;
    const Reply& r = *reply;
    const bool bindReply = r[0] == 0xAE && r[1] == 0xD0;
    // Only a refusal of what the window awaits (the outstanding step, a pending Set) ends a
    // sequence; anyone else's error is logged and changes nothing. The step's refusal ends it
    // through the step's request, as it is settled.
    if (!bindReply && r[6] != 1 && m_d->ownership.wouldAnswer(r))
        refusalEndsSequence(r[6]);
    // The request in flight it answers is settled by it, whatever its status (a network wait
    // for it ends): anything else is a stray or a late reply, and the waits go on.
    const QPointer<PendingRequest> answered = m_d->ownership.settle(r);
    emit replyAccepted(r);
    m_d->dispatcher.dispatchReply(r, answered && answered->purpose() == Purpose::Step);
    if (answered)
        answered->handled(r);
}

void Bus::resetUdpIfActive() {
    if (m_d->udp.isActive())
        m_d->udp.reset();
}

void Bus::abandonSequence(RequestEnd why) {
    m_d->ownership.endLive(why, false);
    sequenceEnds();
    m_d->ownership.endAll();
    resetUdpIfActive();
}

void Bus::refusalEndsSequence(quint8 status) {
    // The transport is kept.
    sequenceEnds();
    emit sequenceRefused(status);
}

#include "moc_bus.cpp"

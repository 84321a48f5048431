#include "link/bus.h"

#include "link/frames.h"
#include "link/processing_view.h"

#include <stdexcept>

namespace {

const QString kCommunicationError = QStringLiteral("Communication Error！");
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

    // A coarse timer may fire up to 5 % early; the watchdog waits its full 5000 ms.
    m_readTimer.setTimerType(Qt::PreciseTimer);
    m_readTimer.setInterval(kWatchdogMs);
    connect(&m_readTimer, &QTimer::timeout, this, &Bus::readTimerTimer);
}

Bus::~Bus() {
    m_comm.OnReceiveData = nullptr;
}

bool Bus::processingVisible() const {
    return m_processing && m_processing->processingVisible();
}

RequestLayout Bus::layout() const {
    if (m_settings.networkMode() || m_settings.extensionChannel())
        return RequestLayout::longForm(m_settings.subnetId());
    return RequestLayout::shortForm();
}

void Bus::send(const Request& request) {
    send(request, layout());
}

void Bus::send(const Request& request, const RequestLayout& layout) {
    layout.write(m_buffer, request);
    SendDataDeal();
}

void Bus::SendDataDeal() {
    const bool network = m_settings.networkMode();
    const bool withPassword = network && m_state.SkipPasswordOnce == 0;
    const QByteArray frame =
        frames::BusFrame(m_buffer.requestArea(), withPassword, m_settings.password());
    m_state.SkipPasswordOnce = 0;

    if (m_settings.maskedLog())
        emit logLine(QStringLiteral("Send ：X"));
    else
        emit logLine(QStringLiteral("Send ：") + frames::hexText(frame));

    if (network) {
        int timeoutMs = m_replyWaitMs;
        if (m_state.LongReplyWait == 1)
            timeoutMs = kLongReplyWaitMs;
        else if (m_state.RestoreReplyWait == 1)
            timeoutMs = kRestoreReplyWaitMs;
        transmit(frame, timeoutMs);
    } else {
        // The driver copies the block; a closed port refuses it, which is not reported.
        m_comm.QueueWrite(reinterpret_cast<const quint8*>(frame.constData()),
                          quint16(frame.size()));
    }
}

void Bus::SendBindDataDeal() {
    const QByteArray frame = frames::BindFrame(m_buffer.requestArea());

    if (m_settings.maskedLog())
        emit logLine(QStringLiteral("Send ：X"));
    else
        emit logLine(QStringLiteral("Send ：") + frames::hexText(frame));

    if (m_settings.networkMode())
        transmit(frame, m_state.LongReplyWait == 1 ? kLongReplyWaitMs : m_replyWaitMs);
    else
        m_comm.QueueWrite(reinterpret_cast<const quint8*>(frame.constData()),
                          quint16(frame.size()));
}

void Bus::transmit(const QByteArray& frame, int timeoutMs) {
    // One send, one bounded receive, and the handling of the reply: any failure of the three
    // is one "Communication Error！". No reply in time is not a failure.
    try {
        bool sent = false;
        if (m_udp.isActive()) {
            if (m_udp.broadcast)
                sent = m_udp.sendBroadcast(frame, quint16(m_settings.remotePortText().toInt()));
            else
                sent = m_udp.send(frame);
        }
        if (!sent) {
            emit message(kCommunicationError);
            return;
        }
        bool received = true;
        const QByteArray datagram = m_udp.receive(timeoutMs, &received);
        if (!received) {
            emit message(kCommunicationError);
            return;
        }
        if (!datagram.isEmpty())
            ReceiveDeal(datagram);
    } catch (const std::exception& e) {
        // The box keeps its text; the detail tells the technician that the tool itself (a
        // record file, say), not the bus, failed.
        emit message(kCommunicationError, QString::fromStdString(e.what()));
    } catch (...) {
        emit message(kCommunicationError);
    }
}

namespace {

[[noreturn]] void duplicateHandler(const QString& what) {
    const QString text = QStringLiteral("Two handlers registered for %1").arg(what);
    Q_ASSERT_X(false, "Bus", qPrintable(text));
    throw std::logic_error(text.toStdString());
}

void addHandler(std::map<int, Bus::ReplyHandler>& table, quint8 command, quint8 subCommand,
                Bus::ReplyHandler handler, const char* kind) {
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

void Bus::registerReply(quint8 command, quint8 subCommand, ReplyHandler handler) {
    addHandler(m_handlers, command, subCommand, std::move(handler), "the");
}

void Bus::registerBusSwitchReply(quint8 command, quint8 subCommand, ReplyHandler handler) {
    addHandler(m_busSwitchHandlers, command, subCommand, std::move(handler), "the bus switch's");
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
    if (m_processing)
        m_processing->hideProcessing();
}

void Bus::resetUdpIfActive() {
    if (m_udp.isActive())
        m_udp.reset();
}

void Bus::cancelSequence() {
    clearSequenceState();
    resetUdpIfActive();
}

void Bus::readTimerTimer() {
    clearSequenceState();
    resetUdpIfActive();
    emit message(kTimeout);
}

void Bus::errorReplyReset() {
    // An error reply also forgets where a binding read-all stood; the transport is kept.
    clearSequenceState();
    m_state.MonitorBindIndex = 0;
}

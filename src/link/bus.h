#pragma once

#include "link/frame_buffer.h"
#include "link/link_settings.h"
#include "link/request_layout.h"
#include "link/run_state.h"
#include "link/tcomm.h"
#include "link/udp_transport.h"

#include <QObject>
#include <QTimer>

#include <functional>
#include <map>

class ProcessingView;

// A reply as the handlers see it: the reply area, plus whether it came from the bus switch.
struct Reply {
    const FrameBuffer& buffer;
    bool busSwitchReply = false;
    quint8 operator[](int n) const { return buffer.reply(n); }
};

// The bus link: the frame buffer, the run state, both transports, the send path, the reply
// intake, the dispatcher and the sequence watchdog. It never shows a window: it reports
// log lines and messages by signals.
class Bus : public QObject {
    Q_OBJECT
public:
    using ReplyHandler = std::function<void(const Reply&)>;

    explicit Bus(const LinkSettings& settings, QObject* parent = nullptr);
    ~Bus() override;

    FrameBuffer& buffer() { return m_buffer; }
    RunState& state() { return m_state; }
    TComm& comm() { return m_comm; }
    UdpTransport& udp() { return m_udp; }
    QTimer& readTimer() { return m_readTimer; }
    const LinkSettings& settings() const { return m_settings; }

    void setProcessingView(ProcessingView* view) { m_processing = view; }
    ProcessingView* processingView() const { return m_processing; }
    bool processingVisible() const;

    // Long when network mode is selected or the extension channel is on.
    RequestLayout layout() const;
    // Writes the request in the current layout (or the given one) and sends it.
    void send(const Request& request);
    void send(const Request& request, const RequestLayout& layout);

    void SendDataDeal();
    void SendBindDataDeal();
    void ReceiveDeal(const QByteArray& datagram);
    void Comm1ReceiveData(const quint8* buffer, quint16 length);
    void receiveDataDeal();

    // Dispatch table: reply bytes 4 and 5 to a handler; the bind-test replies apart. A
    // handler that cannot do its work (a record table that cannot be written) throws; the send
    // path reports that as "Communication Error！", the serial intake by its text.
    //
    // A bus switch handler takes the replies with those bytes that came from the bus switch
    // itself (BusSwitchReply 1: subnet FF FF, address FF); the ordinary handler then gets only
    // the others. Where no bus switch handler is registered, the ordinary one gets them all.
    //
    // Each entry takes one handler: a second registration for the same bytes is a programming
    // error. It stops a debug build at once and throws std::logic_error otherwise, so that the
    // window's creation fails loudly instead of one family silently losing its replies.
    void registerReply(quint8 command, quint8 subCommand, ReplyHandler handler);
    void registerBusSwitchReply(quint8 command, quint8 subCommand, ReplyHandler handler);
    void registerBindReply(ReplyHandler handler);

    // Ends of a sequence: the watchdog ("Timeout！"), Cancel, an error reply.
    void readTimerTimer();
    void cancelSequence();
    void errorReplyReset();

    // Starts / restarts the 5000 ms watchdog.
    void restartReadTimer();

    // The ordinary reply wait of a network exchange (1000 ms); the long and the restore
    // waits are fixed. The command line lets its user choose it.
    void setReplyWait(int milliseconds) { m_replyWaitMs = milliseconds; }
    int replyWait() const { return m_replyWaitMs; }

    // A job of several requests (a subnet scan, an audit, a push) that uses the link one
    // request at a time. While one runs the sequences refuse to start, and the other way
    // round; empty while none runs.
    void setRunningJob(const QString& name) { m_runningJob = name; }
    QString runningJob() const { return m_runningJob; }

signals:
    void logLine(const QString& line);
    // A message box the tool shows: "Communication Error！", "Timeout！", a handler's error.
    // The detail says what failed when the text alone does not (a record file that could not
    // be written while a reply was handled).
    void message(const QString& text, const QString& detail = QString());
    // A validated reply is in the reply area, about to be dispatched (bind-test frames too).
    // Status 1 is success; any other status has already ended a running sequence.
    void replyAccepted(const Reply& reply);

private:
    // Where a reply came from decides how the subnet ID is handled.
    enum class IntakeKind { Network, SerialPlain, SerialExtension };
    void takeReply(const quint8* input, int count, IntakeKind kind);
    void transmit(const QByteArray& frame, int timeoutMs);
    void resetUdpIfActive();
    void clearSequenceState();

    const LinkSettings& m_settings;
    FrameBuffer m_buffer;
    RunState m_state;
    TComm m_comm;
    UdpTransport m_udp;
    QTimer m_readTimer;
    ProcessingView* m_processing = nullptr;
    int m_replyWaitMs = 1000;
    QString m_runningJob;
    std::map<int, ReplyHandler> m_handlers;
    std::map<int, ReplyHandler> m_busSwitchHandlers;
    ReplyHandler m_bindHandler;
};

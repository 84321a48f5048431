#pragma once

#include "link/frame_buffer.h"
#include "link/frame_tap.h"
#include "link/link_settings.h"
#include "link/reply_ownership.h"
#include "link/request_layout.h"
#include "link/run_state.h"
#include "link/step_listener.h"
#include "link/tcomm.h"
#include "link/udp_transport.h"
#include "link/wait_view.h"

#include <QObject>
#include <QTimer>

#include <functional>
#include <map>

class ProcessingView;

// A reply as the handlers see it: the reply area, whether it came from the bus switch, and
// what of the window's it answers.
struct Reply {
    const FrameBuffer& buffer;
    bool busSwitchReply = false;
    Awaiting answers = Awaiting::None;
    quint8 operator[](int n) const { return buffer.reply(n); }
};

// The bus link: the frame buffer, the run state, both transports, the send path, the reply
// intake, the dispatcher and the sequence watchdog. It never shows a window: it reports
// log lines and messages by signals.
class Bus : public QObject {
    Q_OBJECT
public:
    using ReplyHandler = std::function<void(const Reply&)>;
    // The serial driver hands a block on once the line has been quiet this long: a reply
    // that the module sent within a wait reaches the tool that much later.
    static constexpr int kSerialQuietMs = 100;

    explicit Bus(const LinkSettings& settings, QObject* parent = nullptr);
    ~Bus() override;

    FrameBuffer& buffer() { return m_buffer; }
    RunState& state() { return m_state; }
    TComm& comm() { return m_comm; }
    UdpTransport& udp() { return m_udp; }
    QTimer& readTimer() { return m_readTimer; }
    const LinkSettings& settings() const { return m_settings; }
    // Every frame sent and every input taken in, with what became of it (bus monitor, trace,
    // capture). Nothing is built for it while nobody is connected.
    FrameTap& tap() { return m_tap; }

    void setProcessingView(ProcessingView* view) { m_processing = view; }
    ProcessingView* processingView() const { return m_processing; }
    // What runs the sequences: it gets the replies that answer their outstanding step.
    void setStepListener(StepListener* listener) { m_stepListener = listener; }
    StepListener* stepListener() const { return m_stepListener; }
    // The window's part in a network wait (none: the wait shows nothing).
    void setWaitView(WaitView* view) { m_waitView = view; }
    bool processingVisible() const;

    // Long when network mode is selected or the extension channel is on.
    RequestLayout layout() const;
    // A button of the window: writes the request in the current layout (or the given one)
    // and sends it. While a job runs it sends nothing and throws with a message naming it.
    void send(const Request& request);
    void send(const Request& request, const RequestLayout& layout);
    // The same for a Set whose acknowledgement records a row: refused while the running
    // sequence uses its command, otherwise pending until answered (see ReplyOwnership).
    void sendSet(const Request& request);
    // A request addressed to the bus switch itself: its answer may come from any address
    // (after a change of its settings, from its new one).
    void sendToBusSwitch(const Request& request, const RequestLayout& layout);
    // The binding function test's frame, written into the request area by the caller.
    void sendBind();
    // A step of a read-all or delete-all sequence: outstanding until answered.
    void sendStep(const Request& request);
    // A request of the running job (or of the command line), never refused.
    void sendForJob(const Request& request, const RequestLayout& layout);

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
    //
    // The rule says when the window's handler runs (see ReplyOwnership): read-backs always,
    // acknowledgements and steps only for what the window awaits, a module's own reports
    // even while a job runs.
    //
    // A handler stays registered as long as its owner lives and goes with it; one registered
    // without an owner stays as long as the bus.
    void registerReply(QObject* owner, quint8 command, quint8 subCommand, ReplyHandler handler,
                       ReplyRule rule = ReplyRule::Always);
    void registerReply(quint8 command, quint8 subCommand, ReplyHandler handler,
                       ReplyRule rule = ReplyRule::Always) {
        registerReply(this, command, subCommand, std::move(handler), rule);
    }
    void registerBusSwitchReply(QObject* owner, quint8 command, quint8 subCommand,
                                ReplyHandler handler);
    void registerBusSwitchReply(quint8 command, quint8 subCommand, ReplyHandler handler) {
        registerBusSwitchReply(this, command, subCommand, std::move(handler));
    }
    void registerBindReply(QObject* owner, ReplyHandler handler);
    void registerBindReply(ReplyHandler handler) { registerBindReply(this, std::move(handler)); }

    // The link the window uses was closed: nothing sent on it is awaited any more.
    void linkClosed() { m_ownership.endAll(); }

    // Ends of a sequence: the watchdog ("Timeout！"), Cancel, an error reply.
    void readTimerTimer();
    void cancelSequence();
    void errorReplyReset(quint8 status = 0);

    // Starts / restarts the 5000 ms watchdog.
    void restartReadTimer();

    // The ordinary reply wait of a network exchange (1000 ms); the long and the restore
    // waits are fixed. The command line lets its user choose it.
    void setReplyWait(int milliseconds) { m_replyWaitMs = milliseconds; }
    int replyWait() const { return m_replyWaitMs; }

    // A job of several requests (a subnet scan, an audit, a push) that uses the link one
    // request at a time. While one runs the sequences refuse to start, and the other way
    // round; empty while none runs.
    void setRunningJob(const QString& name) { m_ownership.setJob(name); }
    QString runningJob() const { return m_ownership.job(); }
    ReplyOwnership& ownership() { return m_ownership; }

    // The wait the send path gives the next request, by the run state's wait flags.
    int currentReplyWait() const;

signals:
    void logLine(const QString& line);
    // A message box the tool shows: "Communication Error！", "Timeout！", a handler's error.
    // The detail says what failed when the text alone does not (a record file that could not
    // be written while a reply was handled).
    void message(const QString& text, const QString& detail = QString());
    // A validated reply is in the reply area, about to be dispatched (bind-test frames too).
    // Status 1 is success; any other status has already ended a running sequence.
    void replyAccepted(const Reply& reply);
    // What became of the request just sent when the traffic log cannot say it: empty when it
    // went out, else that it could not go out (no open link for the mode) or that nobody
    // answered it within the wait.
    void requestNotice(const QString& text);
    // What became of the last Set whose answer records a row, when it did not come within
    // the wait: that nothing is recorded yet, then that a late answer recorded it. Empty once
    // a later Set is answered in time.
    void setOutcome(const QString& text);

public:
    struct Handler {
        ReplyHandler run;
        ReplyRule rule = ReplyRule::Always;
    };

private:
    // The reply an exchange waits for: its request's module (0xFF: any), command + 0x80 and
    // sub-command, or any binding test frame.
    struct Awaited {
        bool valid = false;
        bool bind = false;
        quint8 module = 0;
        quint8 command = 0;
        quint8 sub = 0;
        bool anySender = false;
        bool set = false; // a Set: its outcome is told by setOutcome
        bool seen = false;
    };

    // Where a reply came from decides how the subnet ID is handled.
    enum class IntakeKind { Network, SerialPlain, SerialExtension };
    // The sender of a datagram, for the tap.
    struct Peer {
        QHostAddress address;
        quint16 port = 0;
    };
    void sendWith(const Request& request, const RequestLayout& layout, Awaiting kind,
                  bool anySender);
    void refuseDuringJob() const;
    void takeReply(const quint8* input, int count, IntakeKind kind, const Peer& from);
    void receiveDatagram(const QByteArray& datagram, const Peer& from);
    void tapInput(const quint8* input, int count, IntakeKind kind, const Peer& from,
                  TappedFrame::Fate fate);
    void tapSent(const QByteArray& frame, bool network, bool sent, quint16 broadcastPort);
    Awaited takeAwaited();
    void transmit(const QByteArray& frame, int timeoutMs, Awaited awaited);
    bool senderAccepted(const QHostAddress& sender, quint16 port) const;
    void takeLateDatagrams();
    void queueSerial(const QByteArray& frame);
    void resetUdpIfActive();
    void clearSequenceState(SequenceStop why, quint8 status = 0);
    void endSetWait(quint64 ticket, quint8 module, int waitMs);

    const LinkSettings& m_settings;
    FrameBuffer m_buffer;
    RunState m_state;
    TComm m_comm;
    UdpTransport m_udp;
    FrameTap m_tap;
    // The sender of the datagram handed to ReceiveDeal next.
    Peer m_intakePeer;
    // Whether the frame being sent carries the password block.
    bool m_sendingPassword = false;
    QTimer m_readTimer;
    ProcessingView* m_processing = nullptr;
    WaitView* m_waitView = nullptr;
    StepListener* m_stepListener = nullptr;
    int m_replyWaitMs = 1000;
    ReplyOwnership m_ownership;
    std::map<int, Handler> m_handlers;
    std::map<int, Handler> m_busSwitchHandlers;
    ReplyHandler m_bindHandler;
    // What the next send awaits, and the innermost exchange waiting on the socket.
    Awaited m_next;
    Awaited* m_waiting = nullptr;
    // Until the next request: late answers to a bus switch request come from any address.
    bool m_anySender = false;
};

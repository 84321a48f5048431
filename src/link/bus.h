#pragma once

#include "link/frame_buffer.h"
#include "link/frame_exchange.h"
#include "link/frame_tap.h"
#include "link/link_settings.h"
#include "link/module_types.h"
#include "link/pending_request.h"
#include "link/reply.h"
#include "link/reply_dispatcher.h"
#include "link/reply_intake.h"
#include "link/reply_ownership.h"
#include "link/request_layout.h"
#include "link/run_state.h"
#include "link/sequence_watchdog.h"
#include "link/step_listener.h"
#include "link/tcomm.h"
#include "link/udp_transport.h"
#include "link/wait_view.h"

#include <QObject>
#include <QPointer>
#include <QTimer>

#include <functional>

class ProcessingView;

// The bus link: the frame buffer, the run state, both transports and the exchange (send a
// request, wait for its answer on the network), with the intake, the dispatcher and the
// sequence watchdog beside it. It never shows a window: it reports log lines and messages by
// signals.
class Bus : public QObject {
    Q_OBJECT
public:
    using ReplyHandler = ReplyDispatcher::ReplyHandler;
    // The serial driver hands a block on once the line has been quiet this long: a reply
    // that the module sent within a wait reaches the tool that much later.
    static constexpr int kSerialQuietMs = 100;
    // Erasing every learned IR code takes a module a few seconds; a restarting bus switch
    // answers later still.
    static constexpr int kLongReplyWaitMs = 4000;
    static constexpr int kRestoreReplyWaitMs = 8000;

    explicit Bus(const LinkSettings& settings, QObject* parent = nullptr);
    ~Bus() override;

    FrameBuffer& buffer() { return m_buffer; }
    RunState& state() { return m_state; }
    TComm& comm() { return m_comm; }
    UdpTransport& udp() { return m_udp; }
    // The sequence watchdog's timer: running while a sequence is in progress.
    QTimer& watchdogTimer() { return m_watchdog.timer(); }
    const LinkSettings& settings() const { return m_settings; }
    // Every frame sent and every input taken in, with what became of it (bus monitor, trace,
    // capture). Nothing is built for it while nobody is connected.
    FrameTap& tap() { return m_tap; }
    // The type of the module at each address, as far as a scan or the open site knows it.
    ModuleTypes& moduleTypes() { return m_moduleTypes; }

    void setProcessingView(ProcessingView* view) { m_watchdog.setProcessingView(view); }
    ProcessingView* processingView() const { return m_watchdog.processingView(); }
    bool processingVisible() const;
    // What runs the sequences: it gets the replies that answer their outstanding step and
    // hears of the ends the link puts to them.
    void setStepListener(StepListener* listener);
    StepListener* stepListener() const { return m_dispatcher.stepListener(); }
    // The window's part in a network wait (none: the wait shows nothing).
    void setWaitView(WaitView* view) { m_exchange.setWaitView(view); }

    // Long when network mode is selected or the extension channel is on.
    RequestLayout layout() const;
    // Writes the request in its layout (the options' or the current one), frames it, logs it
    // and sends it over the link of the mode; over the network it then waits for the answer.
    // Returns the request in flight (settled already over the network); it is deleted after
    // it has finished. What the window sends (a button, a Set, the bus switch's own requests,
    // the binding test) is refused while a job runs, by a throw naming the job; a Set also
    // while the running sequence uses its command (see ReplyOwnership).
    QPointer<PendingRequest> submit(const Request& request, Purpose purpose,
                                    const RequestOptions& options = {});
    void send(const Request& request) { submit(request, Purpose::Button); }
    void send(const Request& request, const RequestLayout& layout) {
        submit(request, Purpose::Button, {.layout = layout});
    }
    void sendSet(const Request& request) { submit(request, Purpose::Set); }
    void sendToBusSwitch(const Request& request, const RequestLayout& layout) {
        submit(request, Purpose::BusSwitch, {.layout = layout});
    }
    void sendStep(const Request& request) { submit(request, Purpose::Step); }
    // The binding function test's frame, written into the request area by the caller.
    void sendBind() { submit(Request(), Purpose::Bind); }

    // Sends what the request area holds as a button would (a bus frame), or as the binding
    // test's frame.
    void sendRequestArea();
    void sendBindFrame() { sendArea(Request(), Purpose::Bind, {}); }
    // What came back: one datagram, one serial block.
    void takeDatagram(const QByteArray& datagram);
    void takeSerialBlock(const quint8* block, quint16 length);

    // Handlers of replies, by reply bytes 4 and 5, the bus switch's own, the binding test's
    // (see ReplyDispatcher). A handler that cannot do its work (a record table that cannot be
    // written) throws; the send path reports that as "Communication Error！", the serial
    // intake by its text. One registered without an owner stays as long as the bus.
    //
    // The rule says when the window's handler runs (see ReplyOwnership): read-backs always,
    // acknowledgements only for what the window awaits, a module's own reports even while a
    // job runs.
    void registerReply(QObject* owner, quint8 command, quint8 subCommand, ReplyHandler handler,
                       ReplyRule rule = ReplyRule::Always) {
        m_dispatcher.registerReply(owner, command, subCommand, std::move(handler), rule);
    }
    void registerReply(quint8 command, quint8 subCommand, ReplyHandler handler,
                       ReplyRule rule = ReplyRule::Always) {
        registerReply(this, command, subCommand, std::move(handler), rule);
    }
    void registerBusSwitchReply(QObject* owner, quint8 command, quint8 subCommand,
                                ReplyHandler handler) {
        m_dispatcher.registerBusSwitchReply(owner, command, subCommand, std::move(handler));
    }
    void registerBusSwitchReply(quint8 command, quint8 subCommand, ReplyHandler handler) {
        registerBusSwitchReply(this, command, subCommand, std::move(handler));
    }
    void registerBindReply(QObject* owner, ReplyHandler handler) {
        m_dispatcher.registerBindReply(owner, std::move(handler));
    }
    void registerBindReply(ReplyHandler handler) { registerBindReply(this, std::move(handler)); }

    ReplyDispatcher& dispatcher() { return m_dispatcher; }

    // The link the window uses was closed: nothing sent on it is awaited any more.
    void linkClosed() {
        m_ownership.endAll();
        m_ownership.endLive(RequestEnd::LinkClosed, true);
    }

    // Ends of a sequence: the watchdog ("Timeout！"), Cancel, a refusal of its step.
    void watchdogExpired();
    void cancelSequence();
    void refusalEndsSequence(quint8 status = 0);

    // Starts / restarts the 5000 ms watchdog.
    void restartWatchdog() { m_watchdog.restart(); }

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

signals:
    // A request is about to go out (its log line not written yet).
    void requestSubmitted(PendingRequest* request);
    void logLine(const QString& line);
    // A message box the tool shows: "Communication Error！", "Timeout！", a handler's error.
    // The detail says what failed when the text alone does not (a record file that could not
    // be written while a reply was handled).
    void message(const QString& text, const QString& detail = QString());
    // A validated reply is in the reply area, about to be dispatched (bind-test frames too).
    // Status 1 is success; a refusal of the outstanding step has already ended the sequence.
    void replyAccepted(const Reply& reply);
    // What became of the request just sent when the traffic log cannot say it: empty when it
    // went out, else that it could not go out (no open link for the mode) or that nobody
    // answered it within the wait.
    void requestNotice(const QString& text);
    // The request just handed over did not go out: no open link for the mode (the notice's
    // text, "Not sent: ...").
    void notSent(const QString& why);
    // The link or the handling of a reply failed (also shown as a message).
    void failed(const QString& text, const QString& detail);
    // A datagram came from a sender that answers nothing (neither the Remote IP nor, after a
    // request to the bus switch itself, anyone).
    void datagramIgnored(const QHostAddress& from, quint16 port);
    // What became of the last Set whose answer records a row, when it did not come within
    // the wait: that nothing is recorded yet, then that a late answer recorded it. Empty once
    // a later Set is answered in time.
    void setOutcome(const QString& text);
    // The module answered the Set the window sent (status 1: its row is recorded), in time
    // or late.
    void setAnswered(const Reply& reply);

private:
    using Peer = ReplyIntake::Peer;

    QPointer<PendingRequest> sendArea(const Request& request, Purpose purpose,
                                      const RequestOptions& options);
    void refuseDuringJob() const;
    void fail(const QString& text, const QString& detail = QString());
    void takeInput(const quint8* input, int count, ReplyIntake::Source source, const Peer& from);
    void resetUdpIfActive();
    void endSetWait(quint64 ticket, quint8 module, int waitMs);

    const LinkSettings& m_settings;
    FrameBuffer m_buffer;
    RunState m_state;
    TComm m_comm;
    UdpTransport m_udp;
    FrameTap m_tap;
    ModuleTypes m_moduleTypes;
    ReplyOwnership m_ownership;
    ReplyIntake m_intake;
    ReplyDispatcher m_dispatcher;
    SequenceWatchdog m_watchdog;
    FrameExchange m_exchange;
    // The sender of the datagram handed to takeDatagram next.
    Peer m_intakePeer;
    int m_replyWaitMs = 1000;
};

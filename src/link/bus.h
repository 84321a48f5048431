#pragma once

#include "link/frame_tap.h"
#include "link/link_settings.h"
#include "link/module_types.h"
#include "link/pending_request.h"
#include "link/reply.h"
#include "link/reply_rule.h"
#include "link/request_layout.h"
#include "link/wait_view.h"

#include <QHostAddress>
#include <QObject>
#include <QPointer>

#include <functional>
#include <memory>

class BusInternals;
struct BusParts;

// The serial line as the link panel or the command line gives it (the driver's orders).
struct SerialLine {
    QString port;
    int baud = 9600;
    int byteSize = 3; // 0: 5 bits .. 3: 8 bits
    int parity = 0;   // None, Odd, Even, Mark, Space
    int stopBits = 0; // 1, 1.5, 2
};

// Where network requests go and the local port replies come to.
struct NetworkLine {
    QString remoteHost;
    quint16 remotePort = 0;
    quint16 localPort = 0;
};

// The bus link: the frame buffer, both transports and the exchange (send a request, wait for
// its answer on the network), with the intake and the dispatcher beside it, all behind this
// one face. It never shows a window: it reports
// log lines and messages by signals.
class Bus : public QObject {
    Q_OBJECT
public:
    using ReplyHandler = std::function<void(const Reply&)>;
    // The serial driver hands a block on once the line has been quiet this long: a reply
    // that the module sent within a wait reaches the tool that much later.
    static constexpr int kSerialQuietMs = 100;
    // Erasing every learned IR code takes a module a few seconds; a restarting bus switch
    // answers later still.
    static constexpr int kLongReplyWaitMs = 4000;
    static constexpr int kRestoreReplyWaitMs = 8000;

    explicit Bus(const LinkSettings& settings, QObject* parent = nullptr);
    ~Bus() override;

    const LinkSettings& settings() const;
    // Every frame sent and every input taken in, with what became of it (bus monitor, trace,
    // capture). Nothing is built for it while nobody is connected.
    FrameTap& tap();
    // The type of the module at each address, as far as a scan or the open site knows it.
    ModuleTypes& moduleTypes();

    // The links. Opening returns why it failed (empty when open); the detail is the driver's.
    QString openSerial(const SerialLine& line, QString* detail = nullptr);
    void closeSerial();
    bool serialOpen() const;
    // The adapter went away: the port stays open until it is closed.
    bool serialGone() const;
    QString serialName() const;
    QString openNetwork(const NetworkLine& line);
    // Looks the remote host up once; false with the reason in networkFailure().
    bool resolveRemote();
    QString networkFailure() const;
    void closeNetwork();
    bool networkOpen() const;
    quint16 boundPort() const;
    // Closes both links (the window closing, the command line ending).
    void closeAll();
    // "UDP to host port 6000, Subnet ID 1" or "serial port COM1, 9600 baud, Subnet ID 1".
    QString linkDescription() const;
    // Over the network, while nothing has come from the bus switch since the link was
    // opened: what to check, the module asked (none: -1) among it (empty otherwise).
    QString silenceHint(int module = -1) const;

    // The window's part in a network wait (none: the wait shows nothing).
    void setWaitView(WaitView* view);

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
    // The binding function test's frame, from its payload (the bytes after the length).
    void sendBind(const QByteArray& payload);

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
    void linkClosed();

    // A read-all or delete-all sequence holds the link from its start (it has used no command
    // yet) to its end; each step is a request of Purpose::Step, answerable until the sequence
    // ends (its owner hears it from the request).
    void sequenceBegins();
    void sequenceEnds();
    bool sequenceRunning() const;
    // A sequence given up (Cancel, its watchdog): it ends, nothing the window sent is awaited
    // any more and the network socket starts afresh.
    void abandonSequence(RequestEnd why);

    // The ordinary reply wait of a network exchange (1000 ms); a request's options may give
    // its own. The command line lets its user choose it.
    void setReplyWait(int milliseconds);
    int replyWait() const;

    // A job of several requests (a subnet scan, an audit, a push) that uses the link one
    // request at a time. While one runs the sequences refuse to start, and the other way
    // round; empty while none runs.
    void setRunningJob(const QString& name);
    QString runningJob() const;
    // Why `starting` (a job, a sequence, a button's request) cannot use the link now: a job
    // or a sequence holds it. Empty when it is free.
    QString busyReason(const QString& starting = QString()) const;

signals:
    // The serial port's driver reports a hang-up (the adapter went away).
    void serialHangUp();
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
    // An error reply answered the Set pending while a sequence ran: the sequence has ended
    // (before its reply is dispatched).
    void sequenceRefused(quint8 status);
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
    friend class BusInternals;
    using Peer = struct ReplyIntakePeer;

    QPointer<PendingRequest> sendArea(const Request& request, Purpose purpose,
                                      const RequestOptions& options);
    void sendRequestArea();
    void refuseDuringJob() const;
    void fail(const QString& text, const QString& detail = QString());
    void takeInput(const quint8* input, int count, int source, const QHostAddress& from,
                   quint16 fromPort);
    void resetUdpIfActive();
    void refusalEndsSequence(quint8 status);
    void endSetWait(quint64 ticket, quint8 module, int waitMs);

    std::unique_ptr<BusParts> m_d;
};

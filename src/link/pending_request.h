#pragma once

#include "link/came_instead.h"
#include "link/reply.h"
#include "link/request_layout.h"

#include <QObject>
#include <QString>

#include <functional>
#include <optional>

class PendingRequest;

// What a request is sent for: it decides which of the window's rules its answer meets.
enum class Purpose : quint8 {
    Button,    // a button of the window: a read-back or a command, refused while a job runs
    Set,       // a Set whose acknowledgement records a row (pending until answered)
    Step,      // the step of a read-all or delete-all sequence
    Job,       // a request of the running job or of the command line: never refused
    BusSwitch, // to the bus switch itself: its answer may come from any address
    Bind,      // the binding test's frame
};

// What one send needs beyond the request: nothing is set on the link for it.
struct RequestOptions {
    std::optional<RequestLayout> layout = std::nullopt; // else the link's current one
    bool skipPassword = false; // the network frame goes without the password block
    bool broadcast = false;    // over the network, to everyone on the remote port
    int replyWaitMs = 0;       // 0: the link's reply wait
    // Called with the request before it goes out: its owner connects to it here, since over
    // the network its answer is handled inside submit().
    std::function<void(PendingRequest&)> beforeSend = nullptr;
};

// Why a request stopped being awaited before it was answered or its wait was over.
enum class RequestEnd : quint8 {
    None,
    Cancelled,  // its owner gave up on it (Cancel, a job cancelled)
    LinkClosed, // the link it went out on was closed
    LinkFailed, // the socket failed during its wait ("Communication Error！")
    Superseded, // the watchdog or a refusal ended the sequence it belonged to
};

// A request in flight and, once it is settled, what became of it. The link settles it (one
// matcher decides which reply answers it, see ReplyOwnership), then emits finished() from the
// event loop and deletes it: keep a QPointer to read it after that.
//
// A sequence step outlives its reply wait (and a send that did not go out): it stays
// answerable until its answer comes or its sequence ends it (the watchdog, Cancel, a
// refusal), so a slow module's answer still makes the step, and no other request takes it.
class PendingRequest : public QObject {
    Q_OBJECT
public:
    enum class State : quint8 { Waiting, Answered, Refused, TimedOut, NotSent, Ended };

    PendingRequest(const Request& request, Purpose purpose, const RequestOptions& options,
                   int waitMs, QObject* parent = nullptr);

    Purpose purpose() const { return m_purpose; }
    quint8 module() const { return m_module; }
    quint8 replyCommand() const { return m_replyCommand; }
    quint8 subCommand() const { return m_subCommand; }
    int waitMs() const { return m_waitMs; }
    // Its reply wait is over (a step still waits for its answer after that).
    bool waitOver() const { return m_waitOver; }
    bool broadcast() const { return m_broadcast; }
    bool skipPassword() const { return m_skipPassword; }

    State state() const { return m_state; }
    bool waiting() const { return m_state == State::Waiting; }
    // Answered or refused: a reply answered it (its status says which).
    bool replied() const { return m_state == State::Answered || m_state == State::Refused; }
    quint8 status() const { return m_reply[6]; }
    const Reply& reply() const { return m_reply; }
    // Unanswered: what came during the wait instead ("module 7 answered 0x84/0x03").
    QString instead() const { return m_came.text(); }
    QString notSentText() const { return m_notSent; }
    RequestEnd end() const { return m_end; }

    // The link settles it, once: later calls change nothing.
    void answer(const Reply& reply);
    void timeOut();
    void refuseSend(const QString& why);
    void endWith(RequestEnd why);
    CameInstead& came() { return m_came; }
    // The reply that answered it has been logged and dispatched.
    void handled(const Reply& reply) { emit replyHandled(reply); }

signals:
    // Settled, at once (from inside the send or the intake): for the link's own bookkeeping.
    void settled();
    // Settled, heard from the event loop; the request is deleted right after.
    void finished();
    // Answered or refused, after the link has logged and dispatched the reply: its owner may
    // send the next request from here (a step's answer makes the next step).
    void replyHandled(const Reply& reply);

private:
    void settle(State state);

    Purpose m_purpose;
    quint8 m_module;
    quint8 m_replyCommand;
    quint8 m_subCommand;
    int m_waitMs;
    bool m_broadcast;
    bool m_skipPassword;
    bool m_waitOver = false;
    State m_state = State::Waiting;
    Reply m_reply;
    CameInstead m_came;
    QString m_notSent;
    RequestEnd m_end = RequestEnd::None;
};

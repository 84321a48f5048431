#pragma once

#include "link/bus.h"

#include <QObject>
#include <QTimer>

#include <functional>
#include <optional>

// What came back for one request: whether the module answered in time, its status (1 is
// success) and the reply area as it was when the reply came.
struct ExchangeAnswer {
    bool answered = false;
    quint8 status = 0;
    Reply answer;
    QString linkFailure; // the link itself failed ("Communication Error！" and its cause)
    QString notSent;     // it never went out: no open link for the mode ("Not sent: ...")
    QString instead;     // unanswered: what came during the wait instead, if anything

    bool ok() const { return answered && status == 1; }
    quint8 operator[](int n) const { return answer[n]; }
    const Reply& reply() const { return answer; }
};

// One request and the module's reply to it (same address, command + 0x80, same
// sub-command; the gateway's error for a missing module; see ReplyOwnership), over the
// bus's own send path. Replies that come meanwhile are dispatched as
// usual; a reply that is not the awaited one is waited past.
//
// Over the network the send path waits for the reply itself, so the answer is known when
// send() returns (it waits past strays and late replies of earlier requests). On the serial line
// the reply comes as its own event and a single-shot timer ends the wait (the wait plus the quiet
// time after which the serial driver hands a block on). Either way `done` runs from the event loop,
// never from inside send(), so a job of many requests never nests one exchange in another.
class BusExchange : public QObject {
    Q_OBJECT
public:
    using Done = std::function<void(const ExchangeAnswer&)>;

    explicit BusExchange(Bus& bus, QObject* parent = nullptr);

    Bus& bus() { return m_bus; }
    // Sends now; `done` runs once, when the answer is in or `waitMs` have passed. The
    // layout is the bus's current one unless given (the bus switch's own).
    void send(const Request& request, int waitMs, Done done,
              std::optional<RequestLayout> layout = std::nullopt);
    // Forgets the request under way: its `done` never runs, a late reply is not taken.
    void cancel();
    bool waiting() const { return m_waiting; }

    // The same, waiting here (handling events) until the answer is in: for the command line.
    ExchangeAnswer exchange(const Request& request, int waitMs,
                            std::optional<RequestLayout> layout = std::nullopt);

private:
    void take(const Reply& reply);
    void finish();

    Bus& m_bus;
    QTimer m_wait;
    bool m_waiting = false;
    quint8 m_address = 0;
    quint8 m_command = 0;
    quint8 m_sub = 0;
    ExchangeAnswer m_answer;
    CameInstead m_came;
    Done m_done;
    quint64 m_serial = 0; // tells a finished exchange from the next one
};

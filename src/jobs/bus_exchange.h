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

// One request of a job and the module's reply to it, a thin wrapper over the link's request
// in flight (which reply answers it is decided by ReplyOwnership): `done` runs once, from the
// event loop, never from inside send(), so a job of many requests never nests one exchange in
// another. Over the network the answer is in when send() returns; on the serial line the
// reply comes as its own event, or the wait (plus the serial driver's quiet time) runs out.
class BusExchange : public QObject {
    Q_OBJECT
public:
    using Done = std::function<void(const ExchangeAnswer&)>;

    explicit BusExchange(Bus& bus, QObject* parent = nullptr);

    Bus& bus() { return m_bus; }
    // Sends now; `done` runs once, when the answer is in or `waitMs` have passed. The
    // options' layout is the bus's current one unless given (the bus switch's own).
    void send(const Request& request, int waitMs, Done done, RequestOptions options = {});
    // Forgets the request under way: its `done` never runs, a late reply is not taken.
    void cancel();
    bool waiting() const { return m_waiting; }

    // The same, waiting here (handling events) until the answer is in: for the command line.
    ExchangeAnswer exchange(const Request& request, int waitMs, RequestOptions options = {});

private:
    void settled(const PendingRequest& request);
    void finish();

    Bus& m_bus;
    QTimer m_wait;
    bool m_waiting = false;
    // Set while this exchange submits: the request the bus reports next is its own.
    bool m_submitting = false;
    QPointer<PendingRequest> m_request;
    ExchangeAnswer m_answer;
    Done m_done;
};

#include "link/pending_request.h"

PendingRequest::PendingRequest(const Request& request, Purpose purpose,
                               const RequestOptions& options, int waitMs, QObject* parent)
    : QObject(parent), m_purpose(purpose), m_module(request.module),
      m_replyCommand(quint8(request.command | 0x80)), m_subCommand(request.subCommand),
      m_waitMs(waitMs), m_broadcast(options.broadcast), m_skipPassword(options.skipPassword) {}

void PendingRequest::answer(const Reply& reply) {
    if (!waiting())
        return;
    m_reply = reply;
    settle(reply[6] == 1 || m_purpose == Purpose::Bind ? State::Answered : State::Refused);
}

// A step waits for its answer or its sequence's end (the watchdog, Cancel) whatever became of
// its send: the sequence, not the request, decides when it is over.
void PendingRequest::timeOut() {
    m_waitOver = true;
    if (waiting() && m_purpose != Purpose::Step)
        settle(State::TimedOut);
}

void PendingRequest::refuseSend(const QString& why) {
    if (!waiting())
        return;
    m_notSent = why;
    m_waitOver = true;
    if (m_purpose != Purpose::Step)
        settle(State::NotSent);
}

void PendingRequest::endWith(RequestEnd why) {
    if (!waiting())
        return;
    m_end = why;
    settle(State::Ended);
}

void PendingRequest::settle(State state) {
    m_state = state;
    emit settled();
    // Its owner hears of it from the event loop, never from inside the send or the intake, so
    // that one request's end never nests in another's.
    QMetaObject::invokeMethod(
        this,
        [this] {
            emit finished();
            deleteLater();
        },
        Qt::QueuedConnection);
}

#include "moc_pending_request.cpp"

#include "jobs/bus_exchange.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>

BusExchange::BusExchange(Bus& bus, QObject* parent) : QObject(parent), m_bus(bus) {
    m_wait.setSingleShot(true);
    m_wait.setTimerType(Qt::PreciseTimer);
    connect(&m_wait, &QTimer::timeout, this, &BusExchange::finish);
    connect(&m_bus, &Bus::replyAccepted, this, &BusExchange::take);
    connect(&m_bus, &Bus::failed, this, [this](const QString& text, const QString& detail) {
        if (!m_waiting)
            return;
        m_answer.linkFailure =
            detail.isEmpty() ? text : text + QStringLiteral(" (") + detail + QLatin1Char(')');
    });
    connect(&m_bus, &Bus::notSent, this, [this](const QString& why) {
        if (m_waiting)
            m_answer.notSent = why;
    });
    connect(&m_bus, &Bus::datagramIgnored, this, [this](const QHostAddress& from, quint16 port) {
        if (m_waiting && !m_answer.answered)
            m_came.datagram(from, port);
    });
}

void BusExchange::take(const Reply& reply) {
    if (!m_waiting || m_answer.answered)
        return;
    ReplyOwnership& ownership = m_bus.ownership();
    if (!ReplyOwnership::answersRequest(reply, m_address, m_command, m_sub) ||
        ownership.isCopy(reply)) {
        m_came.reply(reply);
        return;
    }
    ownership.taken(reply);
    m_answer.answered = true;
    m_answer.status = reply[6];
    m_answer.answer = reply;
    if (m_wait.isActive()) {
        // Serial: the reply came as its own event; hand it on from the event loop.
        m_wait.stop();
        m_wait.start(0);
    }
}

void BusExchange::send(const Request& request, int waitMs, Done done,
                       std::optional<RequestLayout> layout) {
    cancel();
    m_waiting = true;
    m_address = request.module;
    m_command = quint8(request.command | 0x80);
    m_sub = request.subCommand;
    m_answer = ExchangeAnswer();
    m_came.clear();
    m_done = std::move(done);
    const quint64 serial = ++m_serial;

    if (!m_bus.settings().networkMode()) {
        m_bus.sendForJob(request, layout.value_or(m_bus.layout()));
        const bool over = m_answer.answered || !m_answer.notSent.isEmpty();
        if (serial == m_serial && m_waiting && !m_wait.isActive())
            m_wait.start(over ? 0 : waitMs + Bus::kSerialQuietMs);
        return;
    }
    // The send path waits, with the bus's reply wait, for the reply to this request, taking
    // in whatever else comes meanwhile: when it returns the answer is in or the wait is over.
    const int usual = m_bus.replyWait();
    m_bus.setReplyWait(waitMs);
    m_bus.sendForJob(request, layout.value_or(m_bus.layout()));
    m_bus.setReplyWait(usual);
    if (serial == m_serial && m_waiting)
        m_wait.start(0);
}

void BusExchange::cancel() {
    m_wait.stop();
    m_waiting = false;
    m_done = nullptr;
}

void BusExchange::finish() {
    if (!m_waiting)
        return;
    m_waiting = false;
    if (!m_answer.answered)
        m_answer.instead = m_came.text();
    Done done = std::move(m_done);
    m_done = nullptr;
    if (done)
        done(m_answer);
}

ExchangeAnswer BusExchange::exchange(const Request& request, int waitMs,
                                     std::optional<RequestLayout> layout) {
    bool finished = false;
    ExchangeAnswer result;
    send(
        request, waitMs,
        [&](const ExchangeAnswer& a) {
            result = a;
            finished = true;
        },
        layout);
    while (!finished && m_waiting) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        if (!finished)
            QThread::msleep(1);
    }
    return result;
}

#include "moc_bus_exchange.cpp"

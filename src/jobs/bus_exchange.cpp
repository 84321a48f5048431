#include "jobs/bus_exchange.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>

BusExchange::BusExchange(Bus& bus, QObject* parent) : QObject(parent), m_bus(bus) {
    m_wait.setSingleShot(true);
    m_wait.setTimerType(Qt::PreciseTimer);
    connect(&m_wait, &QTimer::timeout, this, &BusExchange::finish);
    connect(&m_bus, &Bus::replyAccepted, this, &BusExchange::take);
    connect(&m_bus, &Bus::message, this, [this](const QString& text, const QString& detail) {
        if (!m_waiting || text == QStringLiteral("Finished！"))
            return;
        m_answer.linkFailure =
            detail.isEmpty() ? text : text + QStringLiteral(" (") + detail + QLatin1Char(')');
    });
}

void BusExchange::take(const Reply& reply) {
    if (!m_waiting || m_answer.answered)
        return;
    const bool bind = reply[0] == 0xAE && reply[1] == 0xD0;
    if (bind || reply[4] != m_command || reply[5] != m_sub)
        return;
    if (m_address != 0xFF && reply[3] != m_address)
        return;
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
    m_done = std::move(done);
    const quint64 serial = ++m_serial;

    if (!m_bus.settings().networkMode()) {
        m_bus.sendForJob(request, layout.value_or(m_bus.layout()));
        if (serial == m_serial && m_waiting && !m_wait.isActive())
            m_wait.start(m_answer.answered ? 0 : waitMs + Bus::kSerialQuietMs);
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

#include "jobs/bus_exchange.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>

#include <utility>

BusExchange::BusExchange(Bus& bus, QObject* parent) : QObject(parent), m_bus(bus) {
    m_wait.setSingleShot(true);
    m_wait.setTimerType(Qt::PreciseTimer);
    connect(&m_wait, &QTimer::timeout, this, &BusExchange::finish);
    connect(&m_bus, &Bus::failed, this, [this](const QString& text, const QString& detail) {
        if (!m_waiting)
            return;
        m_answer.linkFailure =
            detail.isEmpty() ? text : text + QStringLiteral(" (") + detail + QLatin1Char(')');
    });
    connect(&m_bus, &Bus::requestSubmitted, this, [this](PendingRequest* request) {
        if (!std::exchange(m_submitting, false))
            return;
        m_request = request;
        connect(request, &PendingRequest::settled, this, [this, request] { settled(*request); });
    });
}

void BusExchange::settled(const PendingRequest& request) {
    if (!m_waiting || &request != m_request.data())
        return;
    m_answer.answered = request.replied();
    m_answer.status = request.status();
    m_answer.answer = request.reply();
    m_answer.notSent = request.notSentText();
    if (!m_answer.answered)
        m_answer.instead = request.instead();
    // Handed on from the event loop.
    m_wait.start(0);
}

void BusExchange::send(const Request& request, int waitMs, Done done, RequestOptions options) {
    cancel();
    m_waiting = true;
    m_answer = ExchangeAnswer();
    m_done = std::move(done);
    options.replyWaitMs = waitMs;
    m_submitting = true;
    m_bus.submit(request, Purpose::Job, options);
    m_submitting = false;
}

void BusExchange::cancel() {
    m_wait.stop();
    m_waiting = false;
    m_done = nullptr;
    if (m_request)
        m_request->endWith(RequestEnd::Cancelled);
    m_request = nullptr;
}

void BusExchange::finish() {
    if (!m_waiting)
        return;
    m_waiting = false;
    m_request = nullptr;
    Done done = std::move(m_done);
    m_done = nullptr;
    if (done)
        done(m_answer);
}

ExchangeAnswer BusExchange::exchange(const Request& request, int waitMs, RequestOptions options) {
    bool finished = false;
    ExchangeAnswer result;
    send(
        request, waitMs,
        [&](const ExchangeAnswer& a) {
            result = a;
            finished = true;
        },
        options);
    while (!finished && m_waiting) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        if (!finished)
            QThread::msleep(1);
    }
    return result;
}

#include "moc_bus_exchange.cpp"

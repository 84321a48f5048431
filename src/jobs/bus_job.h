#pragma once

#include "jobs/bus_exchange.h"

#include <QObject>
#include <QTimer>

#include <deque>
#include <functional>
#include <optional>

// One request of a job, what it is called in a report, how long its answer may take, the
// quiet time before the next request, and what the answer means. `take` returns false to
// stop the job (a module that refuses or does not answer a write).
struct JobStep {
    Request request;
    RequestOptions options; // the bus switch's own layout, a broadcast; the wait is waitMs
    QString what;           // "binding 3", "scene 7"
    int waitMs = 1000;
    int pauseMs = 0;
    std::function<bool(const ExchangeAnswer&)> take;
};

// A run of requests, one at a time, driven by the answers: the next request goes out after
// the previous one is answered (or its wait has passed) and the step's pause, from a timer,
// so the window stays usable between requests. Cancel ends it before the next request.
//
// A job and the read-all / delete-all sequences share the link: a job does not start while
// a sequence runs, and while a job runs the bus names it so that sequences refuse to start.
class BusJob : public QObject {
    Q_OBJECT
public:
    enum class End { Completed, Cancelled, Stopped };

    BusJob(Bus& bus, const QString& name, QObject* parent = nullptr);
    ~BusJob() override;

    Bus& bus() { return m_exchange.bus(); }
    QString name() const { return m_name; }

    void add(JobStep step);
    // Runs next, before the steps already waiting (a version read after a type answer).
    void addNext(JobStep step);

    // False, with the reason in failure(), when the link is busy with a sequence or another
    // job; otherwise the first request goes out from the event loop.
    bool start();
    void cancel();
    // Stops after the step being handled (from a step's `take`), with this reason.
    void stop(const QString& reason);

    bool running() const { return m_running; }
    int done() const { return m_done; }
    int total() const { return m_done + int(m_steps.size()) + (m_current ? 1 : 0); }
    QString failure() const { return m_failure; }
    // Why the job stopped without sending its request (no open link for the mode), empty
    // otherwise: the job's end names it rather than what did not answer.
    QString notSent() const { return m_notSent; }
    End end() const { return m_end; }

    // Runs the job to its end here, handling events: for the command line.
    bool runHere();

signals:
    void progress(int done, int total);
    void finished(BusJob::End end);

private:
    void next();
    void answered(const ExchangeAnswer& answer);
    void finish(End end);

    BusExchange m_exchange;
    QString m_name;
    std::deque<JobStep> m_steps;
    std::optional<JobStep> m_current;
    QTimer m_pause;
    bool m_running = false;
    bool m_stopRequested = false;
    int m_done = 0;
    QString m_failure;
    QString m_notSent;
    End m_end = End::Completed;
};

#pragma once

#include "jobs/bus_exchange.h"
#include "jobs/walk_run.h"

#include <QObject>

#include <functional>

// Drives a walk test over the link: for each untested output its request (the tab's own),
// then, once the module has acknowledged it, the technician's answer, then the requests that
// put it back. An output whose module does not acknowledge is "no answer" and is not asked
// about; one it refuses is "refused". Stop puts back what is on (a light off, a curtain
// stopped) and ends the run where it is, to be continued later.
//
// The run holds the link as a job does: no sequence or other job starts meanwhile. Its file
// is written after every change, and a file that cannot be written stops the run.
class WalkSession : public QObject {
    Q_OBJECT
public:
    struct Options {
        QString recordFile;  // the records the outputs come from
        QString siteDir;     // where the results go (empty: beside the record file)
        QString technician;  // the site's
        QString program;     // "window" or "velm-cli"
        bool automatic = false; // records only what answered, asks nothing
        int waitMs = 1000;
        // Each verdict as it is given (a line of the site's history).
        std::function<void(const WalkResult&)> recorded = {};
    };

    WalkSession(Bus& bus, const Options& options, QObject* parent = nullptr);
    ~WalkSession() override;

    // A new run over these modules: the type of each module the site does not name is read
    // first; the outputs come from the types and the records. False, with failure(), when the
    // link is busy or the record file or the results file cannot be used.
    bool start(const QList<WalkModule>& modules);
    // Continues a run at its first untested output. False, with failure(), as start().
    bool resume(const WalkRun& run);

    // The technician's verdict on the output being asked about, with a note.
    void answer(WalkResult::Verdict verdict, const QString& note = {});
    // Ends the run now, putting back what is on.
    void stop();

    bool running() const { return m_state != State::Idle; }
    bool asking() const { return m_state == State::Asking; }
    int current() const { return m_index; }
    const WalkRun& run() const { return m_run; }
    QString failure() const { return m_failure; }

signals:
    // A module's type is being read before the outputs are known.
    void reading(int module);
    // The output at `index` is on: the technician is asked.
    void asked(int index);
    // The output at `index` has its verdict.
    void resultRecorded(int index);
    void finished(bool stopped);

private:
    enum class State { Idle, Typing, Acting, Asking, PuttingBack, Stopping };
    using Sent = std::function<void(const ExchangeAnswer& last, bool allTaken)>;

    bool takeLink();
    void readTypes(QList<WalkModule> modules, int next);
    void plan(const QList<WalkModule>& modules);
    void next();
    void acted(const ExchangeAnswer& answer);
    // False when the results file could not be written (the run has ended).
    bool record(WalkResult::Verdict verdict, const QString& note);
    void putBack(const QList<Request>& requests, bool stopping);
    void sendAll(QList<Request> requests, Sent done);
    bool save();
    void finish(bool stopped);

    BusExchange m_exchange;
    Options m_options;
    WalkRun m_run;
    State m_state = State::Idle;
    int m_index = -1;
    bool m_stopRequested = false;
    QString m_failure;
};

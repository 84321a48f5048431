#pragma once

#include "jobs/module_audit.h"
#include "jobs/module_push.h"
#include "jobs/module_records.h"

#include <QObject>
#include <QStringList>

#include <functional>
#include <memory>

// Puts a spare in the place of a failed module: finds the spare alone on the bus (address
// Read to every module), checks its type against the failed module's before anything is
// written, gives it the failed module's address and reads it back, sets a timer module's
// clock from the computer and reads it back, pushes the records and audits them. What cannot
// be pushed (learned IR codes) and what the audit found different make the closing list.
//
// The steps run one after the other from start(); the first that fails stops the rest, and
// cancel() stops at once. Each step ends with `stepEnded`, one line of the site's history.
class ModuleReplace : public QObject {
    Q_OBJECT
public:
    enum class Step { Read, Type, Address, Clock, Push, Audit, Done };

    struct Options {
        int failed = 1;    // the address the spare takes
        QString expected;  // a family name or a type code; empty: the check is skipped
        int from = -1;     // where the spare should answer; -1: wherever it does
        int waitMs = 1000; // each reply's wait
        int sceneChannels = 8;
        int extraAnswerMs = 300; // how long further answers to the address Read are awaited
        // Asked when the spare's type is not the failed module's; true goes on all the same.
        std::function<bool(const QString& question)> override;
    };

    ModuleReplace(Bus& bus, const ModuleRecords& records, const Options& options,
                  QObject* parent = nullptr);
    ~ModuleReplace() override;

    // False, with the reason in failure(), when the link is busy.
    bool start();
    void cancel();
    // Runs every step here, handling events: for the command line.
    void runHere();

    bool running() const { return m_running; }
    bool completed() const { return m_step == Step::Done && m_failure.isEmpty(); }
    // Completed, and what the audit read back agrees (nothing to read back is no failure).
    bool succeeded() const;
    bool cancelled() const { return m_cancelled; }
    Step step() const { return m_step; }
    QString failure() const { return m_failure; }
    int spareAddress() const { return m_spare; }
    QString spareType() const { return m_type; }
    QString spareVersion() const { return m_version; }
    // What the spare holds from this replacement so far: "address 1", "clock", records.
    QStringList written() const;
    const PushReport* push() const { return m_push ? &m_push->report() : nullptr; }
    const AuditReport* audit() const { return m_audit ? &m_audit->report() : nullptr; }
    // What the technician must do by hand, then what the audit found different.
    QStringList closingList() const;
    // One line for the end: done and what the records step did, or where it stopped and
    // what was already written.
    QString summary() const;

    static QString stepName(Step step);

signals:
    // One step done (`ok`) or not; `detail` says what was found or written.
    void stepEnded(ModuleReplace::Step step, bool ok, const QString& detail);
    void finished();

private:
    void runStep();
    void readAddress();
    void readType();
    void setAddress();
    void setClock();
    void pushRecords();
    void auditRecords();
    // The step ends well: its line, then the next step from the event loop.
    void advance(const QString& detail);
    void fail(const QString& why);
    void finish();
    BusJob& newJob();
    bool runJob();
    QString unanswered(const ExchangeAnswer& a, const QString& what) const;
    QString recordsOutcome() const;

    Bus& m_bus;
    ModuleRecords m_records;
    Options m_options;
    Step m_step = Step::Read;
    bool m_running = false;
    bool m_cancelled = false;
    bool m_addressWritten = false;
    bool m_clockWritten = false;
    bool m_recordsReached = false; // the push step began: the learned codes are to redo
    bool m_noRecords = false;      // the records hold nothing to push or read back
    int m_spare = -1;
    QList<int> m_answered;   // addresses that answered the address Read
    int m_unreadAnswers = 0; // further answers whose address could not be read
    QString m_type;
    QString m_version;
    QString m_failure;
    QString m_typeNote; // the type check skipped or overridden
    std::unique_ptr<BusJob> m_job;
    std::unique_ptr<ModulePush> m_push;
    std::unique_ptr<ModuleAudit> m_audit;
};

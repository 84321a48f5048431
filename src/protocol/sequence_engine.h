#pragma once

#include "protocol/sequence_table.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <array>

#include <exception>
#include <functional>
#include <optional>

class Bus;
class PendingRequest;
class RecordTable;
class SequenceOwner;
struct Reply;

// How a sequence ended.
enum class SequenceEnd : quint8 { Finished, Cancelled, TimedOut, Refused };

struct SequenceResult {
    SequenceKind kind = SequenceKind::ReadTimers;
    SequenceEnd end = SequenceEnd::Finished;
    quint8 status = 0; // Refused: the status of the error reply
    int step = 0;      // the number of the record it stood at (shown numbering)
    int rows = 0;      // records written
    int module = 0;    // the module asked
    int first = 0;     // the numbers of its first and last record (shown numbering)
    int last = 0;

    // "Read of timers cancelled after 19 of 32: timers 20–32 not read." for a sequence that
    // did not finish; empty for one that did.
    QString endLine() const;
};

// Runs the read-all and delete-all sequences of the sequence table, for the window and for
// velm-cli alike. A sequence is in progress from its start until its last step, its 5000 ms
// watchdog, Cancel or an error reply to its outstanding step ends it, or its owner no longer
// keeps going. Each answered step writes its record row, restarts the watchdog and, after the
// pause, sends the next request; in network mode that happens inside the reply's handling, so
// a whole run is one chain of nested exchanges. The end is reported as a value.
//
// Each step is a request of its own (Purpose::Step) that the engine follows to its answer.
class SequenceEngine : public QObject {
    Q_OBJECT
public:
    using TargetSource = std::function<SequenceTarget()>;

    explicit SequenceEngine(Bus& bus, QObject* parent = nullptr);
    ~SequenceEngine() override;

    // Starts a sequence over `table`, asking `target` afresh at every step, after a restore
    // point of the record file. Throws with a message, having sent nothing, while a job runs
    // or another sequence is in progress, when the table cannot be used, and when the
    // restore point cannot be made. Every sequence starts here.
    void start(SequenceKind kind, RecordTable& table, TargetSource target);

    // Who watches the sequences and says whether they keep going (none: a sequence stops
    // after its first answered step).
    void setOwner(SequenceOwner* owner) { m_owner = owner; }
    bool keepGoing() const;

    bool running() const;
    bool running(SequenceKind kind) const;
    // The step a sequence of this kind stands at (the record's index, a slot's number).
    int position(SequenceKind kind) const;
    // Ends the running sequence: Cancel, or the watchdog's 5000 ms without an answered step
    // ("Timeout！"). Nothing the window sent is awaited any more.
    void cancel();
    void watchdogExpired();

    // What went wrong while the running sequence wrote a row; it then waits for the
    // watchdog (the window) or its caller's patience (velm-cli).
    const QString& failure() const { return m_failure; }

    // The quiet time between two requests instead of each sequence's own (a test's short
    // runs); negative: each sequence's own.
    void setPauseMs(int milliseconds) { m_pauseMs = milliseconds; }

    // Runs `work`, which may move `table`, and puts the table back on the row the running
    // sequence stands on.
    void keepPlace(RecordTable& table, const std::function<void()>& work);
    // The acknowledgement `command`/`subCommand` of a Set, for as long as `owner` lives: when it
    // answers the Set the window sent, `store` writes the Set's row into `table` (keepPlace).
    // A row that cannot be stored is thrown on as "Module 6: timer 3 was not stored: <why>",
    // named by `setRow` as the controls say when the answer came.
    struct SetRow {
        int module = 0;
        QString name; // "timer 3"
    };
    void storeOnSetAck(QObject* owner, quint8 command, quint8 subCommand, RecordTable& table,
                       std::function<SetRow()> setRow, std::function<void()> store);

    // "Module 6: timer 3 was not stored: disk full: ..."
    static QString notStoredLine(int module, const QString& row, const std::exception& cause);

signals:
    // One step's record: its row is written, these are the cells velm-cli prints.
    void rowTaken(const QList<QJsonValue>& cells);
    void ended(const SequenceResult& result);
    // "Timeout！", for the window's message box.
    void message(const QString& text);

private:
    struct Run {
        const SequenceSpec* steps = nullptr;
        RecordTable* table = nullptr;
        TargetSource target;
        int rows = 0;
        quint64 number = 0;
        QElapsedTimer replyArrived; // of the last answered step: the pause counts from it
    };

    // Hears the step's request: its answer, its refusal.
    void follow(PendingRequest& step, quint64 run);
    void stepAnswered(const Reply& reply);
    void stop(SequenceEnd end, quint8 status);

    qint32& index();
    void sendStep();
    void nextStep();
    void finish();
    void showProgress();
    SequenceResult result(SequenceEnd end, quint8 status);

    Bus& m_bus;
    SequenceOwner* m_owner = nullptr;
    QTimer m_watchdog;
    std::array<qint32, size_t(StepPosition::Count)> m_positions{};
    std::optional<Run> m_run;
    quint64 m_runs = 0;
    QString m_failure;
    int m_pauseMs = -1;
};

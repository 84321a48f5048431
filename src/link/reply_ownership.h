#pragma once

#include <QElapsedTimer>
#include <QString>
#include <QtGlobal>

#include <map>
#include <set>

// What a reply answers, as far as the window is concerned.
enum class Awaiting : quint8 {
    None, // nothing of the window's: a read-back, a stray, another tool's traffic
    Set,  // the Set button pressed last for this command, still unanswered
    Step, // the request of the step a read-all or delete-all sequence is waiting on
};

// How a family's reply handler takes part in the rule below.
enum class ReplyRule : quint8 {
    Always,      // read-backs into fields: any reply with its bytes, outside jobs
    Answer,      // acknowledgements and sequence steps: only a reply the window awaits
    Unsolicited, // what a module sends by itself (a learned IR code): even during a job
};

// Who owns a reply. Replies carry no request identifier, so a "command" here is the pair of
// reply bytes 4 and 5 (command + 0x80, sub-command). Written once, read here:
//
// - While a job (scan, audit, push) runs, its replies belong to it: the window's handlers run
//   for none of them, apart from what a module sends by itself. The traffic log still shows
//   every reply, and the window's buttons that send are refused while the job runs.
// - An acknowledgement handler records a row only for the Set pending for its pair. That Set
//   ends with its answer (any reply with the pair: status 1 records, any other status records
//   nothing), with its wait (network: the exchange's wait; serial: the same wait plus the quiet
//   after which the driver hands on a block), with Cancel or with the watchdog.
// - A sequence step's reply counts only while that step's request is outstanding, so a
//   duplicate or late reply runs no second step. A Set whose pair the running sequence also
//   uses is refused: its acknowledgement could not be told from a step's.
class ReplyOwnership {
public:
    ReplyOwnership();

    static int key(quint8 replyCommand, quint8 subCommand) {
        return (int(replyCommand) << 8) | subCommand;
    }

    // The job that owns the link, empty while none runs.
    void setJob(const QString& name) { m_job = name; }
    const QString& job() const { return m_job; }

    // A Set goes out to `module` (0xFF: every module, whichever answers); its answer may take
    // `waitMs`. Returns its ticket.
    quint64 expectSet(int key, quint8 module, int waitMs);
    // A sequence step goes out: outstanding until answered or the sequence ends.
    void expectStep(int key, quint8 module);
    // The network exchange of this ticket stopped waiting: a later reply answers nothing.
    void endWait(quint64 ticket);
    // A new sequence starts: it has used no pair yet.
    void sequenceStarted();
    // The sequence ended (error reply): its steps are answered by nothing any more.
    void endSteps();
    // Cancel, the watchdog: nothing the window sent is awaited any more.
    void endAll();

    bool sequenceUses(int key) const { return m_sequencePairs.count(key) != 0; }

    // A reply with this pair came (any status) from `module`: what it answers. The
    // expectation ends here, unless the reply came from another module than the request
    // went to; a Step counts only while `sequenceRunning`.
    Awaiting answer(int key, quint8 module, bool sequenceRunning);

    // Whether a handler with this rule runs for a reply that answers `answers`.
    bool handlerRuns(ReplyRule rule, Awaiting answers) const;

private:
    struct Expectation {
        Awaiting kind = Awaiting::None;
        quint64 ticket = 0;
        quint8 module = 0xFF;
        qint64 deadline = -1; // on m_clock; -1 for none
    };

    QString m_job;
    std::map<int, Expectation> m_pending;
    std::set<int> m_sequencePairs;
    QElapsedTimer m_clock;
    quint64 m_lastTicket = 0;
};

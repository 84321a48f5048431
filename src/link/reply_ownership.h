#pragma once

#include "link/reply_rule.h"

#include <QHostAddress>
#include <QPointer>
#include <QString>
#include <QtGlobal>

#include <deque>
#include <map>
#include <set>
#include <vector>

struct Reply;
class PendingRequest;
enum class RequestEnd : quint8;

// Who owns a reply. Replies carry no request identifier, so a "command" here is the pair of
// reply bytes 4 and 5 (command + 0x80, sub-command). Written once, read here:
//
// - While a job (scan, audit, push) runs, its replies belong to it: the window's handlers run
//   for none of them, apart from what a module sends by itself. The traffic log still shows
//   every reply, and the window's buttons that send are refused while the job runs.
// - An acknowledgement handler records a row only for the Set pending for its pair. That Set
//   stays pending after its wait: it ends with its answer (the first reply with the pair from
//   the module asked: status 1 records, any other status records nothing), with the next
//   request of the same pair to any module, with the start of a job, with Cancel, the
//   watchdog or Close. An answer after the wait records as one in time does.
// - A sequence step is a live request from its send until its answer or its sequence's end
//   (past its reply wait), answered only by the module asked (0xFF: the bus switch itself), so
//   a duplicate or late reply runs no second step. A Set whose pair the running sequence also
//   uses is refused: its acknowledgement could not be told from a step's.
// - Only an error reply that answers the outstanding step or a pending Set ends a sequence;
//   any other is logged and changes nothing.
// - Which reply answers a request in flight (a PendingRequest, whoever sent it: the window, a
//   sequence, a job, the command line) is decided here, once: the newest live request the
//   reply answers takes it (answersRequest), a copy of an answer already taken (isCopy)
//   answers none, and the network wait only asks whether its request is settled.
class ReplyOwnership {
public:
    static int key(quint8 replyCommand, quint8 subCommand) {
        return (int(replyCommand) << 8) | subCommand;
    }
    // Whether a reply from `replyModule` with `status` answers a request to `asked`: the
    // module asked, the gateway (0xFF) refusing it for a module that is not there, and, for a
    // request to 0xFF that is not `strict` (an address Set, a test scene), any module.
    static bool fromModuleAsked(quint8 asked, quint8 replyModule, quint8 status, bool strict);
    // The same for the whole reply and a request to `module` with this reply pair.
    static bool answersRequest(const Reply& reply, quint8 module, quint8 replyCommand,
                               quint8 subCommand, bool strict = false);

    // The requests in flight, newest last.
    void addLive(PendingRequest* request);
    // A reply came: the newest live request it answers is answered (or refused) by it and
    // returned; else the newest live request notes that it came instead.
    PendingRequest* settle(const Reply& reply);
    // A datagram from a sender that answers nothing came during the newest request's wait.
    void noteForeign(const QHostAddress& from, quint16 port);
    // Ends the live requests: the window's, and the jobs' too when `jobsToo`.
    void endLive(RequestEnd why, bool jobsToo);
    bool answers(const PendingRequest& request, const Reply& reply) const;

    // A reply was taken as an answer. A later reply with the same bytes from another sender
    // (another socket of the gateway's host) is a copy of it: it answers nothing.
    void taken(const Reply& reply);
    bool isCopy(const Reply& reply) const;

    // The job that owns the link, empty while none runs. A job that starts ends the pending
    // Sets: its requests may use their pairs.
    void setJob(const QString& name);
    const QString& job() const { return m_job; }

    // A Set goes out to `module` (0xFF: every module, whichever answers): pending until its
    // answer, the next request of its pair, a job, Cancel or Close. Returns its ticket.
    quint64 expectSet(int key, quint8 module);
    // A sequence step of this pair goes out (its request is live until answered or ended).
    void stepSent(int key) { m_sequencePairs.insert(key); }
    // Any other request of the pair goes out: what was awaited for it is not any more.
    void endPair(int key) { m_pendingSets.erase(key); }
    // The wait of this Set's ticket is over. True when the Set is still unanswered: a later
    // answer is a late one.
    bool endWait(quint64 ticket);
    // A new sequence starts: it has used no pair yet.
    void sequenceStarted();
    // The sequence ended: its step still awaited is answered by nothing any more.
    void endSteps();
    // Cancel, the watchdog, Close: nothing the window sent is awaited any more.
    void endAll();

    bool sequenceUses(int key) const { return m_sequencePairs.count(key) != 0; }

    // Whether a reply with this pair from `module` would answer the pending Set, without
    // using it up.
    bool wouldAnswer(int key, quint8 module, quint8 status = 1) const;
    bool wouldAnswer(const Reply& reply) const;
    // A reply with this pair came (any status) from `module`: what it answers. The
    // expectation ends here; `late` says whether a Set's wait had already ended.
    Awaiting answer(int key, quint8 module, bool* late = nullptr, quint8 status = 1);
    Awaiting answer(const Reply& reply, bool* late = nullptr);

    // Whether a handler with this rule runs for a reply that answers `answers`.
    bool handlerRuns(ReplyRule rule, Awaiting answers) const;

private:
    struct PendingSet {
        quint64 ticket = 0;
        quint8 module = 0xFF;
        bool waitOver = false;
    };
    const PendingSet* match(int key, quint8 module, quint8 status) const;

    struct Taken {
        QByteArray bytes;
        QString sender;
    };
    QString m_job;
    std::vector<QPointer<PendingRequest>> m_live;
    // The answers taken last, by reply pair and module.
    std::map<int, std::deque<Taken>> m_taken;
    // The Set pending for each reply pair.
    std::map<int, PendingSet> m_pendingSets;
    std::set<int> m_sequencePairs;
    quint64 m_lastTicket = 0;
};

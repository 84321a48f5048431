#include "link/reply_ownership.h"

#include "link/pending_request.h"
#include "link/reply.h"

#include <algorithm>

namespace {

// How many answers of one pair and module are remembered to tell their copies.
constexpr size_t kTakenKept = 8;

int takenKey(const Reply& r) {
    return (ReplyOwnership::key(r[4], r[5]) << 8) | r[3];
}

// The reply's bytes up to its checksum (which the intake does not copy: the reply area may
// hold an earlier reply's bytes there).
QByteArray frameOf(const Reply& r) {
    return QByteArray(reinterpret_cast<const char*>(r.data()), std::max(0, r[2] - 2));
}

// Where it came from; an IPv4 sender the same whether a dual-stack socket (after a reset)
// or an IPv4 one took it.
QString senderOf(const Reply& r) {
    bool v4 = false;
    const quint32 ip = r.sender.toIPv4Address(&v4);
    const QString address = v4 ? QHostAddress(ip).toString() : r.sender.toString();
    return QStringLiteral("%1:%2").arg(address).arg(r.senderPort);
}

} // namespace

bool ReplyOwnership::fromModuleAsked(quint8 asked, quint8 replyModule, quint8 status, bool strict) {
    if (replyModule == asked)
        return true;
    if (replyModule == 0xFF && status != 1)
        return true; // the gateway: no module at that address
    return asked == 0xFF && !strict;
}

bool ReplyOwnership::answersRequest(const Reply& r, quint8 module, quint8 replyCommand,
                                    quint8 subCommand, bool strict) {
    const bool bind = r[0] == 0xAE && r[1] == 0xD0;
    return !bind && r[4] == replyCommand && r[5] == subCommand &&
           fromModuleAsked(module, r[3], r[6], strict);
}

bool ReplyOwnership::answers(const PendingRequest& p, const Reply& r) const {
    const bool bind = r[0] == 0xAE && r[1] == 0xD0;
    if (p.purpose() == Purpose::Bind)
        return bind;
    // A step to the bus switch takes only the bus switch's own answer.
    const bool strict = p.purpose() == Purpose::Step;
    return answersRequest(r, p.module(), p.replyCommand(), p.subCommand(), strict) && !isCopy(r);
}

void ReplyOwnership::addLive(PendingRequest* request) {
    std::erase_if(m_live, [](const QPointer<PendingRequest>& p) { return !p || !p->waiting(); });
    m_live.emplace_back(request);
}

PendingRequest* ReplyOwnership::settle(const Reply& r) {
    PendingRequest* newest = nullptr;
    for (auto it = m_live.rbegin(); it != m_live.rend(); ++it) {
        PendingRequest* p = *it;
        if (!p || !p->waiting())
            continue;
        if (!newest)
            newest = p;
        if (!answers(*p, r))
            continue;
        if (p->purpose() != Purpose::Bind)
            taken(r);
        p->answer(r);
        return p;
    }
    if (newest)
        newest->came().reply(r);
    return nullptr;
}

void ReplyOwnership::noteForeign(const QHostAddress& from, quint16 port) {
    for (auto it = m_live.rbegin(); it != m_live.rend(); ++it) {
        if (*it && (*it)->waiting()) {
            (*it)->came().datagram(from, port);
            return;
        }
    }
}

void ReplyOwnership::endLive(RequestEnd why, bool jobsToo) {
    // Copied: an end is heard from the event loop, but nothing here may rely on it.
    const std::vector<QPointer<PendingRequest>> live = m_live;
    for (const QPointer<PendingRequest>& p : live)
        if (p && (jobsToo || p->purpose() != Purpose::Job))
            p->endWith(why);
}

void ReplyOwnership::taken(const Reply& r) {
    std::deque<Taken>& kept = m_taken[takenKey(r)];
    Taken t{frameOf(r), senderOf(r)};
    for (const Taken& k : kept)
        if (k.bytes == t.bytes && k.sender == t.sender)
            return;
    kept.push_back(std::move(t));
    if (kept.size() > kTakenKept)
        kept.pop_front();
}

bool ReplyOwnership::isCopy(const Reply& r) const {
    const auto it = m_taken.find(takenKey(r));
    if (it == m_taken.end())
        return false;
    const QByteArray bytes = frameOf(r);
    const QString sender = senderOf(r);
    bool sameBytes = false;
    for (const Taken& k : it->second) {
        if (k.bytes != bytes)
            continue;
        if (k.sender == sender)
            return false; // the same answer again from where it came: a new answer
        sameBytes = true;
    }
    return sameBytes;
}

void ReplyOwnership::setJob(const QString& name) {
    if (!name.isEmpty())
        m_pendingSets.clear();
    m_job = name;
}

quint64 ReplyOwnership::expectSet(int key, quint8 module) {
    const quint64 ticket = ++m_lastTicket;
    m_pendingSets[key] = PendingSet{ticket, module, false};
    return ticket;
}

bool ReplyOwnership::endWait(quint64 ticket) {
    for (auto& [key, e] : m_pendingSets) {
        if (e.ticket == ticket) {
            e.waitOver = true;
            return true;
        }
    }
    return false;
}

void ReplyOwnership::sequenceStarted() {
    endSteps();
    m_sequencePairs.clear();
}

void ReplyOwnership::endSteps() {
    const std::vector<QPointer<PendingRequest>> live = m_live;
    for (const QPointer<PendingRequest>& p : live)
        if (p && p->purpose() == Purpose::Step)
            p->endWith(RequestEnd::Superseded);
}

void ReplyOwnership::endAll() {
    m_pendingSets.clear();
}

const ReplyOwnership::PendingSet* ReplyOwnership::match(int key, quint8 module,
                                                        quint8 status) const {
    // A job's replies are its own: they answer nothing of the window's, and end nothing.
    if (!m_job.isEmpty())
        return nullptr;
    const auto it = m_pendingSets.find(key);
    if (it == m_pendingSets.end())
        return nullptr;
    // A Set to every module takes whichever answers; anything else only the answer of the
    // module asked (or the gateway's error for it).
    if (!fromModuleAsked(it->second.module, module, status, false))
        return nullptr;
    return &it->second;
}

bool ReplyOwnership::wouldAnswer(int key, quint8 module, quint8 status) const {
    return match(key, module, status) != nullptr;
}

bool ReplyOwnership::wouldAnswer(const Reply& r) const {
    return !isCopy(r) && wouldAnswer(key(r[4], r[5]), r[3], r[6]);
}

Awaiting ReplyOwnership::answer(const Reply& r, bool* late) {
    if (isCopy(r)) {
        if (late)
            *late = false;
        return Awaiting::None;
    }
    const Awaiting kind = answer(key(r[4], r[5]), r[3], late, r[6]);
    if (kind != Awaiting::None)
        taken(r);
    return kind;
}

Awaiting ReplyOwnership::answer(int key, quint8 module, bool* late, quint8 status) {
    if (late)
        *late = false;
    const PendingSet* e = match(key, module, status);
    if (!e)
        return Awaiting::None;
    if (late)
        *late = e->waitOver;
    m_pendingSets.erase(key);
    return Awaiting::Set;
}

bool ReplyOwnership::handlerRuns(ReplyRule rule, Awaiting answers) const {
    if (rule == ReplyRule::Unsolicited)
        return true;
    if (!m_job.isEmpty())
        return false;
    return rule == ReplyRule::Always || answers != Awaiting::None;
}

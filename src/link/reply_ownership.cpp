#include "link/reply_ownership.h"

ReplyOwnership::ReplyOwnership() {
    m_clock.start();
}

quint64 ReplyOwnership::expectSet(int key, quint8 module, int waitMs) {
    const quint64 ticket = ++m_lastTicket;
    m_pending[key] = Expectation{Awaiting::Set, ticket, module, m_clock.elapsed() + waitMs};
    return ticket;
}

void ReplyOwnership::expectStep(int key, quint8 module) {
    m_pending[key] = Expectation{Awaiting::Step, ++m_lastTicket, module, -1};
    m_sequencePairs.insert(key);
}

void ReplyOwnership::endWait(quint64 ticket) {
    for (auto it = m_pending.begin(); it != m_pending.end(); ++it) {
        if (it->second.ticket == ticket && it->second.kind == Awaiting::Set) {
            m_pending.erase(it);
            return;
        }
    }
}

void ReplyOwnership::sequenceStarted() {
    endSteps();
    m_sequencePairs.clear();
}

void ReplyOwnership::endSteps() {
    std::erase_if(m_pending, [](const auto& e) { return e.second.kind == Awaiting::Step; });
}

void ReplyOwnership::endAll() {
    m_pending.clear();
}

Awaiting ReplyOwnership::answer(int key, quint8 module, bool sequenceRunning) {
    // A job's replies are its own: they answer nothing of the window's, and end nothing.
    if (!m_job.isEmpty())
        return Awaiting::None;
    const auto it = m_pending.find(key);
    // Another module's answer with the same bytes is not the one awaited.
    if (it == m_pending.end() || (it->second.module != 0xFF && it->second.module != module))
        return Awaiting::None;
    const Expectation e = it->second;
    m_pending.erase(it);
    if (e.kind == Awaiting::Set && e.deadline >= 0 && m_clock.elapsed() > e.deadline)
        return Awaiting::None;
    if (e.kind == Awaiting::Step && !sequenceRunning)
        return Awaiting::None;
    return e.kind;
}

bool ReplyOwnership::handlerRuns(ReplyRule rule, Awaiting answers) const {
    if (rule == ReplyRule::Unsolicited)
        return true;
    if (!m_job.isEmpty())
        return false;
    return rule == ReplyRule::Always || answers != Awaiting::None;
}

#include "link/reply_ownership.h"

void ReplyOwnership::setJob(const QString& name) {
    if (!name.isEmpty())
        std::erase_if(m_pending, [](const auto& e) { return e.second.kind == Awaiting::Set; });
    m_job = name;
}

quint64 ReplyOwnership::expectSet(int key, quint8 module) {
    const quint64 ticket = ++m_lastTicket;
    m_pending[key] = Expectation{Awaiting::Set, ticket, module, false};
    return ticket;
}

void ReplyOwnership::expectStep(int key, quint8 module) {
    m_pending[key] = Expectation{Awaiting::Step, ++m_lastTicket, module, false};
    m_sequencePairs.insert(key);
}

bool ReplyOwnership::endWait(quint64 ticket) {
    for (auto& [key, e] : m_pending) {
        if (e.ticket == ticket && e.kind == Awaiting::Set) {
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
    std::erase_if(m_pending, [](const auto& e) { return e.second.kind == Awaiting::Step; });
}

void ReplyOwnership::endAll() {
    m_pending.clear();
}

const ReplyOwnership::Expectation* ReplyOwnership::match(int key, quint8 module,
                                                         bool sequenceRunning) const {
    // A job's replies are its own: they answer nothing of the window's, and end nothing.
    if (!m_job.isEmpty())
        return nullptr;
    const auto it = m_pending.find(key);
    if (it == m_pending.end())
        return nullptr;
    const Expectation& e = it->second;
    // A Set to every module takes whichever answers; a step to the bus switch only the bus
    // switch's own answer; anything else only the answer of the module asked.
    const bool anyModule = e.kind == Awaiting::Set && e.module == 0xFF;
    if (!anyModule && e.module != module)
        return nullptr;
    if (e.kind == Awaiting::Step && !sequenceRunning)
        return nullptr;
    return &e;
}

bool ReplyOwnership::wouldAnswer(int key, quint8 module, bool sequenceRunning) const {
    return match(key, module, sequenceRunning) != nullptr;
}

Awaiting ReplyOwnership::answer(int key, quint8 module, bool sequenceRunning, bool* late) {
    if (late)
        *late = false;
    const Expectation* e = match(key, module, sequenceRunning);
    if (!e)
        return Awaiting::None;
    const Awaiting kind = e->kind;
    if (late)
        *late = e->waitOver;
    m_pending.erase(key);
    return kind;
}

bool ReplyOwnership::handlerRuns(ReplyRule rule, Awaiting answers) const {
    if (rule == ReplyRule::Unsolicited)
        return true;
    if (!m_job.isEmpty())
        return false;
    return rule == ReplyRule::Always || answers != Awaiting::None;
}

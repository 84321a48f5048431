#include "link/reply_dispatcher.h"

#include "link/frames.h"

#include <stdexcept>

namespace {

[[noreturn]] void duplicateHandler(const QString& what) {
    const QString text = QStringLiteral("Two handlers registered for %1").arg(what);
    Q_ASSERT_X(false, "ReplyDispatcher", qPrintable(text));
    throw std::logic_error(text.toStdString());
}

} // namespace

ReplyDispatcher::ReplyDispatcher(ReplyOwnership& ownership, QObject* parent)
    : QObject(parent), m_ownership(ownership) {}

void ReplyDispatcher::addHandler(std::map<int, Handler>& table, QObject* owner, quint8 command,
                                 quint8 subCommand, Handler handler, const char* kind) {
    const int key = ReplyOwnership::key(command, subCommand);
    if (table.count(key)) {
        const QString bytes = QStringLiteral("%1 %2")
                                  .arg(command, 2, 16, QLatin1Char('0'))
                                  .arg(subCommand, 2, 16, QLatin1Char('0'))
                                  .toUpper();
        duplicateHandler(QStringLiteral("%1 reply %2").arg(QLatin1String(kind), bytes));
    }
    table.emplace(key, std::move(handler));
    connect(owner, &QObject::destroyed, this, [&table, key] { table.erase(key); });
}

void ReplyDispatcher::registerReply(QObject* owner, quint8 command, quint8 subCommand,
                                    ReplyHandler handler, ReplyRule rule) {
    addHandler(m_handlers, owner, command, subCommand, Handler{std::move(handler), rule}, "the");
}

void ReplyDispatcher::registerBusSwitchReply(QObject* owner, quint8 command, quint8 subCommand,
                                             ReplyHandler handler) {
    addHandler(m_busSwitchHandlers, owner, command, subCommand, Handler{std::move(handler)},
               "the bus switch's");
}

void ReplyDispatcher::registerBindReply(QObject* owner, ReplyHandler handler) {
    if (m_bindHandler)
        duplicateHandler(QStringLiteral("the bind-test replies"));
    m_bindHandler = std::move(handler);
    connect(owner, &QObject::destroyed, this, [this] { m_bindHandler = nullptr; });
}

void ReplyDispatcher::dispatchReply(Reply reply, bool stepAnswer) {
    // The outstanding step's answer (or refusal) belongs to the sequence alone: it hears it
    // from the step's request.
    if (stepAnswer)
        return;
    if (reply[0] == 0xAE && reply[1] == 0xD0) {
        if (m_bindHandler && m_ownership.handlerRuns(ReplyRule::Always, Awaiting::None)) {
            const ReplyHandler handler = m_bindHandler;
            handler(reply);
        }
        return;
    }
    // Any reply with the pair ends what the window awaited for it; only a success records.
    const int key = ReplyOwnership::key(reply[4], reply[5]);
    bool late = false;
    reply.answers = m_ownership.answer(reply, &late);
    const auto answeredLate = [&](const QString& outcome) {
        if (late)
            emit setOutcome(
                QStringLiteral("Module %1 answered after the wait: %2").arg(reply[3]).arg(outcome));
    };
    if (reply[6] != 1) {
        if (reply.answers == Awaiting::Set) {
            answeredLate(frames::statusText(reply[6]) + QStringLiteral(" Nothing recorded."));
            emit setAnswered(reply);
        }
        return;
    }
    // The bus switch's own answer goes to its handler when it has one for these bytes (its
    // settings read-back shares 0x80/0x05 with the module address read-back).
    auto it = m_busSwitchHandlers.end();
    if (reply.busSwitchReply)
        it = m_busSwitchHandlers.find(key);
    if (it == m_busSwitchHandlers.end()) {
        it = m_handlers.find(key);
        if (it == m_handlers.end())
            return;
    }
    if (!m_ownership.handlerRuns(it->second.rule, reply.answers))
        return;
    // A copy: the handler may register handlers while it runs.
    const ReplyHandler handler = it->second.run;
    handler(reply);
    if (reply.answers == Awaiting::Set) {
        emit setAnswered(reply);
        if (late)
            answeredLate(QStringLiteral("recorded."));
        else
            emit setOutcome(QString());
    }
}

#include "moc_reply_dispatcher.cpp"

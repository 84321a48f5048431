#pragma once

#include "link/reply.h"
#include "link/reply_ownership.h"

#include <QObject>

#include <functional>
#include <map>

// The one place where an accepted reply takes effect: its owner is decided (see
// ReplyOwnership), and at most one registered handler runs, chosen by reply bytes 4 and 5.
class ReplyDispatcher : public QObject {
    Q_OBJECT
public:
    using ReplyHandler = std::function<void(const Reply&)>;
    struct Handler {
        ReplyHandler run;
        ReplyRule rule = ReplyRule::Always;
    };

    explicit ReplyDispatcher(ReplyOwnership& ownership, QObject* parent = nullptr);

    // Each pair of reply bytes takes one handler: a second registration is a programming
    // error that stops a debug build and throws std::logic_error otherwise. A handler stays
    // registered as long as its owner lives.
    //
    // A bus switch handler takes the replies with those bytes that came from the bus switch
    // itself (subnet FF FF, address FF); the ordinary one then gets only the others. Where no
    // bus switch handler is registered, the ordinary one gets them all.
    void registerReply(QObject* owner, quint8 command, quint8 subCommand, ReplyHandler handler,
                       ReplyRule rule);
    void registerBusSwitchReply(QObject* owner, quint8 command, quint8 subCommand,
                                ReplyHandler handler);
    void registerBindReply(QObject* owner, ReplyHandler handler);

    // Runs what the reply calls for; the answer of a sequence's step (`stepAnswer`) belongs
    // to the sequence alone. A handler that cannot do its work throws.
    void dispatchReply(Reply reply, bool stepAnswer);

signals:
    // See Bus::setOutcome.
    void setOutcome(const QString& text);
    // See Bus::setAnswered.
    void setAnswered(const Reply& reply);

private:
    void addHandler(std::map<int, Handler>& table, QObject* owner, quint8 command,
                    quint8 subCommand, Handler handler, const char* kind);

    ReplyOwnership& m_ownership;
    std::map<int, Handler> m_handlers;
    std::map<int, Handler> m_busSwitchHandlers;
    ReplyHandler m_bindHandler;
};

#pragma once

#include <QHostAddress>
#include <QString>
#include <QStringList>

#include <map>

struct Reply;

// What came during a request's wait instead of its answer: the replies that answered
// something else, and the datagrams from senders that answer nothing. A "did not answer"
// names it, so that a technician sees the gateway was talking, just not about this.
class CameInstead {
public:
    void reply(const Reply& reply);
    void datagram(const QHostAddress& from, quint16 port);
    void clear();
    // "module 7 answered 0x84/0x03; 2 datagrams from 127.0.0.1:2112", empty when nothing
    // came.
    QString text() const;

private:
    QStringList m_replies;
    std::map<QString, int> m_datagrams;
};

#include "link/came_instead.h"

#include "link/reply.h"

namespace {
constexpr int kRepliesNamed = 3;
}

void CameInstead::reply(const Reply& r) {
    const QString what = (r[0] == 0xAE && r[1] == 0xD0)
                             ? QStringLiteral("a binding test frame")
                             : QStringLiteral("module %1 answered 0x%2/0x%3")
                                   .arg(r[3])
                                   .arg(r[4], 2, 16, QLatin1Char('0'))
                                   .arg(r[5], 2, 16, QLatin1Char('0'));
    if (!m_replies.contains(what))
        m_replies << what;
}

void CameInstead::datagram(const QHostAddress& from, quint16 port) {
    ++m_datagrams[QStringLiteral("%1:%2").arg(from.toString()).arg(port)];
}

void CameInstead::clear() {
    m_replies.clear();
    m_datagrams.clear();
}

QString CameInstead::text() const {
    QStringList parts = m_replies.mid(0, kRepliesNamed);
    if (m_replies.size() > kRepliesNamed)
        parts << QStringLiteral("%1 more replies").arg(m_replies.size() - kRepliesNamed);
    for (const auto& [sender, count] : m_datagrams)
        parts << (count == 1 ? QStringLiteral("1 datagram from %1").arg(sender)
                             : QStringLiteral("%1 datagrams from %2").arg(count).arg(sender));
    return parts.join(QStringLiteral("; "));
}

#include "platform/udp_broadcast.h"

namespace udp_broadcast {

// Winsock has no per-datagram source address for IPv4 sends: the caller names the interface
// through Qt instead, and Windows picks that interface's address itself.
bool canChooseSource() {
    return false;
}

QString sendFrom(qintptr, int, quint32, const QByteArray&, quint16) {
    return QStringLiteral("not supported on this system");
}

} // namespace udp_broadcast

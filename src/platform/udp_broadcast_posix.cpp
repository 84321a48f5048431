#include "platform/udp_broadcast.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstring>

namespace udp_broadcast {

bool canChooseSource() {
#ifdef IP_PKTINFO
    return true;
#else
    return false;
#endif
}

QString sendFrom(qintptr descriptor, int interfaceIndex, quint32 sourceIPv4,
                 const QByteArray& datagram, quint16 port) {
#ifdef IP_PKTINFO
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_port = htons(port);
    target.sin_addr.s_addr = htonl(INADDR_BROADCAST);
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(in_pktinfo))] = {};
    iovec part{const_cast<char*>(datagram.constData()), size_t(datagram.size())};
    msghdr message{};
    message.msg_name = &target;
    message.msg_namelen = sizeof target;
    message.msg_iov = &part;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    cmsghdr* c = CMSG_FIRSTHDR(&message);
    c->cmsg_level = IPPROTO_IP;
    c->cmsg_type = IP_PKTINFO;
    c->cmsg_len = CMSG_LEN(sizeof(in_pktinfo));
    in_pktinfo info{};
    info.ipi_ifindex = interfaceIndex;
    info.ipi_spec_dst.s_addr = htonl(sourceIPv4);
    std::memcpy(CMSG_DATA(c), &info, sizeof info);
    if (::sendmsg(int(descriptor), &message, 0) < 0)
        return QString::fromLocal8Bit(std::strerror(errno));
    return QString();
#else
    (void)descriptor, (void)interfaceIndex, (void)sourceIPv4, (void)datagram, (void)port;
    return QStringLiteral("not supported on this system");
#endif
}

} // namespace udp_broadcast

#include "platform/udp_drop_counter.h"

#include <sys/socket.h>

#include <cstring>

bool UdpDropCounter::available() {
#ifdef SO_RXQ_OVFL
    return true;
#else
    return false;
#endif
}

// Qt reads the datagrams without the control message that carries the count, so it is
// peeked at before the datagram is read.
void UdpDropCounter::peek(qintptr socket, quint32* dropped) {
#ifdef SO_RXQ_OVFL
    if (socket < 0)
        return;
    if (socket != m_socket) {
        const int on = 1;
        ::setsockopt(int(socket), SOL_SOCKET, SO_RXQ_OVFL, &on, sizeof on);
        m_socket = socket;
        *dropped = 0;
    }
    char first = 0;
    iovec part{&first, 1};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(quint32))];
    msghdr message{};
    message.msg_iov = &part;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    if (::recvmsg(int(socket), &message, MSG_PEEK | MSG_DONTWAIT) < 0)
        return;
    for (cmsghdr* c = CMSG_FIRSTHDR(&message); c; c = CMSG_NXTHDR(&message, c)) {
        if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SO_RXQ_OVFL)
            std::memcpy(dropped, CMSG_DATA(c), sizeof *dropped);
    }
#else
    (void)socket;
    (void)dropped;
#endif
}

#pragma once

#include <QByteArray>
#include <QString>

// A broadcast sent out of one interface, from this machine's address on it. Given the
// interface alone, the system sends from 0.0.0.0 where the interface has no address of link
// scope (loopback), and Qt hands on the interface but not the source.
namespace udp_broadcast {

// Whether this system lets a datagram choose both its interface and its source address.
bool canChooseSource();

// Sends `datagram` to 255.255.255.255:`port` on the UDP socket `descriptor`, out of interface
// `interfaceIndex` from the IPv4 address `sourceIPv4`. Empty when sent, else the system's words.
QString sendFrom(qintptr descriptor, int interfaceIndex, quint32 sourceIPv4,
                 const QByteArray& datagram, quint16 port);

} // namespace udp_broadcast

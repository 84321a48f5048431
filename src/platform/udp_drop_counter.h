#pragma once

#include <QtGlobal>

// The system's count of datagrams it dropped on a UDP socket because its receive buffer was
// full. Linux hands the count along with each datagram once asked to; Windows keeps none, and
// then the bus monitor says that drops are not counted.
class UdpDropCounter {
public:
    // Whether this system counts drops at all.
    static bool available();
    // The count the oldest waiting datagram of `socket` carries, read without taking it;
    // `dropped` keeps its value when no datagram waits. A new descriptor starts from none.
    void peek(qintptr socket, quint32* dropped);
    void reset() { m_socket = -1; }

private:
    qintptr m_socket = -1; // the descriptor asked to count
};

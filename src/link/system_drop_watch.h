#pragma once

#include <QtGlobal>

#include <optional>

struct TappedFrame;

// Turns the socket's drop counter that received datagrams carry into "this many more were
// dropped": datagrams the system threw away because its receive buffer was full, which the
// tool therefore never saw. The first datagram sets the start; a counter that goes down
// belongs to a new socket, which starts from none.
class SystemDropWatch {
public:
    // How many datagrams the system dropped since the last received datagram; 0 for frames
    // of the serial line and sent ones.
    quint32 newDrops(const TappedFrame& frame);
    void restart() { m_last.reset(); }

private:
    std::optional<quint32> m_last;
};

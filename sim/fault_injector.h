#pragma once

#include "sim/sim_types.h"

#include <QString>

// Faults the control interface asks for, applied to the replies as they leave.
class FaultInjector {
public:
    struct Plan {
        bool drop = false;
        int delayMs = 0;
        bool corrupt = false;
        bool split = false;
    };

    void dropNext(int count) { m_drop = qMax(0, count); }
    void setDelay(int ms) { m_delayMs = qMax(0, ms); }
    void errorNext(quint8 status) { m_errorStatus = status; }
    void corruptNext() { m_corrupt = true; }
    void splitNext() { m_split = true; }
    void clear() { *this = FaultInjector(); }

    // Takes the faults for one reply, changing its status where an error is pending.
    // A split waits for a serial reply; an error for a reply that has a status byte.
    Plan take(SimReply& reply, bool serial);
    // Turns a finished frame's checksum wrong.
    static void corrupt(QByteArray& frame);

    QString describe() const;

private:
    int m_drop = 0;
    int m_delayMs = 0;
    int m_errorStatus = -1;
    bool m_corrupt = false;
    bool m_split = false;
};

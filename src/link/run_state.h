#pragma once

#include <QtGlobal>

// Flags and counters through which the send path, the intake, the dispatcher and the
// families cooperate. All zero at start, touched on the main thread only.
struct RunState {
    quint8 DeletingTimers = 0;
    quint8 DeletingEvents = 0;
    quint8 DeletingControlData = 0;
    qint32 TimerIndex = 0;
    qint32 EventIndex = 0;
    qint32 ControlDataIndex = 0;
    qint32 MonitorBindIndex = 0;
};

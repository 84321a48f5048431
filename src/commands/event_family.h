#pragma once

#include "commands/family_context.h"
#include "protocol/sequence_engine.h"
#include "protocol/timer_requests.h"

#include <QObject>

class QComboBox;
class QGroupBox;
class QSpinBox;

// The event group of the "Timer Settings" tab: set one event of a timer, and read or delete
// the 16 events of one timer in a sequence into "Event Records", which the "Timer No. :" list
// below the grid filters. The module addressed is the clock group's "Module Addr. :".
class EventFamily : public QObject {
    Q_OBJECT
public:
    EventFamily(FamilyContext& ctx, SequenceEngine& sequences);

    void Button54Click(); // "Set"
    void Button45Click(); // "Read All Events"
    void Button46Click(); // "Delete All Events"
    void ComboBox18Change();

private:
    QGroupBox* buildGroup(QWidget* parent);
    int module() const;
    // What the controls hold, which a Set sends and its acknowledgement writes.
    timing::event::Settings settings() const;
    // "Please select timer!" when no timer is chosen.
    void startSequence(SequenceKind kind);

    FamilyContext& m_ctx;
    SequenceEngine& m_sequences;

    QSpinBox* m_module = nullptr;     // SpinEdit30 of the clock group
    QSpinBox* m_timerNo = nullptr;    // SpinEdit36
    QSpinBox* m_eventNo = nullptr;    // SpinEdit32
    QSpinBox* m_target = nullptr;     // SpinEdit33
    QSpinBox* m_channel = nullptr;    // SpinEdit34
    QComboBox* m_action = nullptr;    // ComboBox17
    QSpinBox* m_parameter = nullptr;  // SpinEdit35
    QComboBox* m_timerList = nullptr; // ComboBox18
};

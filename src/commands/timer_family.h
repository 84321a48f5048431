#pragma once

#include "commands/family_context.h"
#include "protocol/sequence_engine.h"

#include <QObject>

class QComboBox;
class QDateEdit;
class QDateTime;
class QGroupBox;
class QLineEdit;
class QSpinBox;
struct Reply;

// The clock and timer groups of the "Timer Settings" tab: set and read a module's clock,
// set one timer, and read or delete all 32 timers in a sequence into "Timer Records".
class TimerFamily : public QObject {
    Q_OBJECT
public:
    TimerFamily(FamilyContext& ctx, SequenceEngine& sequences);

    // Start-up: both dates and both times to now, and the weekday names beside them.
    void initialiseClockFields(const QDateTime& now);
    // "Now": the computer's date and time into "Time(set)".
    void setClockFields(const QDateTime& now);

    void Button43Click(); // clock "Set"
    void Button42Click(); // clock "Read"
    void Button49Click(); // timer "Set"
    void Button44Click(); // "Read All Timers"
    void Button47Click(); // "Delete All Timers"
    void DateTimePicker1Change();
    void DateTimePicker2Change();

    // 0x84/0x01: the clock read back.
    void clockReply(const Reply& reply);

    // The "Module Addr. :" of the clock group, which the event group uses too.
    int module() const;

private:
    QGroupBox* buildClockGroup(QWidget* parent);
    QGroupBox* buildTimerGroup(QWidget* parent);
    void connectControls();
    void registerReplies();
    // The "Time" a Set writes: the date in the system's short format, the time, the weekday.
    QString setTimeText() const;

    FamilyContext& m_ctx;
    SequenceEngine& m_sequences;

    QSpinBox* m_module = nullptr;        // SpinEdit30
    QDateEdit* m_clockDate = nullptr;    // DateTimePicker2
    QLineEdit* m_clockTime = nullptr;    // MaskEdit2
    QLineEdit* m_clockWeekday = nullptr; // Edit20
    QLineEdit* m_readDate = nullptr;     // Edit38
    QLineEdit* m_readWeekday = nullptr;  // Edit37
    QLineEdit* m_readTime = nullptr;     // Edit39
    QSpinBox* m_timerNo = nullptr;       // SpinEdit31
    QComboBox* m_mode = nullptr;         // ComboBox14
    QDateEdit* m_timerDate = nullptr;    // DateTimePicker1
    QLineEdit* m_timerTime = nullptr;    // MaskEdit1
    QLineEdit* m_timerWeekday = nullptr; // Edit19
};

#pragma once

#include "link/request_layout.h"

#include <QJsonValue>
#include <QList>
#include <QString>

#include <functional>

class RecordTable;
struct Reply;

// The read-all and delete-all sequences: one request per record, each sent when the reply to
// the one before has come.
enum class SequenceKind : quint8 {
    ReadTimers,
    DeleteTimers,
    ReadEvents,
    DeleteEvents,
    ReadBindings,
    DeleteBindings,
    ReadMonitorSlots,
};

// What a sequence works on. The window reads it from its controls afresh at every step.
struct SequenceTarget {
    SequenceTarget() = default;
    explicit SequenceTarget(int moduleAsked, int timerNo = 0)
        : module(moduleAsked), timer(timerNo) {}

    int module = 0;     // the module asked (the input module of a binding sequence)
    int timer = 0;      // an event sequence: the timer (1..32) whose events it walks
    QString deviceType; // a monitor slot sequence: "Light", "Curtain" or "AC"
};

// What one step's reply becomes: the writer of its record row and the cells velm-cli prints.
struct StepRow {
    std::function<void(RecordTable&)> write;
    QList<QJsonValue> cells;
};

// The step counter a sequence kind moves: a read-all and a delete-all of one record share it.
enum class StepPosition : quint8 { Timers, Events, Bindings, MonitorSlots, Count };

// One row of the sequence table.
struct SequenceSpec {
    SequenceKind kind;
    const char* record;      // what one step asks for: "timer", "event", "binding", ...
    const char* recordTable; // the table its rows go to
    // The reply that answers a step: command + 0x80 and sub-command, from the module asked
    // (the bus switch itself for monitor bySlot). No reply of these carries the number of the
    // record asked for.
    quint8 replyCommand;
    quint8 replySub;
    StepPosition position;                // the step counter of its family
    bool deleting = false;                // a delete-all; false for a read
    quint32 pauseMs = 100;                // quiet time between two requests
    // The index is a slot number: each request goes to the slot's row (missing bySlot are
    // skipped), the table has a fixed set of rows and a reply never appends one.
    bool bySlot = false;
    int (*first)(const SequenceTarget&);
    int (*last)(const SequenceTarget&);
    // The request of the step at `index`; a slot sequence reads the slot from the table's
    // current row.
    Request (*request)(const SequenceTarget&, int index, const RecordTable&);
    // The record of the step at `index` out of its reply.
    StepRow (*row)(const Reply&, const SequenceTarget&, int index);

    quint8 module(const SequenceTarget& target) const;
    // The number a person reads for the step at `index` (timers, events and channels count
    // from 1, bySlot are their own numbers).
    int shownNumber(int index) const { return bySlot ? index : index + 1; }
};

const SequenceSpec& sequenceSpec(SequenceKind kind);

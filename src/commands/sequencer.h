#pragma once

#include <QtGlobal>

#include <functional>
#include <vector>

class Bus;
class RecordTable;

// One family's part in a read-all or delete-all sequence. The family owns it for the whole
// run; the sequencer keeps pointers to it, never copies of the state it names.
struct SequenceFamily {
    const char* name = "";
    qint32* index = nullptr;        // TimerIndex, EventIndex ... in the bus's run state
    std::function<int()> limit;     // last index of a sequence, read afresh at every step
    RecordTable* table = nullptr;   // the rows the replies are written into
    std::function<void()> nextStep; // the button handler that sends the request for *index
    quint8* deleting = nullptr;     // the family's deleting flag, or null
    quint32 pauseMs = 100;          // quiet time between two requests
    bool firstRowOnStart = true;    // a new sequence writes from the table's first row
    bool advanceRow = true;         // each step moves the table on by one row
    std::function<void()> onStart;  // runs when a new sequence starts (e.g. its first index)
};

// The reply-driven series of requests, one per record, that the read-all and delete-all
// buttons run. A sequence is in progress while the bus's watchdog runs and the processing
// dialog shows; the watchdog, Cancel and an error reply end it in the bus, which also stops
// the watchdog, so whether a family runs is always asked afresh from it.
//
// In network mode the whole sequence is one chain of nested calls (send, reply, step, next
// send); in serial mode each reply arrives on its own. Everything here reads the run state
// and the dialog anew on every call.
class Sequencer {
public:
    explicit Sequencer(Bus* bus);

    // The first thing a sequence button does. When no sequence is in progress it starts one:
    // the table goes to its first row (when the family asks for it), the watchdog starts and
    // the processing dialog shows. A click while a sequence is in progress starts nothing;
    // either way the family then counts as running until the sequence ends.
    void start(const SequenceFamily& family);

    // A sequence of any family is in progress.
    bool active() const;
    // A sequence is in progress and this family takes part in it. A read reply for a family
    // that is not running came too late (after Cancel or the watchdog) and is dropped.
    bool running(const SequenceFamily& family) const;

    // One reply of the family's sequence: `fill` writes the record into the row the reply
    // belongs to (the current row, or a new row once the sequence has passed the table's
    // last row), the row is posted, and the sequence steps on: the index advances, and
    // either the next request goes out after the pause or the sequence ends with
    // "Finished！". `next` replaces the family's own next step (a delete reply goes on with
    // the delete button). A failing write leaves no half-edited row behind and ends nothing:
    // the watchdog does.
    void record(const SequenceFamily& family, const std::function<void(RecordTable&)>& fill);
    void record(const SequenceFamily& family, const std::function<void(RecordTable&)>& fill,
                const std::function<void()>& next);

private:
    void step(const SequenceFamily& family, const std::function<void()>& next);
    void end(const SequenceFamily& family);

    Bus* m_bus;
    std::vector<const SequenceFamily*> m_running;
};

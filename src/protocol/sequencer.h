#pragma once

#include <QtGlobal>

#include <functional>
#include <vector>

class Bus;
class RecordTable;
struct Reply;
struct Request;

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

    // Where a new sequence starts. Without it the index runs on from where it stands (0
    // after every end) and the table goes to its first row, each step moving it one row on.
    // With it the index is set there, the table is not moved at start, and each request
    // moves it to its record's row with `seekRow` instead.
    std::function<int()> firstIndex;
    // Moves the table to the row of *index; false when the table has no such row.
    std::function<bool()> seekRow;
    // A table that holds a fixed set of rows: a reply never appends one.
    bool fixedRows = false;
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
    // the table goes to its first row (or the index to its first value), the watchdog starts
    // and the processing dialog shows. A click while a sequence is in progress starts
    // nothing; either way the family then counts as running until the sequence ends. While
    // a job of the Tools menu runs no sequence starts: start throws with a message that
    // names the job.
    void start(SequenceFamily& family);
    // Sends the request of a step: its reply counts once, and only while it is outstanding.
    void send(const Request& request);

    // For families with `seekRow`, before each request: moves the table to the row of the
    // current index. An index without a row is skipped (no request, the sequence goes on
    // with the next index); past the limit the sequence ends. True when there is a request
    // to send.
    bool seek(SequenceFamily& family);

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
    void record(SequenceFamily& family, const std::function<void(RecordTable&)>& fill);
    void record(SequenceFamily& family, const std::function<void(RecordTable&)>& fill,
                const std::function<void()>& next);

    // The acknowledgement shared by a family's Set (sent with Bus::sendSet) and its delete
    // steps, by what the reply answers. A step's is a delete step while the family's deleting
    // flag is set and its sequence runs. A pending Set's records its row, also while a
    // sequence runs (one of another command: a Set of the same command is refused then); the
    // row is written without moving the running sequence off its row. Everything else (a
    // late delete acknowledgement after Cancel, a stray answer) writes nothing.
    void acknowledge(SequenceFamily& family, const Reply& reply,
                     const std::function<void()>& deleteStep,
                     const std::function<void()>& recordSet);
    // Runs `work`, which may move the family's table, and puts the table back on the row the
    // family's running sequence stands on.
    void keepPlace(SequenceFamily& family, const std::function<void()>& work);

private:
    void step(SequenceFamily& family, const std::function<void()>& next);
    void end(SequenceFamily& family);
    void showProgress(const SequenceFamily& family) const;

    Bus* m_bus;
    std::vector<SequenceFamily*> m_running;
};

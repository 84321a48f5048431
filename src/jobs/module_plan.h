#pragma once

#include "jobs/module_records.h"
#include "link/request_layout.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// What the records of one module mean on the bus: the request that writes each record (the
// bytes the window's Set buttons send for it) and the read that checks it, with the data
// bytes its answer carries when the module holds the record. Plain functions of plain values.
namespace moduleplan {

// One record as the module should hold it.
struct Planned {
    QString what;        // "Binding 3", "Timer 5", "Event 2/4", "Slot 100", "Scene 7"
    Request write;       // what a push sends
    QByteArray expected; // the data bytes a read gives back (empty: there is no read)
    bool empty = false;  // an empty binding, timer or event, an unbound slot
    QString text;        // the record as a report shows it
    // Why the record is not written: a value its request cannot carry. Empty when it fits.
    // An audit never takes such a record as agreeing with the module.
    QString unfit = {};
};

// What a read answered, taken apart like a record.
struct Held {
    QByteArray bytes;
    bool empty = false;
    QString text;
};

// One read of an audit: the request, the record it checks (none: whatever the module
// holds there is extra) and how its answer is taken apart.
struct Check {
    QString what;
    Request read;
    int pauseMs = 100;
    std::optional<Planned> record;
    Held (*decode)(const QByteArray& data) = nullptr; // the answer's bytes from reply byte 7
    int dataBytes = 0;
};

struct Plan {
    QList<Planned> writes; // in the order a push sends them
    QList<Check> checks;   // in the order an audit reads them
    QStringList unwritten; // records a push leaves out, and why
    QStringList unchecked; // records an audit cannot read back, and why
    // Records that do not fit their request and that no check reads back (a binding of
    // channel 0, a timer 40): an audit reports them as different all the same.
    QList<Planned> unfitUnread;
};

// The whole plan for a module. `sceneChannels` is how many channel bytes a scene carries
// ("Module Channels", 1..8): the records keep eight texts but not how many were sent.
// A record with a value outside what its column may hold (records_values), or an empty
// number, is not written: "Binding 3: Output_Addr 257 does not fit (0..255), not written".
Plan plan(const ModuleRecords& records, int sceneChannels);

// The mode list index of a timer's mode text, read-back spellings included; -1 when unknown.
int timerModeIndex(const QString& text);

} // namespace moduleplan

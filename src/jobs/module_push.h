#pragma once

#include "jobs/bus_job.h"
#include "jobs/module_plan.h"

#include <QObject>
#include <QStringList>

struct PushReport {
    int module = 0;
    QStringList written;    // "Binding 3", in the order they went out
    QStringList notWritten; // what the push did not get to
    QStringList notes;      // records that were not written at all, and why
    QString failure;        // why it stopped; empty when everything was written
    bool cancelled = false;

    bool complete() const { return failure.isEmpty() && !cancelled; }
    QString summary() const;
};

// Writes to a module everything the records hold for it, one request at a time with the
// requests the window's Set buttons send and the sequences' pauses between them. The first
// refusal or unanswered request stops it. Nothing in the record tables changes: the
// acknowledgements reach the window's families, which record only a Set of their own.
class ModulePush : public QObject {
    Q_OBJECT
public:
    struct Options {
        int sceneChannels = 8; // channel bytes per scene ("Module Channels")
        int waitMs = 1000;
    };

    ModulePush(Bus& bus, const ModuleRecords& records, const Options& options,
               QObject* parent = nullptr);

    BusJob& job() { return m_job; }
    const PushReport& report() const { return m_report; }
    int writeCount() const { return int(m_writes.size()); }

signals:
    void written(const QString& what);

private:
    void ended();

    BusJob m_job;
    QList<moduleplan::Planned> m_writes;
    int m_next = 0; // writes answered so far
    PushReport m_report;
};

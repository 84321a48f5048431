#pragma once

#include "jobs/bus_job.h"

#include <QList>
#include <QObject>
#include <QString>

// What a subnet scan found at one address.
struct ScanHit {
    int address = 0; // 1..32, or 0xFF for the bus switch
    QString type;    // the type code, "0108"
    QString version; // empty when the version read went unanswered
};

// Reads the type code and the software version of every address in a range (and of the
// bus switch), with a short wait per address. An address whose type read goes unanswered
// (or is refused) holds no module; the version read goes only to the addresses that answer.
class ModuleScan : public QObject {
    Q_OBJECT
public:
    static constexpr int kDefaultWaitMs = 200;
    static constexpr int kBusSwitch = 0xFF;

    struct Options {
        int first = 1;
        int last = 32;
        bool busSwitch = true;
        int waitMs = kDefaultWaitMs;
        // When given, these addresses (0xFF: the bus switch) instead of the range.
        QList<int> addresses = {};
    };

    ModuleScan(Bus& bus, const Options& options, QObject* parent = nullptr);

    BusJob& job() { return m_job; }
    const QList<ScanHit>& hits() const { return m_hits; }
    // The number of addresses asked.
    int addressCount() const;

signals:
    // A module answered (after its version read).
    void found(const ScanHit& hit);
    // Addresses done of those asked: the total is known from the start, whereas the job's
    // own total grows by a version read for every module that answers.
    void progress(int done, int total);

private:
    JobStep typeStep(int address);
    JobStep versionStep(const ScanHit& hit);

    Options m_options;
    BusJob m_job;
    QList<ScanHit> m_hits;
    int m_addressesDone = 0;
};

#pragma once

#include "jobs/bus_job.h"

#include <QObject>
#include <QStringList>

// Helps the technician find a module in the cabinet: sends it the test request and, for a
// light module, switches its channel 1 over twice and back to the state it was in (read
// first; when it cannot be read the channel is left alone).
class ModuleIdentify : public QObject {
    Q_OBJECT
public:
    static constexpr int kBlinkPauseMs = 400;

    ModuleIdentify(Bus& bus, int module, int waitMs, QObject* parent = nullptr);

    BusJob& job() { return m_job; }
    // What was done, a line each: "test request answered", "channel 1 switched twice".
    const QStringList& done() const { return m_done; }
    QString summary() const;

private:
    void blink(bool wasOn);

    BusJob m_job;
    int m_module;
    int m_waitMs;
    QStringList m_done;
};

#pragma once

#include "sim/bus_switch.h"
#include "sim/sim_config.h"
#include "sim/sim_module.h"
#include "sim/sim_types.h"

#include <QHash>
#include <QJsonObject>
#include <QObject>
#include <QTimer>

#include <memory>
#include <vector>

// The simulated subnet: the gateway and its modules. Takes requests as a module sees them
// (link, password and frame checks are the endpoints' business) and answers through a sink,
// at once or later for the slow operations.
class Installation : public QObject {
    Q_OBJECT
public:
    explicit Installation(const SimConfig& config, QObject* parent = nullptr);
    ~Installation() override;

    void handleRequest(const SimRequest& r, const ReplySink& sink);
    // A bind-test frame's payload (bytes between the length byte and the sum byte).
    void handleBindTest(const QByteArray& payload, const ReplySink& sink);
    // The answers that come at once (for tests and tools).
    QList<SimReply> request(const SimRequest& r);
    QList<SimReply> bindTest(const QByteArray& payload);

    // Whether a request's subnet is one this installation answers on.
    bool acceptsSubnet(const SimRequest& r) const;
    quint16 subnet() const { return m_busSwitch.subnet(); }
    QString password() const { return m_busSwitch.password(); }
    BusSwitch& busSwitch() { return m_busSwitch; }
    SimModule* module(quint8 address) const;
    quint8 benchAddress() const;

    // Control interface actions; each returns an error text, empty on success.
    QString triggerInput(quint8 address, int channel);
    QString fireTimer(quint8 address, int timer);
    QString finishLearning(int address = -1);
    QString setStuck(quint8 address, int channel, bool stuck);

    QJsonObject toJson() const;

signals:
    // A command one module sends another (short form), for the traffic log.
    void busFrame(const QByteArray& frame);

private:
    void handleBroadcast(const SimRequest& r, const ReplySink& sink);
    void handleModule(SimModule* m, const SimRequest& r, const ReplySink& sink);
    void setAddress(const SimRequest& r, const ReplySink& sink);
    void deliver(const ReplySink& sink, const SimReply& reply, int delayMs = 0);
    void performAction(quint8 from, const Action& a);
    void checkTimers();
    void finishLearningOf(SimModule* m, int generation);

    SimConfig m_config;
    BusSwitch m_busSwitch;
    std::vector<std::unique_ptr<SimModule>> m_modules;
    SimModule* m_bench = nullptr;
    struct PendingLearn {
        int generation = 0;
        ReplySink sink;
    };
    QHash<SimModule*, PendingLearn> m_learning;
    QHash<SimModule*, qint64> m_lastSecond;
    QTimer m_tick;
};

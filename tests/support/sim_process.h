#pragma once

#include <QJsonObject>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <memory>

class QTcpSocket;

// velm-sim, the simulated installation, run as a child process for an end-to-end test.
//
//   SimProcess sim;
//   QVERIFY2(sim.start({"--light", "5", "--serial"}), qPrintable(sim.errorString()));
//   ... point the tool at 127.0.0.1:sim.udpPort() or at sim.serialPath() ...
//   const QJsonObject state = sim.dump();
//   QCOMPARE(SimProcess::module(state, 5)["states"].toArray()[0].toInt(), 1);
//
// start() picks a free loopback UDP port (unless the arguments give --udp-port or --no-udp)
// and a free control port, waits for the simulator's "ready" line and parses the lines it
// prints before it: "udp: 127.0.0.1:PORT", "serial: /dev/pts/N", "control: 127.0.0.1:PORT".
// Control commands ("dump", "drop 1", "fire 6 1", ...) go over the control port, which
// answers each command on its own line, so answers never mix with the traffic log that the
// simulator prints on its stdout (kept in output()). A port taken between the pick and the
// simulator's bind makes it exit at once; start() then tries again with new ports.
// The destructor stops the simulator ("quit", then kill after a grace period).
class SimProcess {
public:
    SimProcess();
    ~SimProcess();
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    // The velm-sim binary built beside the tests.
    static QString binaryPath();
    // A UDP / TCP port on 127.0.0.1 that nothing is bound to right now.
    static quint16 freeUdpPort();
    static quint16 freeTcpPort();

    // Starts the simulator with these arguments; false (see errorString()) when it does not
    // come up within timeoutMs.
    bool start(const QStringList& arguments = {}, int timeoutMs = 10000);
    // "quit", then a kill if it has not ended within timeoutMs. Safe to call twice.
    void stop(int timeoutMs = 3000);
    bool isRunning() const;

    quint16 udpPort() const { return m_udpPort; }       // 0 with --no-udp
    QString serialPath() const { return m_serialPath; } // empty without --serial
    QString errorString() const { return m_error; }

    // Sends one control line and returns the first line of the answer ("ok", "error: ...",
    // the JSON of "dump"); empty on time-out.
    QString command(const QString& line, int timeoutMs = 5000);
    // The whole state of the installation ("dump"); empty on failure.
    QJsonObject dump(int timeoutMs = 5000);
    // The module with this address in a dump; empty when there is none.
    static QJsonObject module(const QJsonObject& dump, int address);

    // Every line the simulator printed so far (its traffic log), reading what is pending.
    QStringList output();

private:
    bool startOnce(const QStringList& arguments, int timeoutMs, bool* retry);
    void takeOutput();
    void clear();

    std::unique_ptr<QProcess> m_process;
    std::unique_ptr<QTcpSocket> m_control;
    QByteArray m_pending;
    QStringList m_lines;
    QString m_error;
    QString m_serialPath;
    quint16 m_udpPort = 0;
    quint16 m_controlPort = 0;
};

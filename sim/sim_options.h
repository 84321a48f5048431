#pragma once

#include "sim/sim_config.h"

#include <QString>
#include <QStringList>

// The simulator's command line.
struct SimOptions {
    SimConfig config;
    QString udpHost = QStringLiteral("127.0.0.1");
    int udpPort = 2001;
    // Replies leave from a second socket on this port (0: an ephemeral one), as behind a NAT;
    // -1: from the port requests come to.
    int replyPort = -1;
    bool udp = true;
    bool udpBroadcast = false; // also take broadcasts (inside a test's network namespace)
    bool serial = false;
    QString serialDevice;
    int baud = 9600;
    bool longSerial = false;
    int controlPort = 0; // 0: stdin only
    QString pcapFile;    // empty: no capture

    // Parses arguments (argv[0] first). On failure returns false with a message; for --help
    // returns false with the help text and `help` set.
    static bool parse(const QStringList& arguments, SimOptions* out, QString* message, bool* help);
};

#include "sim/sim_options.h"

#include "sim/control_interface.h"

#include <QCommandLineParser>
#include <QHostAddress>
#include <QSet>

namespace {

bool addresses(const QString& text, ModuleKind kind, QList<SimConfig::ModuleEntry>* out) {
    for (const QString& part : text.split(',', Qt::SkipEmptyParts)) {
        bool ok = false;
        const int a = part.trimmed().toInt(&ok);
        if (!ok || a < 0 || a > 254)
            return false;
        out->append({kind, quint8(a)});
    }
    return true;
}

bool number(const QCommandLineParser& p, const QString& name, int low, int high, int* out,
            QString* message) {
    if (!p.isSet(name))
        return true;
    bool ok = false;
    const int v = p.value(name).toInt(&ok);
    if (!ok || v < low || v > high) {
        *message =
            QStringLiteral("--%1 must be a number from %2 to %3").arg(name).arg(low).arg(high);
        return false;
    }
    *out = v;
    return true;
}

} // namespace

bool SimOptions::parse(const QStringList& arguments, SimOptions* out, QString* message,
                       bool* help) {
    *help = false;
    QCommandLineParser p;
    p.setApplicationDescription(QStringLiteral(
        "velm-sim: a simulated bus installation (gateway at 0xFF and modules) on loopback UDP "
        "and on a pseudo-terminal.\nWithout module options: lights 1,2, curtain 3, IR 4, "
        "input 5, timer 6."));
    const QList<QCommandLineOption> options = {
        {"light", "Light modules (8 channels) at these addresses.", "ADDRS"},
        {"curtain", "Curtain modules (4 channels).", "ADDRS"},
        {"ir", "IR modules.", "ADDRS"},
        {"input", "Input modules (14 inputs).", "ADDRS"},
        {"timer", "Timer modules (clock, 32 timers, 16 events each).", "ADDRS"},
        {"bench",
         "Module that answers the address read and set (default: first light); further "
         "addresses answer the read too (modules left in addressing mode).",
         "ADDR[,ADDR...]"},
        {"stuck", "Channels that do not switch but still acknowledge.", "ADDR:CHANNEL,..."},
        {"subnet", "Subnet ID (default 1).", "N"},
        {"password", "Gateway password (default 418273).", "TEXT"},
        {"udp-host", "Loopback address to listen on (default 127.0.0.1).", "HOST"},
        {"udp-port", "UDP port (default 2001).", "PORT"},
        {"reply-port",
         "Answer from a second socket on this port (0: one the system picks), as a gateway "
         "behind a NAT does.",
         "PORT"},
        {"no-udp", "Do not listen on UDP."},
        {"udp-broadcast",
         "Also take datagrams sent to 255.255.255.255 at the UDP port (only where every "
         "network interface is loopback, as in a test's own network namespace)."},
        {"serial", "Open a pseudo-terminal pair and print the device path."},
        {"serial-device", "Use this serial device instead.", "PATH"},
        {"baud",
         "Pace serial replies at this rate, 10 bits a byte (default 9600; 0: no "
         "pacing).",
         "N"},
        {"long-serial", "Serial frames in the long form (extension channel)."},
        {"ir-learn-ms",
         "Delay before a learning IR module receives its code (default 3000; "
         "0: only on learn-done).",
         "MS"},
        {"restore-ms", "How long the gateway takes to answer a restore (default 5000).", "MS"},
        {"control-port", "Also take control commands on this 127.0.0.1 TCP port.", "PORT"},
        {"pcap",
         "Write every frame on UDP and on the serial line into this capture file (pcapng, "
         "for Wireshark). It holds the gateway password, as any capture of the network does.",
         "FILE"},
    };
    p.addOptions(options);
    const QCommandLineOption helpOption = p.addHelpOption();
    if (!p.parse(arguments)) {
        *message = p.errorText();
        return false;
    }
    if (p.isSet(helpOption)) {
        *help = true;
        *message = p.helpText() + '\n' + ControlInterface::helpText();
        return false;
    }
    SimOptions o;
    static const QList<QPair<QString, ModuleKind>> kinds = {{"light", ModuleKind::Light},
                                                            {"curtain", ModuleKind::Curtain},
                                                            {"ir", ModuleKind::Ir},
                                                            {"input", ModuleKind::Input},
                                                            {"timer", ModuleKind::Timer}};
    for (const auto& [name, kind] : kinds) {
        if (p.isSet(name) && !addresses(p.value(name), kind, &o.config.modules)) {
            *message = QStringLiteral("--%1 takes addresses 0-254 separated by commas").arg(name);
            return false;
        }
    }
    if (o.config.modules.isEmpty())
        o.config.modules = SimConfig::defaultModules();
    QSet<int> seen;
    for (const SimConfig::ModuleEntry& m : o.config.modules) {
        if (seen.contains(m.address)) {
            *message = QStringLiteral("address %1 is given twice").arg(m.address);
            return false;
        }
        seen.insert(m.address);
    }
    int subnet = o.config.subnet;
    if (p.isSet("bench")) {
        for (const QString& part : p.value("bench").split(',', Qt::SkipEmptyParts)) {
            bool ok = false;
            const int a = part.trimmed().toInt(&ok);
            if (!ok || a < 0 || a > 254 || !seen.contains(a)) {
                *message = QStringLiteral("--bench %1: no module there").arg(part.trimmed());
                return false;
            }
            if (o.config.bench < 0)
                o.config.bench = a;
            else
                o.config.alsoAddressing << a;
        }
    }
    for (const QString& part : p.value("stuck").split(',', Qt::SkipEmptyParts)) {
        bool okAddress = false;
        bool okChannel = false;
        const int a = part.section(':', 0, 0).toInt(&okAddress);
        const int ch = part.section(':', 1, 1).toInt(&okChannel);
        if (!okAddress || !okChannel || !seen.contains(a) || ch < 1 || ch > 8) {
            *message = QStringLiteral("--stuck takes ADDR:CHANNEL of a listed module, not %1")
                           .arg(part);
            return false;
        }
        o.config.stuck << qMakePair(a, ch);
    }
    if (!number(p, "subnet", 0, 65534, &subnet, message) ||
        !number(p, "udp-port", 1, 65535, &o.udpPort, message) ||
        !number(p, "reply-port", 0, 65535, &o.replyPort, message) ||
        !number(p, "baud", 0, 4000000, &o.baud, message) ||
        !number(p, "ir-learn-ms", 0, 3600000, &o.config.irLearnMs, message) ||
        !number(p, "restore-ms", 0, 60000, &o.config.restoreMs, message) ||
        !number(p, "control-port", 1, 65535, &o.controlPort, message))
        return false;
    o.config.subnet = quint16(subnet);
    if (p.isSet("password")) {
        o.config.password = p.value("password");
        const QString& pw = o.config.password;
        if (pw.size() > 16 || QString::fromLatin1(pw.toLatin1()) != pw) {
            *message = QStringLiteral("--password: at most 16 Latin-1 characters");
            return false;
        }
    }
    if (p.isSet("udp-host")) {
        const QString host = p.value("udp-host");
        o.udpHost = host == QLatin1String("localhost") ? QStringLiteral("127.0.0.1") : host;
        const QHostAddress address(o.udpHost);
        if (address.isNull() || !address.isLoopback()) {
            *message = QStringLiteral("--udp-host %1: only loopback addresses").arg(host);
            return false;
        }
    }
    o.udp = !p.isSet("no-udp");
    o.udpBroadcast = p.isSet("udp-broadcast");
    if (o.udpBroadcast && !o.udp) {
        *message = QStringLiteral("--udp-broadcast needs UDP");
        return false;
    }
    o.serial = p.isSet("serial");
    o.serialDevice = p.value("serial-device");
    o.longSerial = p.isSet("long-serial");
    o.pcapFile = p.value("pcap");
    *out = o;
    return true;
}

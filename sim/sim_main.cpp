// velm-sim: the simulated installation, reached on loopback UDP and on a pseudo-terminal
// (where the system has one).
#include "sim/control_interface.h"
#include "sim/control_server.h"
#include "sim/fault_injector.h"
#include "sim/installation.h"
#include "sim/serial_endpoint.h"
#include "sim/sim_options.h"
#include "sim/traffic_log.h"
#include "sim/udp_endpoint.h"

#include "link/capture_writer.h"
#include "platform/terminal.h"

#include <QCoreApplication>
#include <QHostAddress>

#include <cstdio>
#include <memory>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("velm-sim"));
    terminal::reportClosedPipes();

    SimOptions options;
    QString message;
    bool help = false;
    if (!SimOptions::parse(app.arguments(), &options, &message, &help)) {
        std::fprintf(help ? stdout : stderr, "%s\n", qPrintable(message));
        return help ? 0 : 2;
    }
    const bool serialAsked = options.serial || !options.serialDevice.isEmpty();
    if (serialAsked && !SerialEndpoint::unavailableReason().isEmpty()) {
        std::fprintf(stderr, "serial: %s\n", qPrintable(SerialEndpoint::unavailableReason()));
        return 2;
    }

    const TrafficLog log;
    CaptureWriter capture;
    if (!options.pcapFile.isEmpty()) {
        if (!capture.open(options.pcapFile)) {
            std::fprintf(stderr, "pcap: %s\n", qPrintable(capture.errorString()));
            return 1;
        }
        log.line(
            QStringLiteral("pcap: %1 (%2)").arg(options.pcapFile, CaptureWriter::passwordNote()));
    }
    CaptureWriter* const captureOrNone = capture.isOpen() ? &capture : nullptr;
    FaultInjector faults;
    Installation installation(options.config);
    QObject::connect(&installation, &Installation::busFrame, &installation,
                     [&log](const QByteArray& frame) {
                         log.frame(QStringLiteral("bus"), QStringLiteral("module"), frame);
                     });

    std::unique_ptr<UdpEndpoint> udp;
    if (options.udp) {
        udp = std::make_unique<UdpEndpoint>(installation, faults, log);
        udp->setCapture(captureOrNone);
        if (!udp->listen(QHostAddress(options.udpHost), quint16(options.udpPort), &message)) {
            std::fprintf(stderr, "udp: %s\n", qPrintable(message));
            return 1;
        }
        if (options.udpBroadcast && !udp->listenBroadcast(&message)) {
            std::fprintf(stderr, "udp-broadcast: %s\n", qPrintable(message));
            return 1;
        }
        if (options.replyPort >= 0 && !udp->replyFrom(quint16(options.replyPort), &message)) {
            std::fprintf(stderr, "udp: %s\n", qPrintable(message));
            return 1;
        }
        log.line(QStringLiteral("udp: %1:%2").arg(udp->address().toString()).arg(udp->port()));
        if (options.replyPort >= 0)
            log.line(QStringLiteral("udp replies from: %1:%2")
                         .arg(udp->address().toString())
                         .arg(udp->replyPort()));
        if (options.udpBroadcast)
            log.line(QStringLiteral("udp broadcast: 255.255.255.255:%1").arg(udp->port()));
    }
    std::unique_ptr<SerialEndpoint> serial;
    if (serialAsked) {
        serial = std::make_unique<SerialEndpoint>(installation, faults, log, options.longSerial,
                                                  options.baud);
        serial->setCapture(captureOrNone);
        const bool ok = options.serialDevice.isEmpty()
                            ? serial->openPty(&message)
                            : serial->openDevice(options.serialDevice, &message);
        if (!ok) {
            std::fprintf(stderr, "serial: %s\n", qPrintable(message));
            return 1;
        }
        log.line(QStringLiteral("serial: %1").arg(serial->path()));
    }

    ControlInterface control(installation, faults);
    ControlServer server(control);
    QObject::connect(&server, &ControlServer::quitRequested, &app, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    server.readStdin();
    if (options.controlPort > 0) {
        if (!server.listen(quint16(options.controlPort), &message)) {
            std::fprintf(stderr, "control: %s\n", qPrintable(message));
            return 1;
        }
        log.line(QStringLiteral("control: 127.0.0.1:%1").arg(server.port()));
    }
    log.line(QStringLiteral("ready"));
    return app.exec();
}

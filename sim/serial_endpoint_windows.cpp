#include "sim/serial_endpoint.h"

// Windows has no pseudo-terminal to offer the tool, and a second program on a real COM port
// is no simulation: the simulator is reached on loopback UDP there.
QString SerialEndpoint::unavailableReason() {
    return QStringLiteral("the serial mode needs a pseudo-terminal, which Windows does not "
                          "have: use loopback UDP (the default; --udp-port)");
}

SerialEndpoint::~SerialEndpoint() = default;

bool SerialEndpoint::openPty(QString* error) {
    *error = unavailableReason();
    return false;
}

bool SerialEndpoint::openDevice(const QString&, QString* error) {
    *error = unavailableReason();
    return false;
}

bool SerialEndpoint::isOpen() const {
    return false;
}

qsizetype SerialEndpoint::writeLine(const QByteArray&) {
    return -1;
}

#include "platform/serial_device.h"

#include <QRegularExpression>
#include <QSerialPortInfo>

#include <sys/stat.h>

namespace serial_device {

// In this order: the environment variable VELM_<NAME> (VELM_COM1=/dev/pts/4) when set; a name
// starting with "/" is already a path; "COMn" is the n-th USB serial adapter: Linux
// /dev/ttyUSB<n-1>, macOS /dev/cu.usbserial (COM1) and /dev/cu.usbserial<n>; any other name is
// taken as a device under /dev.
QString path(const QString& commName) {
    static const QRegularExpression envSafe(QStringLiteral("^[A-Za-z0-9_]+$"));
    if (envSafe.match(commName).hasMatch()) {
        const QByteArray variable = "VELM_" + commName.toUpper().toLatin1();
        const QString override = qEnvironmentVariable(variable.constData());
        if (!override.isEmpty())
            return override;
    }
    if (commName.startsWith(QLatin1Char('/')))
        return commName;
    static const QRegularExpression com(QStringLiteral("^COM([1-9][0-9]*)$"),
                                        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = com.match(commName);
    if (m.hasMatch()) {
        const int n = m.captured(1).toInt();
#ifdef Q_OS_MACOS
        return n == 1 ? QStringLiteral("/dev/cu.usbserial")
                      : QStringLiteral("/dev/cu.usbserial%1").arg(n);
#else
        return QStringLiteral("/dev/ttyUSB%1").arg(n - 1);
#endif
    }
    return QStringLiteral("/dev/") + commName;
}

QString listedName(const QSerialPortInfo& info) {
    return info.systemLocation();
}

bool isCharacterDevice(qintptr handle) {
    struct stat st {};
    return ::fstat(int(handle), &st) == 0 && S_ISCHR(st.st_mode);
}

} // namespace serial_device

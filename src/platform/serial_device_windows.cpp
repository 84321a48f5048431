#include "platform/serial_device.h"

#include <QSerialPortInfo>

#include <windows.h>

namespace serial_device {

// The name is the device ("COM3"); whoever opens it adds the device namespace prefix that
// COM10 and up need.
QString path(const QString& commName) {
    return commName;
}

QString listedName(const QSerialPortInfo& info) {
    return info.portName();
}

bool isCharacterDevice(qintptr handle) {
    return GetFileType(reinterpret_cast<HANDLE>(handle)) == FILE_TYPE_CHAR;
}

} // namespace serial_device

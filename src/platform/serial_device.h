#pragma once

#include <QString>

class QSerialPortInfo;

// How a "Com" name of the window reaches a serial device on this system, and how a device the
// system lists is named in the "Com" list.
namespace serial_device {

// The device a "Com" name opens (see the README's serial port names).
QString path(const QString& commName);
// The name a listed port gets in the "Com" list.
QString listedName(const QSerialPortInfo& info);
// Whether an open handle (a descriptor, or a Windows HANDLE) is a character device.
bool isCharacterDevice(qintptr handle);

} // namespace serial_device

#include "protocol/module_admin_requests.h"

#include "link/bus.h"

#include <algorithm>

namespace moduleadmin {

namespace {
constexpr quint8 kModule = 0x00;
constexpr quint8 kAll = 0xFF;
constexpr int kFirstData = 7;
} // namespace

Request readAddress() {
    return {kAll, kModule, 0x05};
}
Request setAddress(int newAddress) {
    return {kAll, kModule, 0x00, {quint8(newAddress)}};
}
Request test(int module) {
    return {quint8(module), kModule, 0x09};
}
Request readType(int module) {
    return {quint8(module), kModule, 0x06};
}
Request readVersion(int module) {
    return {quint8(module), kModule, 0x07};
}
Request restore(int module) {
    return {quint8(module), kModule, 0x0A};
}

QString typeText(const Reply& reply) {
    return QStringLiteral("%1%2")
        .arg(reply[7], 2, 16, QLatin1Char('0'))
        .arg(reply[8], 2, 16, QLatin1Char('0'))
        .toUpper();
}

QString versionText(const Reply& reply) {
    // Every data byte of the reply; the length byte is the device's word, so the text
    // never reaches past the reply area.
    const int count = std::min(int(reply[2]) - 9, FrameBuffer::kAreaSize - kFirstData);
    if (count <= 0)
        return QString();
    const auto* data = reinterpret_cast<const char*>(reply.data() + kFirstData);
    return QString::fromLatin1(data, count);
}

} // namespace moduleadmin

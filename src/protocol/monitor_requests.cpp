#include "protocol/monitor_requests.h"

#include "link/frame_buffer.h"

#include <algorithm>

namespace monitor {

namespace {
constexpr quint8 kCommand = 0x00;
constexpr quint8 kSetBinding = 0x0E;
constexpr quint8 kReadBinding = 0x10;
constexpr int kLastLight = 64;
constexpr int kLastCurtain = 96;
constexpr int kAcGroup = 4; // slots of one air conditioner
} // namespace

TypeCode typeCode(int slot) {
    if (slot < 1 || slot > kSlotCount)
        return kNoType;
    if (slot <= kLastLight)
        return kLight;
    if (slot <= kLastCurtain)
        return kCurtain;
    return kAirConditioner;
}

int firstSlot(const QString& deviceType) {
    if (deviceType == QLatin1String("Light"))
        return 1;
    if (deviceType == QLatin1String("Curtain"))
        return kLastLight + 1;
    if (deviceType == QLatin1String("AC"))
        return kLastCurtain + 1;
    return 0;
}

int lastSlot(const QString& deviceType) {
    if (deviceType == QLatin1String("Light"))
        return kLastLight;
    if (deviceType == QLatin1String("Curtain"))
        return kLastCurtain;
    if (deviceType == QLatin1String("AC"))
        return kSlotCount;
    return 0;
}

quint8 deviceByte(int slot, int deviceNo) {
    if (typeCode(slot) == kAirConditioner)
        return quint8((deviceNo - 1) * 16 + (slot - 1) % kAcGroup);
    return quint8(deviceNo - 1);
}

Request set(const Slot& slot, int module, int channel, int irNo) {
    const Binding b = setBinding(slot.order, module, channel, irNo);
    const int value = typeCode(slot.order) == kAirConditioner ? b.channel : b.channel - 1;
    return {kGateway,
            kCommand,
            kSetBinding,
            {typeCode(slot.order), (slot.roomNo - 1) & 0xFF, deviceByte(slot.order, slot.deviceNo),
             module & 0xFF, value & 0xFF}};
}

Request read(const Slot& slot) {
    return {
        kGateway,
        kCommand,
        kReadBinding,
        {typeCode(slot.order), (slot.roomNo - 1) & 0xFF, deviceByte(slot.order, slot.deviceNo)}};
}

Binding setBinding(int slot, int module, int channel, int irNo) {
    return {module, typeCode(slot) == kAirConditioner ? irNo : channel};
}

Binding readBinding(int slot, quint8 module, quint8 value) {
    return {module, typeCode(slot) == kAirConditioner ? int(value) : int(value) + 1};
}

} // namespace monitor

namespace bindtest {

namespace {
constexpr quint8 kScene = 0x01;
constexpr quint8 kLight = 0x02;
constexpr quint8 kCurtain = 0x03;
constexpr quint8 kAirConditioner = 0x04;
constexpr quint8 kStatus = 0x80;  // the read-status frames of lights and curtains
constexpr quint8 kFixed = 0x01;   // byte 4 of every frame
constexpr int kFrameOverhead = 4; // two header bytes, the length byte and the sum byte

QByteArray device(quint8 kind, int room, int device) {
    QByteArray p;
    p.append(char(kind)).append(char(kFixed)).append(char(room - 1)).append(char(device - 1));
    return p;
}
} // namespace

QByteArray light(int room, int dev, bool on) {
    return device(kLight, room, dev) + char(on ? 1 : 0);
}

QByteArray lightStatus(int room, int dev) {
    return device(kStatus | kLight, room, dev);
}

QByteArray curtain(int room, int dev, CurtainMove move) {
    return device(kCurtain, room, dev) + char(int(move));
}

QByteArray curtainStatus(int room, int dev) {
    return device(kStatus | kCurtain, room, dev);
}

QByteArray airConditioner(int room, int dev, AcMode mode) {
    // Power, then the mode bytes the unit takes; 0xFF stands for no value.
    static const char modes[4][4] = {{'\x01', '\x03', '\xFF', '\xFF'},
                                     {'\x01', '\x03', '\x04', '\xFF'},
                                     {'\x01', '\x00', '\x03', '\xFF'},
                                     {'\x00', '\xFF', '\xFF', '\xFF'}};
    return device(kAirConditioner, room, dev) + QByteArray(modes[int(mode)], 4);
}

QByteArray scene(int number) {
    QByteArray p;
    p.append(char(kScene)).append(char(kFixed)).append(char(number));
    return p;
}

void write(FrameBuffer& buffer, const QByteArray& payload) {
    const int n = std::min(int(payload.size()) + kFrameOverhead, FrameBuffer::kAreaSize);
    buffer.request(2) = quint8(n);
    for (int i = 0; i < n - kFrameOverhead; ++i)
        buffer.request(3 + i) = quint8(payload[i]);
}

StatusReport statusReport(quint8 kind, quint8 state) {
    if (state > 1)
        return {};
    if (kind == (kStatus | kLight))
        return {StatusReport::Light, state == 1};
    if (kind == (kStatus | kCurtain))
        return {StatusReport::Curtain, state == 1};
    return {};
}

} // namespace bindtest

#include "protocol/light_requests.h"

#include "link/bus.h"

namespace light {

namespace {
constexpr quint8 kLight = 0x02;
constexpr quint8 kModule = 0x00;
constexpr quint8 kAll = 0xFF;
constexpr quint8 kFixed = 0xFF; // fixed parameter byte after the channel
constexpr int kFirstStateByte = 8;

quint8 wireChannel(int channel) {
    return quint8(channel - 1);
}
} // namespace

Request on(int module, int channel) {
    return {quint8(module), kLight, 0x01, {wireChannel(channel), kFixed}};
}

Request off(int module, int channel) {
    return {quint8(module), kLight, 0x02, {wireChannel(channel), kFixed}};
}

Request toggle(int module, int channel) {
    return {quint8(module), kLight, 0x03, {wireChannel(channel), kFixed}};
}

Request allOn() {
    return {kAll, kLight, 0x04, {kAll, kFixed}};
}

Request allOff() {
    return {kAll, kLight, 0x05, {kAll, kFixed}};
}

Request onDuration(int module, int channel, int seconds) {
    return {quint8(module),
            kLight,
            0x00,
            {wireChannel(channel), (seconds >> 8) & 0xFF, seconds & 0xFF}};
}

Request readStatus(int module) {
    return {quint8(module), kModule, 0x08};
}

QList<bool> channelStates(const Reply& reply) {
    QList<bool> states;
    if (reply[7] != 1)
        return states;
    // The state bytes sit between reply byte 7 and the checksum; the length byte is the
    // device's word, so reading stops at the end of the reply area.
    const int count = int(reply[2]) - 10;
    for (int i = 0; i < count && kFirstStateByte + i < FrameBuffer::kAreaSize; ++i)
        states << ((reply[kFirstStateByte + i] & 0x01) != 0);
    return states;
}

int relayDelayCount(int microseconds) {
    return microseconds * 3 / 2;
}

Request relayDelay(int microseconds) {
    const int count = relayDelayCount(microseconds);
    return {kAll, kModule, 0x0D, {0, (count >> 8) & 0xFF, count & 0xFF}};
}

} // namespace light

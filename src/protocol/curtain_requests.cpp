#include "protocol/curtain_requests.h"

#include "protocol/light_requests.h"

namespace curtain {

namespace {
constexpr quint8 kCurtain = 0x01;
constexpr quint8 kAll = 0xFF;
constexpr quint8 kFixed = 0xFF; // fixed parameter byte after the channel

Request single(int module, quint8 subCommand, int channel) {
    return {quint8(module), kCurtain, subCommand, {quint8(channel - 1), kFixed}};
}

Request everyModule(quint8 subCommand) {
    return {kAll, kCurtain, subCommand, {kAll, kFixed}};
}
} // namespace

Request open(int module, int channel) {
    return single(module, 0x01, channel);
}
Request close(int module, int channel) {
    return single(module, 0x02, channel);
}
Request stop(int module, int channel) {
    return single(module, 0x03, channel);
}
Request allOpen() {
    return everyModule(0x04);
}
Request allClose() {
    return everyModule(0x05);
}
Request allStop() {
    return everyModule(0x06);
}

Request travelTime(int module, int channel, int tenths) {
    const int ms = tenths * 100;
    return {quint8(module), kCurtain, 0x00, {quint8(channel - 1), (ms >> 8) & 0xFF, ms & 0xFF}};
}

Request readStatus(int module) {
    return light::readStatus(module);
}

} // namespace curtain

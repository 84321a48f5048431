#include "protocol/scene_requests.h"

#include "records/records_values.h"

#include <algorithm>

namespace scene {

namespace {
constexpr quint8 kModuleCommand = 0x00;
constexpr quint8 kSet = 0x02;
constexpr quint8 kClear = 0x03;
constexpr quint8 kTest = 0x04;
constexpr quint8 kEveryModule = 0xFF;
constexpr quint8 kNone = 0xFF;

Request withTable(int module, int sceneNo, const QList<int>& values, int count,
                  quint8 (*byteOf)(int)) {
    QByteArray params(1, char(sceneNo));
    const int sent = std::clamp(count, 0, std::min(kChannels, int(values.size())));
    for (int k = 0; k < sent; ++k)
        params.append(char(byteOf(values.at(k))));
    return {quint8(module), kModuleCommand, kSet, params};
}

quint8 irByte(int irNo) {
    return quint8(irNo);
}
} // namespace

const QStringList& targetItems() {
    return records_values::sceneTargets();
}

quint8 targetByte(int itemIndex) {
    switch (itemIndex) {
    case 0:
        return 0x00;
    case 1:
        return 0x01;
    default:
        return kNone;
    }
}

QString irChannelText(int irNo) {
    return records_values::irChannelText(irNo);
}

Request setTargets(int module, int sceneNo, const QList<int>& itemIndices, int count) {
    return withTable(module, sceneNo, itemIndices, count, targetByte);
}

Request setIr(int module, int sceneNo, const QList<int>& irNumbers, int count) {
    return withTable(module, sceneNo, irNumbers, count, irByte);
}

Request test(int sceneNo) {
    return {kEveryModule, kModuleCommand, kTest, {kNone, quint8(sceneNo)}};
}

Request clearAll(int module, int sceneNo) {
    return {quint8(module), kModuleCommand, kClear, {quint8(sceneNo)}};
}

} // namespace scene

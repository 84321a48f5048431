#include "protocol/ir_requests.h"

namespace ir {

namespace {
constexpr quint8 kIr = 0x03;
constexpr quint8 kAllCodes = 0xFF;

Request code(int module, quint8 subCommand, int irNo) {
    return {quint8(module), kIr, subCommand, {0x00, quint8(irNo)}};
}
} // namespace

Request learn(int module, int irNo) {
    return code(module, 0x00, irNo);
}
Request exitLearning(int module, int irNo) {
    return code(module, 0x01, irNo);
}
Request removeOne(int module, int irNo) {
    return code(module, 0x02, irNo);
}
Request removeAll(int module) {
    return code(module, 0x03, kAllCodes);
}
Request send(int module, int irNo) {
    return code(module, 0x04, irNo);
}

} // namespace ir

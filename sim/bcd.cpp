#include "sim/bcd.h"

#include "sim/sim_types.h"

namespace bcd {

quint8 encode(int value) {
    return quint8(((value / 10) % 10) << 4 | (value % 10));
}

int decode(quint8 byte) {
    const int hi = byte >> 4;
    const int lo = byte & 0x0F;
    if (hi > 9 || lo > 9)
        return -1;
    return hi * 10 + lo;
}

} // namespace bcd

bool isEventActionPair(quint8 command, quint8 sub) {
    switch (command) {
    case 0x01:
    case 0x02:
        return sub >= 1 && sub <= 3;
    case 0x00:
        return sub == 0x04;
    case 0x03:
        return sub == 0x04;
    case 0xFF:
        return sub == 0xFF;
    default:
        return false;
    }
}

bool isInputActionPair(quint8 command, quint8 sub) {
    return isEventActionPair(command, sub) || (command == 0x05 && sub == 0x02);
}

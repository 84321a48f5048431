#include "protocol/module_kind.h"

namespace modulekind {

Kind fromTypeCode(const QString& type) {
    bool ok = false;
    const uint code = type.toUInt(&ok, 16);
    if (type.size() != 4 || !ok)
        return Unknown;
    switch (code >> 8) {
    case 0x01:
        return Light;
    case 0x02:
        return Curtain;
    case 0x03:
        return Ir;
    case 0x04:
        return Input;
    case 0x05:
        return Timer;
    case 0x0A:
        return BusSwitch;
    default:
        return Unknown;
    }
}

} // namespace modulekind

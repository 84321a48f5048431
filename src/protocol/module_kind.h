#pragma once

#include <QString>

// The kind of module a type code stands for: its high byte names the kind (0108 is an
// eight-channel light module, 040E a fourteen-input module, 0A01 the bus switch).
namespace modulekind {

enum Kind : unsigned {
    Unknown = 0,
    Light = 1u << 0,
    Curtain = 1u << 1,
    Ir = 1u << 2,
    Input = 1u << 3,
    Timer = 1u << 4,
    BusSwitch = 1u << 5,
    Any = ~0u,
};

// Unknown for an empty text, one that is not four hexadecimal digits, or a kind not known.
Kind fromTypeCode(const QString& type);

} // namespace modulekind

#pragma once

#include <QtGlobal>

// Two decimal digits packed in one byte, as the modules keep dates and times.
namespace bcd {
quint8 encode(int value);
// The decimal value, or -1 when a nibble is not a decimal digit.
int decode(quint8 byte);
} // namespace bcd

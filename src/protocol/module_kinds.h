#pragma once

#include <QString>
#include <QStringList>

// What a module is, told by its type code. The code's high byte names the family (01 light,
// 02 curtain, 03 IR, 04 input, 05 timer) and its low byte the number of channels; the gateway
// and codes outside these families are "other". The window still shows the code as digits.
namespace modulekind {

enum class Kind { Other, Light, Curtain, Ir, Input, Timer };

// "0108" → Light; an empty or unknown code → Other.
Kind ofType(const QString& typeCode);
// The channel count of a light or curtain module's code (at most 8 and 4); 0 otherwise.
int channels(const QString& typeCode);
// "light", "curtain", "ir", "input", "timer", "other".
QString name(Kind kind);
// The words a technician may give for a family.
const QStringList& names();
// A family's name or a type code of four hexadecimal digits, made upper-case; empty when
// `text` is neither.
QString expectation(const QString& text);
// Whether a module answering `typeCode` is what `expected` says: the same code, or a code of
// the family named.
bool fits(const QString& expected, const QString& typeCode);

} // namespace modulekind

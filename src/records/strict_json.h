#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// A strict reading of JSON text (RFC 8259) before Qt's own reader, which takes more than JSON:
// raw control characters in strings, lone surrogates, invalid UTF-8, numbers like "1." and
// integers beyond 64 bits (which it rounds or clamps). Everything here is refused with the line
// it stands on, and so is a name that one object holds twice (Qt would keep the last) and a
// number that would not be read as exactly the number written.
namespace strict_json {

struct Fault {
    int line = 1; // 1-based
    QString what; // "a raw control character in a text"
};

// Nothing when `bytes` is one JSON text (a leading UTF-8 byte-order mark aside) that Qt's
// reader takes exactly as written.
std::optional<Fault> check(const QByteArray& bytes);

// The same JSON text with every U+FEFF after its first byte written as "\ufeff": Qt's reader
// drops the raw character from the start of a text (a name that begins with it would lose
// it), never the escape. A byte-order mark that starts the file stays as it is. For what is
// written and for what is read.
QByteArray byteOrderMarksEscaped(const QByteArray& json);

} // namespace strict_json

#pragma once

#include <QString>

// A text from a file or the command line as a message, a terminal or the report shows it:
// control characters escaped ("\x1b", "\n", "\t"), and so are the characters that turn text
// around or break it out of its line (bidi overrides "\u202e", line separators, U+FEFF),
// so that a crafted value can neither drive the terminal nor split or reorder the message.
// Everything else, backslashes included, stays as it is; escaping twice changes nothing.
namespace visible_text {

QString escaped(const QString& text);
// A value in quotes, cut after 40 characters: "Hall lights".
QString quoted(const QString& text);

} // namespace visible_text

#pragma once

#include <QString>

class QLineEdit;
class QWidget;

// Field widths by content: a field is as wide as what it holds, not as its grid column.
namespace form {

// The edit is as wide as this text needs (its widest value), whatever its column.
void fitWidth(QLineEdit* field, const QString& widest);
// The field keeps the width its own contents ask for (spin edits, pick-lists, date pickers).
void keepWidth(QWidget* field);

} // namespace form

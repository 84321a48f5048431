#pragma once

#include <QObject>

class QLineEdit;

// The key filters of the numeric edit boxes. A key that is not accepted is discarded before
// it reaches the edit; keys that type nothing (arrows, Delete) always pass.
class KeyFilter : public QObject {
    Q_OBJECT
public:
    enum Kind {
        Edit4KeyPress, // backspace, digits, "."
        Edit5KeyPress, // backspace, digits
        Edit6KeyPress, // backspace, digits
        Edit7KeyPress, // backspace, hexadecimal digits
        Edit9KeyPress, // backspace, digits
    };

    // Installs the filter of that kind on the edit; the filter lives as long as the edit.
    static void install(QLineEdit* edit, Kind kind);
    static bool accepts(Kind kind, QChar key);
    // True when every character of the text is accepted (an empty text is).
    static bool accepts(Kind kind, const QString& text);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    KeyFilter(Kind kind, QObject* parent);
    Kind m_kind;
};

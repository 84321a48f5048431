#pragma once

#include <QObject>

class QLineEdit;

// The key filters of the numeric edit boxes. A typed character that is not accepted is
// discarded before it reaches the edit. Keys that type nothing pass: editing keys (arrows,
// Home, End, Delete, Tab) and shortcuts (select all, copy, cut, paste, undo, redo). Text that
// arrives in one piece (pasted, dropped, middle-clicked) keeps only the accepted characters.
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
    // The text with every character the edit does not accept left out.
    static QString filtered(Kind kind, const QString& text);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    KeyFilter(Kind kind, QLineEdit* edit);
    bool keyPress(class QKeyEvent* key);
    bool drop(class QDropEvent* drop);
    void showContextMenu(const QPoint& globalPos);
    // Inserts the accepted part of the text at the cursor, over the selection if there is one.
    void insertFiltered(const QString& text);

    Kind m_kind;
    QLineEdit* m_edit;
};

#pragma once

#include <QByteArray>
#include <QString>

// Walks a JSON text that strict_json::check() has taken already, value by value, without
// building a document: a records file of a million rows is read one row at a time. It looks
// for no faults; on a text that was not checked it reads nonsense but never past the end.
class JsonWalker {
public:
    enum class Kind { Object, List, Text, Number, True, False, Null, End };

    // A value that is not a list or an object, as read; a list or an object only by its kind.
    struct Scalar {
        Kind kind = Kind::Null;
        QString text;      // a text
        QByteArray number; // a number as written (the walked text's own bytes, not a copy)
    };

    // `at`: where a value starts (a leading byte-order mark of the file is passed by).
    explicit JsonWalker(const QByteArray& bytes, qsizetype at = 0);

    qsizetype at() const { return m_pos; }
    // The kind of the value that comes next (blanks passed).
    Kind kind();
    // Into the list or object that comes next.
    void enter();
    // Inside a list or object: true, and at the next item (at a member's name), when one
    // follows; false, and past the closing bracket, when none does.
    bool next();
    // A member's name, and past the ':' after it.
    QString name();
    // The same without decoding: the file's bytes of a name that holds no escape, with
    // `plain` true; otherwise the bytes with escapes as written and `plain` false.
    QByteArrayView rawName(bool* plain);
    // UTF-8 bytes as a text, U+FEFF kept wherever it stands (QString::fromUtf8 drops a
    // leading one).
    static QString decoded(QByteArrayView utf8);
    // A name rawName() gave, as a text.
    static QString nameText(QByteArrayView raw, bool plain);
    Scalar scalar();
    // Past the value that comes next, whatever it is.
    void skip();

private:
    char peek() const { return m_pos < m_bytes.size() ? m_bytes[m_pos] : '\0'; }
    void blanks();
    QString text();

    const QByteArray& m_bytes;
    qsizetype m_pos = 0;
};

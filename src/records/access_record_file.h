#pragma once

#include <QList>
#include <QString>
#include <QVariant>

// A record file in the Access format (Jet 4, "VELM.mdb" as sites kept it before our own
// file), read whole: its user tables, their columns with their Jet types, every row in the
// order the file stores them. Values: null, a whole number (qint64) for Byte, Integer, Long
// and whole Currency, a double for Single, Double and other Currency, a text for Text and
// Memo (decoded from the stored bytes, so that empty stays empty, NULL stays NULL and
// characters beyond the basic plane survive); other types read as null, for the caller
// refuses them by type.
class AccessRecordFile {
public:
    enum class Kind { Whole, Fraction, Currency, Text, Memo, Other };
    struct Column {
        QString name;
        Kind kind = Kind::Other;
        QString typeName; // "Long Integer", "Text", "Yes/No", ... for messages
        bool autonumber = false;
    };
    struct Table {
        QString name;
        QList<Column> columns;
        QList<QVariantList> rows;
    };

    // What the first bytes of a file say it is.
    enum class Format { NotAccess, Jet3, Jet4, Accdb };
    // Reads the file's first page header only; a file that can not be read is NotAccess.
    static Format formatOf(const QString& path);
    // The same from a file's first bytes (at least 0x15 of them).
    static Format formatOfHeader(const QByteArray& head);
    // What start-up, export, backup and the report say of such a file instead of "not an
    // SQLite file": what it is and how it becomes a record file.
    static QString whatItIs(const QString& shownPath, Format format);

    // Reads a Jet 4 file. Throws RecordError: unreadable, not Jet 4 (a Jet 3 or .accdb file,
    // named as such), held open by Access (its lock file beside it), damaged.
    static AccessRecordFile read(const QString& path);

    const QList<Table>& tables() const { return m_tables; }

    // Jet 4 text as stored: FF FE starts compressed text, where a 0x00 byte switches between
    // one-byte and two-byte runs; anything else is UTF-16LE.
    static QString decodeText(const QByteArray& stored);
    // The lock file Access keeps beside an open file: VELM.mdb -> VELM.ldb.
    static QString lockFileOf(const QString& path);

private:
    QList<Table> m_tables;
};

#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QVariant>

// Writes small record files in the Access format (Jet 4) for tests and benchmarks: the cases
// the fixtures lack (names in other cases, types our tables refuse, autonumber IDs out of
// order, texts led by U+FEFF, values that do not fit). Only what a reader needs is written: the
// header page, one page of usage maps, the catalog and per table its definition and data pages;
// no indexes, texts compressed as Access compresses them, memos inline.
class Jet4Writer {
public:
    // Column types by their Jet code.
    enum class Type {
        Boolean = 0x01,
        Byte = 0x02,
        Integer = 0x03,
        Long = 0x04,
        Currency = 0x05,
        Single = 0x06,
        Double = 0x07,
        DateTime = 0x08,
        Text = 0x0A,
        Memo = 0x0C,
    };
    struct Column {
        QString name;
        Type type = Type::Long;
        bool autonumber = false;
        int textLength = 255; // characters, Text only
    };
    struct Table {
        QString name;
        QList<Column> columns;
        // Values in column order: null, a number, a text; Currency takes a double; Boolean a
        // bool; DateTime a double (days since 1899-12-30).
        QList<QVariantList> rows;
    };

    void addTable(Table table) { m_tables << std::move(table); }
    // The whole file. Throws std::runtime_error for what Jet 4 can not hold (a row larger than
    // a page, a text that can not be stored unambiguously).
    QByteArray bytes() const;
    // Writes bytes() to `path`; false when it could not be written.
    bool save(const QString& path) const;

    // A text as a Jet 4 Text or Memo field holds it.
    static QByteArray storedText(const QString& text);

private:
    QList<Table> m_tables;
};

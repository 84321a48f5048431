#pragma once

#include <QByteArray>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <optional>

// Every row of the six record tables as the file holds it, read once through tables opened
// for reading only, with what of each row lies outside what its column may hold. A report
// shows a row as stored and says why it does not fit; it never mends one.
struct ReportRecords {
    // One row: its cells by column name, in grid order, and the first misfit ("Output_Addr
    // 257 does not fit (0..255)"); empty when the row fits.
    struct Row {
        QStringList columns;
        QVariantList values;
        QString unfit;

        QVariant value(const char* column) const;
        QString text(const char* column) const;
        // The number a cell holds; nothing for an empty cell or a text that is no number.
        std::optional<int> number(const char* column) const;
    };

    QString file;   // absolute path
    QString sha256; // of the file's bytes, hexadecimal
    QList<Row> scenes;
    QList<Row> irCodes;
    QList<Row> timers;
    QList<Row> events;
    QList<Row> bindings;
    QList<Row> monitor;

    // Reads the file; throws RecordError when it or one of its tables cannot be read.
    static ReportRecords load(const QString& databaseFile);

    // The modules the records name, in address order: Module_Addr of scenes and IR codes,
    // Input_Addr of bindings, and the bus switch (255) when a monitor slot is bound. The
    // targets of bindings and events are no modules of their own.
    QList<int> owners() const;
    // The first 12 hexadecimal digits of sha256.
    QString shortSha() const { return sha256.left(12); }
};

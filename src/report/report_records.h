#pragma once

#include <QByteArray>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

#include <optional>

#include "report/packed_rows.h"

// Every row of the six record tables as the file holds it, read at one moment, with what of
// each row lies outside what its column may hold. A report shows a row as stored and says why
// it does not fit; it never mends one. The large tables are packed (PackedRows) and their rows
// handed out one at a time; scenes, IR codes and bindings grouped by their module.
struct ReportRecords {
    using Row = ReportRow;

    QString file;   // absolute path
    QString sha256; // of the file's bytes, hexadecimal
    PackedRows scenes;   // by Module_Addr
    PackedRows irCodes;  // by Module_Addr
    PackedRows timers;
    PackedRows events;
    PackedRows bindings; // by Input_Addr
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

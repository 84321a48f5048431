#pragma once

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

// One line of a site's history.jsonl: an action that changed a module or the records.
struct HistoryEntry {
    QDateTime time;     // local time; written ISO 8601 with its offset
    QString technician; // the site's
    QString program;    // "window" or "velm-cli"
    int module = -1;    // the module acted on; -1: none (the records alone)
    QString action;     // "set", "push", "delete-all", "import", ...
    QString detail;     // what, in words; never a password
    QString outcome;    // "ok" or "error: ..."

    static QString ok() { return QStringLiteral("ok"); }
    static QString error(const QString& why) { return QStringLiteral("error: ") + why; }
};

// The history file of a site. Each entry is one line written with one write() on a file
// opened for appending, so that the window and velm-cli can add to it at the same time and
// no line is ever cut into by another. A line cut short (a crash while writing it) is
// skipped when read.
namespace site_history {

// Appends one line. False, with the reason in `error`, when it could not be written.
bool append(const QString& file, const HistoryEntry& entry, QString* error = nullptr);
// The line as written, without its line end.
QByteArray line(const HistoryEntry& entry);
// An entry as the columns a person reads it in: time, technician, program, module, action,
// detail, outcome.
QStringList cells(const HistoryEntry& entry);

struct Read {
    QList<HistoryEntry> entries; // in file order
    int skipped = 0;             // lines that were no entry (cut short)
};
// The entries on or after `since` (null: all). A missing file holds none. Throws RecordError
// when the file exists but cannot be read.
Read read(const QString& file, const QDate& since = QDate());

} // namespace site_history

#pragma once

#include <QString>
#include <QStringList>

// The temporary files that a write cut short (a kill, a power cut) leaves beside the record
// file: the copies of a backup or restore point ("VELM.mdb.backup-….part-…" and their
// journals) and the "<name>.part-<token>" of any file written whole into the record file's
// folder (site files, history, walk-test results, exports). A file another program still
// writes (it holds a lock on it) is its own and stays. A conversion's half-made file is left to
// the next conversion, which removes it.
namespace leftover_parts {

// The leftovers beside `databaseFile`, by name.
QStringList find(const QString& databaseFile);

// Removes them; returns one line for each that could not be removed ("could not remove …: …").
QStringList sweep(const QString& databaseFile);

} // namespace leftover_parts

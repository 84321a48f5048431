#pragma once

#include "records/import_source.h"

#include <QDateTime>
#include <QString>

// Converting a record file in the Access format in place: the site's folder keeps the Access
// file under a new name, never written, and gets our own record file under the name the tool
// opens, with every row of the Access file imported (or set aside beside it).
namespace access_convert {

struct Result {
    QString kept; // "VELM.access-YYYYMMDD-HHMMSS.mdb": the Access file, as it was
    ImportSource source;
    import_source::Outcome outcome;
};

// The temporary name the new record file is built under, beside `file`.
QString partPath(const QString& file);
// "VELM.access-YYYYMMDD-HHMMSS.mdb" beside `file`.
QString keptPath(const QString& file, const QDateTime& when);

// Reads the Access file, builds the new record file under partPath() (one a convert that was
// cut short left there is removed first), imports into it, keeps the Access file under
// keptPath() and renames the new file over `file`. At every moment `file` is either the
// Access file or the whole new record file. Throws RecordError; then `file` is as it was.
Result convert(const QString& file, const QDateTime& when = QDateTime::currentDateTime());

} // namespace access_convert

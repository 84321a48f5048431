#pragma once

#include "records/record_table.h"
#include "records/records_file.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

// Import of a records exchange file into the record database.
//
// Replace: a chosen table's rows become the file's rows, in the file's order. Add: each row
// of the file overwrites the row it names (the same scene and module, the same timer, ... as
// the tool's own row writers match) or is added at the end when there is none. Monitor
// bindings never gain or lose a row: the file's rows set `Address` and `Channel` of the slots
// they name by `Order`, and replacing also clears (0, 0) the slots the file leaves out.
//
// All of an import is one transaction, and before it writes anything the database is backed
// up beside itself (a restore point). Bad input is refused whole; nothing is written then, nor
// backed up.
namespace records_import {

struct Options {
    QStringList tables; // empty: every table the file holds
    bool add = false;   // add to the rows instead of replacing them
    // The file's monitor rows set every column of the slots they name (not only the
    // binding), and the slots it leaves out keep theirs even when replacing: a site's own
    // record file knows its rooms and devices.
    bool slotsFromFile = false;
};

// What an import does to one table.
struct TableChange {
    QString table;
    int fileRows = 0;    // rows of the file for this table
    int gains = 0;       // rows added
    int loses = 0;       // rows removed
    int changes = 0;     // rows that stay but get other values
    bool writes = false; // the import writes the table (the same rows in another order too)
};

struct Result {
    QList<TableChange> tables; // in start-up order
    QString backup;            // the restore point's path; empty for a preview or an import that
                               // changed nothing
};

// The tables an import with `options` takes, in start-up order; throws RecordError for a
// chosen table that the file does not hold, or that holds unfit rows (naming them).
QList<const records_format::TableRows*> chosen(const RecordsFile& file, const Options& options);

// What the import would change in the database as it is now; writes nothing. Throws
// RecordError (a chosen table the file lacks, a slot `Order` the database lacks, the file
// cannot be read).
Result preview(const RecordsFile& file, const QString& databaseFile, const Options& options);

// An import that failed after it began to write. Whether the database is as it was before is
// looked at in the file after the rollback, never assumed.
class ImportFailure : public RecordError {
public:
    ImportFailure(const QString& text, bool unchanged)
        : RecordError(text), m_unchanged(unchanged) {}
    bool unchanged() const { return m_unchanged; }

private:
    bool m_unchanged;
};

// Whether the record database is known to be as before an import that failed with `error`:
// anything that stopped it before it wrote, or a rollback that the file confirms. A journal
// left beside the file is named in the message: then it is not.
bool leftUnchanged(const RecordError& error);

// Checks as preview() does, makes a restore point, and imports in one transaction: all of it
// or, on any failure, none of it. An import that would change nothing writes nothing and
// makes no restore point. After a failure the backup is removed again only when the
// file holds again what the backup holds; otherwise the message says where it stays (and
// an ImportFailure says whether the file is unchanged).
Result run(const RecordsFile& file, const QString& databaseFile, const Options& options,
           const QDateTime& when = QDateTime::currentDateTime());

// "gains 3, loses 1, changes 2"
QString describe(const TableChange& change);

} // namespace records_import

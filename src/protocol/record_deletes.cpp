#include "protocol/record_deletes.h"

#include "records/record_table.h"

namespace records {

int deleteEveryMatch(RecordTable& table, const RowMatch& match) {
    int removed = 0;
    table.first();
    // A delete makes the following row current; after the last row the cursor falls back on
    // a row already looked at and kept, so the walk still ends at the end of the table.
    while (!table.eof()) {
        if (match(table)) {
            table.deleteCurrent();
            ++removed;
        } else {
            table.next();
        }
    }
    return removed;
}

bool deleteFirstMatch(RecordTable& table, const RowMatch& match) {
    table.first();
    while (!table.eof() && !match(table))
        table.next();
    if (table.eof())
        return false;
    table.deleteCurrent();
    return true;
}

} // namespace records

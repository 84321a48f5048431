#pragma once

#include "records/record_table.h"

#include <QStringList>

namespace probe {

// Every visible row as "cell|cell|...", in the table's current order.
inline QStringList tableRows(const RecordTable& t) {
    QStringList out;
    for (int r = 0; r < t.rowCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < t.columns().size(); ++c)
            cells << t.valueAt(r, c).toString();
        out << cells.join('|');
    }
    return out;
}

} // namespace probe

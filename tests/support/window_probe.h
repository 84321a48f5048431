#pragma once

#include "records/record_table.h"

#include <QStringList>
#include <QWidget>

// Finding the tool's controls by their designer names, and reading a record table's rows,
// for the widget tests.
namespace probe {

template <class T> T* control(const QWidget* root, const QString& name) {
    T* w = root->findChild<T*>(name);
    if (!w)
        qFatal("no control %s", qPrintable(name));
    return w;
}

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

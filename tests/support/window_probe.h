#pragma once

#include "records/record_table.h"
#include "support/table_rows.h"

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

// With VELM_SCREENSHOT_DIR set, saves the widget there as NAME.png, for the README's pictures.
inline void screenshot(QWidget* w, const QString& name) {
    if (const QString dir = qEnvironmentVariable("VELM_SCREENSHOT_DIR"); !dir.isEmpty())
        w->grab().save(dir + QLatin1Char('/') + name + QStringLiteral(".png"));
}

} // namespace probe

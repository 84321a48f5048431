// What the grids see of a table: its columns, its cells, and which of them may be edited.
#include "records/record_table.h"

#include "records/record_table_private.h"
#include "records/records_values.h"

int RecordTable::columnCount() const {
    return int(d->columns().size());
}

QStringList RecordTable::columns() const {
    QStringList names;
    for (const QueryColumn& c : d->columns())
        names << c.name;
    return names;
}

bool RecordTable::isIntegerColumn(int column) const {
    return column >= 0 && column < d->columns().size() && d->columns()[column].integer;
}

QVariant RecordTable::valueAt(int row, int column) const {
    if (row < 0 || row >= d->rows.size() || column < 0 || column >= d->columns().size())
        return {};
    return d->rows.at(row).values.at(column);
}

void RecordTable::setCell(int row, int column, const QVariant& value) {
    d->requireOpen();
    if (row < 0 || row >= d->rows.size() || column < 0 || column >= d->columns().size())
        throw RecordError(
            QStringLiteral("No cell %1, %2 in %3").arg(row).arg(column).arg(d->tableName));
    const QString name = d->columns()[column].name;
    const bool integer = d->columns()[column].integer;
    bool ok = true;
    const int number = integer ? value.toString().trimmed().toInt(&ok) : 0;
    if (!ok)
        throw RecordError(
            QStringLiteral("'%1' is not a number for %2").arg(value.toString(), name));
    // An edit holds what the tool itself could have written there, or nothing changes.
    const QString why =
        records_values::problem(d->tableName, name, integer ? QVariant(number) : value.toString());
    if (!why.isEmpty())
        throw RecordError(why);
    setCurrentRow(row);
    if (integer)
        setField(name, number);
    else
        setField(name, value.toString());
    post();
}

void RecordTable::setEditableColumns(const QList<int>& columns) {
    d->editable = QSet<int>(columns.begin(), columns.end());
    d->model->flagsChanged();
}

bool RecordTable::isEditableColumn(int column) const {
    return d->editable.contains(column);
}

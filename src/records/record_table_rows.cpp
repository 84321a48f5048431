// The writes of one row that show without reading the table again, and the writes of every
// visible row at once.
#include "records/record_table.h"
#include "records/record_table_private.h"

#include <algorithm>

void RecordTable::placeCurrent() {
    post();
    if (d->atEof())
        return;
    const int row = d->cursor;
    const qint64 key = d->rows[row].key;
    // The row as the file holds it, if the filter still lets it through: one look by key.
    SqlClause where = d->visibleWhere();
    where.sql = d->sql.keyName() + QStringLiteral("=?") +
                (where.sql.isEmpty() ? QString() : QStringLiteral(" AND (%1)").arg(where.sql));
    where.values.prepend(key);
    QList<StoredRow> stored = d->sql.select(where, QString());
    if (stored.isEmpty()) {
        d->model->beginRemove(row);
        d->inModelChange = true;
        d->rows.removeAt(row);
        d->inModelChange = false;
        d->model->endRemove();
        d->moveTo(d->placeAfterLeaving(row), true);
        return;
    }
    StoredRow& held = d->rows[row];
    held.values = std::move(stored.front().values);
    const auto& rows = d->rows;
    const bool afterNext = row + 1 < rows.size() && !d->order.before(held, rows[row + 1]);
    const bool beforePrevious = row > 0 && !d->order.before(rows[row - 1], held);
    // Its place among the others, which keep their order.
    const auto before = [&](const StoredRow& r) { return d->order.before(r, rows[row]); };
    const int place =
        afterNext
            ? int(std::partition_point(rows.begin() + row + 1, rows.end(), before) - rows.begin()) -
                  1
        : beforePrevious
            ? int(std::partition_point(rows.begin(), rows.begin() + row, before) - rows.begin())
            : row;
    if (place == row) {
        d->model->rowChanged(row);
        d->moveTo(row, true);
        return;
    }
    d->model->beginMove(row, place);
    d->inModelChange = true;
    if (place > row)
        std::rotate(d->rows.begin() + row, d->rows.begin() + row + 1, d->rows.begin() + place + 1);
    else
        std::rotate(d->rows.begin() + place, d->rows.begin() + row, d->rows.begin() + row + 1);
    d->inModelChange = false;
    d->model->endMove();
    d->moveTo(place, true);
}

int RecordTable::deleteVisible() {
    post();
    int removed = 0;
    transaction([&] { removed = d->sql.removeWhere(d->visibleWhere()); });
    if (removed == d->rows.size()) {
        d->replaceRows({}, 0);
        d->moveTo(0, true);
    } else {
        d->reload(); // another program changed the rows since they were read
    }
    return removed;
}

int RecordTable::setVisible(const QStringList& columns, const QVariantList& values) {
    post();
    QList<int> indexes;
    for (const QString& c : columns)
        indexes << d->column(c);
    int changed = 0;
    transaction([&] { changed = d->sql.updateWhere(indexes, values, d->visibleWhere()); });
    d->reload();
    return changed;
}

#pragma once

// The inside of a RecordTable, shared by the files that implement it.
#include "records/record_model.h"
#include "records/record_order.h"
#include "records/record_query.h"
#include "records/record_sql.h"
#include "records/record_table.h"

#include <QSet>

#include <algorithm>

namespace record_table_detail {} // namespace record_table_detail

struct RecordTable::Private {
    explicit Private(const QString& name) : tableName(name), sql(name) {}

    QString tableName;
    RecordSql sql;
    QString file; // the database file, as opened; empty while closed
    bool readOnly = false;
    QString openError;       // why the last open failed
    qint64 dataVersion = -1; // the file's data_version when the rows were last read
    QList<StoredRow> rows;   // the visible rows, in sort order
    int cursor = 0;          // rows.size() is eof

    State state = State::Browse;
    StoredRow original; // the row as stored, while editing
    QSet<int> changed;  // columns set while editing
    int cursorBeforeAppend = 0;

    QString sort;
    QString orderSql;
    RecordOrder order; // the same sort, told in memory
    QString filter;
    SqlClause whereSql;
    bool filtered = false;

    QSet<int> editable;
    RecordTable* owner = nullptr;
    RecordModel* model = nullptr;
    int lastEmitted = -1;
    bool inModelChange = false; // the views are being told about a change

    bool atEof() const { return cursor >= rows.size(); }
    const QList<QueryColumn>& columns() const { return sql.columns(); }

    void requireOpen() const {
        if (!sql.isOpen())
            throw RecordError(
                openError.isEmpty()
                    ? QStringLiteral("The table %1 is not open").arg(tableName)
                    : QStringLiteral("The table %1 is not open: %2").arg(tableName, openError));
    }

    int column(const QString& name) const {
        requireOpen();
        return sql.column(name);
    }

    // Notes the file's data_version first: a commit of another program after it is seen by
    // the next reloadIfChangedElsewhere().
    QList<StoredRow> selectVisible() {
        dataVersion = sql.dataVersion();
        return sql.select(visibleWhere(), orderSql);
    }
    SqlClause visibleWhere() const { return filtered ? whereSql : SqlClause(); }

    void setSortSql(const QString& expression) {
        orderSql = record_query::orderBy(expression, columns());
        order = RecordOrder(record_query::sortKeys(expression, columns()));
    }

    // Moves the cursor (rows.size() is eof) and tells the views when the current row changed,
    // or always with `force` after the rows themselves changed.
    void moveTo(int row, bool force = false) {
        cursor = row < 0 || row > rows.size() ? int(rows.size()) : row;
        const int current = atEof() ? -1 : cursor;
        if (current != lastEmitted || force) {
            lastEmitted = current;
            emit owner->currentRowChanged(current);
        }
    }

    // Replaces the rows, telling the model; the views learn the cursor afterwards. The same
    // records in the same order (a row rewritten in place, as a read-all does a step) change
    // only their cells: the views keep their place and redraw just those rows.
    void replaceRows(QList<StoredRow> fresh, int place) {
        if (sameRecords(fresh)) {
            for (qsizetype i = 0; i < fresh.size(); ++i) {
                if (rows[i].values == fresh[i].values)
                    continue;
                rows[i].values = std::move(fresh[i].values);
                model->rowChanged(int(i));
            }
            cursor = place;
            return;
        }
        model->beginReload();
        inModelChange = true;
        rows = std::move(fresh);
        cursor = place;
        inModelChange = false;
        model->endReload();
    }

    bool sameRecords(const QList<StoredRow>& fresh) const {
        return !rows.isEmpty() && fresh.size() == rows.size() &&
               std::equal(fresh.begin(), fresh.end(), rows.begin(),
                          [](const StoredRow& a, const StoredRow& b) { return a.key == b.key; });
    }

    void reload();
    // Where the cursor goes when the row it stood on left the view: the same place, or the
    // new last row.
    int placeAfterLeaving(int place) const {
        return place < rows.size() ? place : rows.isEmpty() ? 0 : int(rows.size()) - 1;
    }

    // Changes the sort or filter settings and re-reads the rows; when the rows cannot be read
    // the settings stay as they were.
    template <class Change> void applyQuery(Change&& change) {
        const QString oldSort = sort, oldOrderSql = orderSql, oldFilter = filter;
        const RecordOrder oldOrder = order;
        const SqlClause oldWhere = whereSql;
        const bool oldFiltered = filtered;
        change();
        try {
            reload();
        } catch (const RecordError&) {
            sort = oldSort;
            orderSql = oldOrderSql;
            order = oldOrder;
            filter = oldFilter;
            whereSql = oldWhere;
            filtered = oldFiltered;
            throw;
        }
    }
};

#pragma once

#include "records/record_query.h"
#include "records/record_sql.h"

#include <QList>

// The order SQLite gives rows under a sort, told in memory: the sort's columns in turn, then
// the key. Values compare as the file holds them: nulls first, then numbers by value, then
// texts byte by byte (UTF-8), then anything else; DESC turns one column round. It lets a
// table put one written row where a re-read would, without reading the others.
class RecordOrder {
public:
    RecordOrder() = default;
    explicit RecordOrder(QList<SortKey> keys) : m_keys(std::move(keys)) {}

    bool before(const StoredRow& a, const StoredRow& b) const;
    // The place `row` takes among `rows`, which are in this order and do not hold it.
    qsizetype place(const QList<StoredRow>& rows, const StoredRow& row) const;

private:
    QList<SortKey> m_keys;
};

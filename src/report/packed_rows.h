#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QMap>
#include <QStringList>
#include <QVariant>

#include <functional>
#include <optional>

// One row of a record table as a report shows it: its cells by column name, in grid order,
// and the first misfit ("Output_Addr 257 does not fit (0..255)"); empty when the row fits.
struct ReportRow {
    QStringList columns;
    QVariantList values;
    QString unfit;

    QVariant value(const char* column) const;
    QString text(const char* column) const;
    // The number a cell holds; nothing for an empty cell or a text that is no number.
    std::optional<int> number(const char* column) const;
};

// The rows of one table packed into one block of bytes, each value as it was read (its type,
// a typed null included), and handed out one row at a time: a report of a million rows holds
// tens of bytes a row instead of a row of variants. Rows may be grouped by the number one
// column holds (a module address), so that a group is found without reading every row.
class PackedRows {
public:
    PackedRows() = default;
    explicit PackedRows(const QStringList& columns, const char* groupColumn = nullptr);

    void append(const QVariantList& values, const QString& unfit);

    int size() const { return int(m_starts.size()); }
    bool isEmpty() const { return m_starts.isEmpty(); }
    ReportRow at(int index) const;
    // Every row in the table's order.
    void forEach(const std::function<void(const ReportRow&)>& take) const;
    // The rows whose group column holds `number` (nothing: a cell with no number), in the
    // table's order.
    QList<ReportRow> rowsWhere(std::optional<int> number) const;
    // The numbers the group column holds, in order.
    QList<int> groups() const;

private:
    QStringList m_columns;
    QByteArray m_group;
    QByteArray m_bytes;
    QList<qsizetype> m_starts;
    QHash<int, QString> m_unfit;         // by row, only rows that do not fit
    QMap<qint64, QList<int>> m_groupRows; // rows by group number; kNoNumber: none
};

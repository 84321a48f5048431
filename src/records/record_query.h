#pragma once

#include <QList>
#include <QString>
#include <QVariantList>

// A column as the sort and filter translator sees it.
struct QueryColumn {
    QString name;
    bool integer = false; // compared as a number
};

// One item of a sort expression: a column by its index and its direction.
struct SortKey {
    int column = 0;
    bool descending = false;
};

// A piece of SQL with its bound values, in order of the '?' placeholders. A text value's
// placeholder casts it to a text, so that it compares as one however it is bound (a write
// binds texts as their UTF-8 bytes).
struct SqlClause {
    QString sql;
    QVariantList values;
};

// Translates the tool's sort and filter expressions into SQL over known columns. Column
// names match case-insensitively and come out quoted in their stored spelling; every value
// the user or a family wrote goes into a bound parameter, never into the SQL text.
// Anything the translator does not understand throws RecordError.
namespace record_query {

QString quoteIdentifier(const QString& name);

// "Scene_No ASC,Module_Addr DESC" -> "\"Scene_No\" ASC,\"Module_Addr\" DESC"; empty for an
// empty expression.
QString orderBy(const QString& expression, const QList<QueryColumn>& columns);
// The same expression as column indexes and directions.
QList<SortKey> sortKeys(const QString& expression, const QList<QueryColumn>& columns);

// "Timer_Order='3'", "Device_Type like *Light*", conditions joined by AND / OR; an empty
// expression gives an empty clause. Comparisons: = <> < > <= >= against a quoted or bare
// value (a number for integer columns), and LIKE with '*' or '%' for any text (ASCII letters
// match regardless of case).
SqlClause where(const QString& expression, const QList<QueryColumn>& columns);

} // namespace record_query

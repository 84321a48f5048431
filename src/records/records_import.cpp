#include "records/records_import.h"

#include "records/database_file.h"
#include "records/record_query.h"
#include "records/record_table.h"
#include "records/records_connection.h"
#include "records/restore_points.h"
#include "records/visible_text.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>

#include <algorithm>

namespace records_import {

namespace {

using records_format::TableRows;

int columnIndex(const schema::TableDef& def, const QString& name) {
    for (int c = 0; c < def.columns.size(); ++c) {
        if (def.columns[c].name == name)
            return c;
    }
    throw RecordError(QStringLiteral("The table %1 has no column %2").arg(def.name, name));
}

// The values that name a record, as one text: a row's identity among the table's rows.
QString identityOf(const QVariantList& row, const QList<int>& columns) {
    QString key;
    for (int c : columns) {
        const QVariant& v = row.at(c);
        if (v.isNull())
            key += u'-';
        else if (v.typeId() == QMetaType::LongLong)
            key += u'n' + QString::number(v.toLongLong());
        else
            key += u't' + v.toString();
        key += QChar(0);
    }
    return key;
}

QList<StoredRow> storedRows(const RecordsConnection& db, const schema::TableDef& def) {
    QList<StoredRow> rows = db.rows(def);
    for (StoredRow& r : rows)
        r.values = records_format::canonicalRow(r.values, def);
    return rows;
}

QString columnList(const schema::TableDef& def) {
    QStringList names;
    for (const schema::ColumnDef& c : def.columns)
        names << record_query::quoteIdentifier(c.name);
    return names.join(u',');
}

void bindAll(QSqlQuery& q, const QVariantList& values, int from = 0) {
    for (int i = 0; i < values.size(); ++i)
        q.bindValue(from + i, record_sql::bindable(values[i]));
}

// The placeholders of a row, in column order: texts go in as UTF-8 (record_sql::bindable).
QStringList placeholders(const schema::TableDef& def) {
    QStringList marks;
    for (const schema::ColumnDef& c : def.columns)
        marks << (c.integer ? QStringLiteral("?") : record_sql::textPlaceholder());
    return marks;
}

// Replace: the table becomes the file's rows in the file's order. The new rows get keys above
// every key the table had, so a row that another program still shows under an old key can
// never be taken for one of them.
TableChange replaceRows(RecordsConnection& db, const RecordsFile& file, const TableRows& t,
                        bool write) {
    const schema::TableDef& def = *t.table;
    const int fileRows = file.rowCount(t);
    const QList<StoredRow> stored = storedRows(db, def);
    QList<int> identity;
    for (const QString& name : records_format::identityColumns(def.name))
        identity << columnIndex(def, name);

    // Pairs every row of the file with the first unpaired stored row of the same identity.
    QHash<QString, QList<int>> unpaired;
    for (int i = 0; i < stored.size(); ++i)
        unpaired[identityOf(stored[i].values, identity)] << i;
    TableChange change{def.name, fileRows};
    bool same = stored.size() == fileRows;
    file.forEachRow(t, [&](int r, const QVariantList& row) {
        same = same && stored[r].values == row;
        const auto match = unpaired.find(identityOf(row, identity));
        if (match == unpaired.end() || match->isEmpty())
            ++change.gains;
        else if (stored[match->takeFirst()].values != row)
            ++change.changes;
    });
    for (const QList<int>& left : std::as_const(unpaired))
        change.loses += int(left.size());
    change.writes = !same;
    if (!write || same)
        return change; // already as the file says: the rows keep their keys

    const qint64 firstKey = db.maxKey(def) + 1;
    const QString table = record_query::quoteIdentifier(def.name);
    QSqlQuery clear = db.prepare(QStringLiteral("DELETE FROM %1").arg(table));
    db.run(clear);
    const QStringList marks = QStringList{QStringLiteral("?")} + placeholders(def);
    QSqlQuery insert = db.prepare(QStringLiteral("INSERT INTO %1 (%2,%3) VALUES (%4)")
                                      .arg(table, db.key(def), columnList(def), marks.join(u',')));
    file.forEachRow(t, [&](int r, const QVariantList& row) {
        insert.bindValue(0, firstKey + r);
        bindAll(insert, row, 1);
        db.run(insert);
    });
    return change;
}

// Add: each row of the file overwrites the first row of its identity (a row it added itself
// included) or is added at the end.
TableChange addRows(RecordsConnection& db, const RecordsFile& file, const TableRows& t,
                    bool write) {
    const schema::TableDef& def = *t.table;
    QList<StoredRow> rows = storedRows(db, def);
    const QList<StoredRow> original = rows;
    QList<int> identity;
    for (const QString& name : records_format::identityColumns(def.name))
        identity << columnIndex(def, name);
    QHash<QString, int> first;
    for (int i = int(rows.size()) - 1; i >= 0; --i)
        first.insert(identityOf(rows[i].values, identity), i);

    const QString table = record_query::quoteIdentifier(def.name);
    QSqlQuery insert, update;
    if (write) {
        const QStringList marks = placeholders(def);
        QStringList sets;
        for (int c = 0; c < def.columns.size(); ++c)
            sets << record_query::quoteIdentifier(def.columns[c].name) + u'=' + marks[c];
        insert = db.prepare(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                .arg(table, columnList(def), marks.join(u',')));
        update = db.prepare(
            QStringLiteral("UPDATE %1 SET %2 WHERE %3=?").arg(table, sets.join(u','), db.key(def)));
    }
    TableChange change{def.name, file.rowCount(t)};
    file.forEachRow(t, [&](int, const QVariantList& row) {
        const QString id = identityOf(row, identity);
        const auto found = first.constFind(id);
        if (found == first.constEnd()) {
            ++change.gains;
            StoredRow added{-1, row};
            if (write) {
                bindAll(insert, row);
                db.run(insert);
                added.key = insert.lastInsertId().toLongLong();
            }
            first.insert(id, int(rows.size()));
            rows << added;
            return;
        }
        StoredRow& target = rows[*found];
        if (target.values == row)
            return;
        target.values = row;
        if (write) {
            bindAll(update, row);
            update.bindValue(int(row.size()), target.key);
            db.run(update);
        }
    });
    for (int i = 0; i < original.size(); ++i)
        change.changes += rows[i].values != original[i].values ? 1 : 0;
    change.writes = change.gains > 0 || change.changes > 0;
    return change;
}

// Monitor slots: `Address` and `Channel` of the slots the file names (every column but
// `Order` with `wholeSlots`); replacing also clears the others' binding. The slots themselves
// stay as the database has them.
TableChange monitorSlots(RecordsConnection& db, const RecordsFile& file, const TableRows& t,
                         bool add, bool wholeSlots, bool write) {
    const schema::TableDef& def = *t.table;
    const QList<StoredRow> stored = storedRows(db, def);
    const int order = columnIndex(def, QStringLiteral("Order"));
    QList<int> taken;
    if (wholeSlots) {
        for (int c = 0; c < def.columns.size(); ++c)
            if (c != order)
                taken << c;
    } else {
        taken = {columnIndex(def, QStringLiteral("Address")),
                 columnIndex(def, QStringLiteral("Channel"))};
    }
    const auto pick = [&taken](const QVariantList& row) {
        QVariantList out;
        for (int c : taken)
            out << row[c];
        return out;
    };

    QHash<qint64, QList<int>> bySlot;
    for (int i = 0; i < stored.size(); ++i) {
        const QVariant& o = stored[i].values[order];
        if (o.typeId() == QMetaType::LongLong)
            bySlot[o.toLongLong()] << i;
    }
    // What each stored row gets: its own unless the file or a replace says otherwise.
    QList<QVariantList> wanted;
    for (const StoredRow& r : stored) {
        wanted << pick(r.values);
        if (!add)
            wanted.last()[taken.size() - 2] = wanted.last()[taken.size() - 1] = qint64(0);
    }
    file.forEachRow(t, [&](int r, const QVariantList& row) {
        const qint64 slot = row[order].toLongLong();
        const auto rows = bySlot.constFind(slot);
        if (rows == bySlot.constEnd())
            throw RecordError(QStringLiteral("%1 row %2: the database has no slot with Order %3")
                                  .arg(def.name)
                                  .arg(r + 1)
                                  .arg(slot));
        for (int i : *rows)
            wanted[i] = pick(row);
    });

    TableChange change{def.name, file.rowCount(t)};
    QSqlQuery update;
    if (write) {
        QStringList sets;
        for (int c : taken)
            sets << record_query::quoteIdentifier(def.columns[c].name) +
                        (def.columns[c].integer ? QStringLiteral("=?")
                                                : u'=' + record_sql::textPlaceholder());
        update = db.prepare(QStringLiteral("UPDATE %1 SET %2 WHERE %3=?")
                                .arg(record_query::quoteIdentifier(def.name),
                                     sets.join(u','), db.key(def)));
    }
    for (int i = 0; i < stored.size(); ++i) {
        if (pick(stored[i].values) == wanted[i])
            continue;
        ++change.changes;
        if (write) {
            bindAll(update, wanted[i]);
            update.bindValue(int(taken.size()), stored[i].key);
            db.run(update);
        }
    }
    change.writes = change.changes > 0;
    return change;
}

Result apply(RecordsConnection& db, const RecordsFile& file, const QList<const TableRows*>& tables,
             const Options& options, bool write) {
    const bool add = options.add;
    Result result;
    for (const TableRows* t : tables) {
        if (records_format::isMonitor(t->table->name))
            result.tables << monitorSlots(db, file, *t, add || options.slotsFromFile,
                                          options.slotsFromFile, write);
        else if (add)
            result.tables << addRows(db, file, *t, write);
        else
            result.tables << replaceRows(db, file, *t, write);
    }
    return result;
}

// Every row of the tables, each as its key and then its values.
QList<QVariantList> rowsOf(const RecordsConnection& db, const QList<const TableRows*>& tables) {
    QList<QVariantList> rows;
    for (const TableRows* t : tables) {
        for (const StoredRow& r : db.rows(*t->table))
            rows << (QVariantList{r.key} + r.values);
        rows << QVariantList(); // where a table ends
    }
    return rows;
}

// Whether the tables hold `before` again, read afresh; false when they can not be read.
bool holdsAgain(const RecordsConnection& db, const QList<const TableRows*>& tables,
                const QList<QVariantList>& before) {
    try {
        return rowsOf(db, tables) == before;
    } catch (const RecordError&) {
        return false;
    }
}

// After a failed import: rolls back, looks whether the file holds what it held before, and
// says so. The backup goes only when the file confirms it is a second copy of the same.
[[noreturn]] void failed(RecordsConnection& db, const QList<const TableRows*>& tables,
                         const QList<QVariantList>& before, const QString& error,
                         const QString& backup) {
    const QString databaseFile = db.path();
    QString text = error;
    if (const QString why = db.rollback(); !why.isEmpty())
        text += QStringLiteral("; the rollback failed: %1").arg(why);
    bool unchanged = holdsAgain(db, tables, before);
    // A rollback the disk cut short leaves the journal that undoes the half import: play it
    // back now, then look again.
    const QString journal = databaseFile + QStringLiteral("-journal");
    if (!unchanged && QFileInfo::exists(journal)) {
        db.close();
        database_file::rollBackLeftoverJournal(databaseFile);
        try {
            RecordsConnection again(databaseFile, RecordsConnection::Mode::Read);
            unchanged = holdsAgain(again, tables, before);
        } catch (const RecordError&) {
        }
    }
    if (unchanged) {
        if (QFile::remove(backup))
            throw ImportFailure(text, true);
        throw ImportFailure(QStringLiteral("%1; the backup made before the import stays at %2")
                                .arg(text, database_file::shown(backup)),
                            true);
    }
    if (QFileInfo::exists(journal))
        text += QStringLiteral("; ") + database_file::unfinishedWrite(databaseFile);
    throw ImportFailure(
        QStringLiteral("%1; the record database %2 is not as it was before the "
                       "import (it may hold part of it): the backup made before "
                       "the import stays at %3")
            .arg(text, database_file::shown(databaseFile), database_file::shown(backup)),
        false);
}

} // namespace

QList<const TableRows*> chosen(const RecordsFile& file, const Options& options) {
    for (const QString& name : options.tables) {
        if (!schema::findTable(name))
            throw RecordError(QStringLiteral("there is no table \"%1\"")
                                  .arg(visible_text::escaped(database_file::shortName(name))));
        if (!file.find(name))
            throw RecordError(
                QStringLiteral("the file has no table \"%1\"").arg(visible_text::escaped(name)));
    }
    QList<const TableRows*> out;
    for (const TableRows& t : file.tables()) {
        if (options.tables.isEmpty() || options.tables.contains(t.table->name))
            out << &t;
    }
    const QString unfit = records_format::unfitSummary(out);
    if (!unfit.isEmpty())
        throw RecordError(unfit);
    return out;
}

Result preview(const RecordsFile& file, const QString& databaseFile, const Options& options) {
    const QList<const TableRows*> tables = chosen(file, options);
    RecordsConnection db(databaseFile, RecordsConnection::Mode::Read);
    db.begin();
    Result result = apply(db, file, tables, options, false);
    db.commit();
    return result;
}

bool leftUnchanged(const RecordError& error) {
    if (const auto* failure = dynamic_cast<const ImportFailure*>(&error))
        return failure->unchanged();
    return !QString::fromStdString(error.what())
                .contains(QStringLiteral("has an unfinished write"));
}

Result run(const RecordsFile& file, const QString& databaseFile, const Options& options,
           const QDateTime& when) {
    const QList<const TableRows*> tables = chosen(file, options);
    // Every look at the file itself happens here, before the write lock is taken.
    RecordsConnection db(databaseFile, RecordsConnection::Mode::Write);
    // No other program writes from here to the commit: the backup holds exactly what the
    // import starts from.
    db.begin();
    // What the import would do, first: a file the database refuses (a monitor slot it lacks)
    // stops here, and one that changes nothing needs no restore point.
    const Result unwritten = apply(db, file, tables, options, false);
    if (std::none_of(unwritten.tables.begin(), unwritten.tables.end(),
                     [](const TableChange& c) { return c.writes; })) {
        db.commit();
        return unwritten;
    }
    const QList<QVariantList> before = rowsOf(db, tables);
    const QString backup = restore_points::make(databaseFile, QStringLiteral("import"), when);
    try {
        Result result = apply(db, file, tables, options, true);
        db.commit();
        result.backup = backup;
        return result;
    } catch (const RecordError& e) {
        failed(db, tables, before, QString::fromStdString(e.what()), backup);
    }
}

QString describe(const TableChange& change) {
    return QStringLiteral("gains %1, loses %2, changes %3")
        .arg(change.gains)
        .arg(change.loses)
        .arg(change.changes);
}

} // namespace records_import

#include "records/import_source.h"

#include "records/access_record_file.h"
#include "records/database_file.h"
#include "records/record_table.h"
#include "records/records_backup.h"
#include "records/records_export.h"
#include "records/records_values.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>
#include <cmath>

namespace {

using Access = AccessRecordFile;

const Access::Table* tableNamed(const Access& file, const QString& name) {
    for (const Access::Table& t : file.tables()) {
        if (t.name.compare(name, Qt::CaseInsensitive) == 0)
            return &t;
    }
    return nullptr;
}

int accessColumn(const Access::Table& table, const QString& name) {
    for (int c = 0; c < table.columns.size(); ++c) {
        if (table.columns[c].name.compare(name, Qt::CaseInsensitive) == 0)
            return c;
    }
    return -1;
}

bool takesKind(bool integer, Access::Kind kind) {
    if (integer)
        return kind != Access::Kind::Memo && kind != Access::Kind::Other;
    return kind == Access::Kind::Text || kind == Access::Kind::Memo;
}

// A value of the file for one of our columns: a whole number for an integer column wherever
// the file holds one (a Double 3.0, a Text "3"); otherwise the value as the file holds it and
// the reason it can not stand.
QVariant takenValue(const QVariant& v, bool integer, const QString& column, QString* why) {
    if (v.isNull() || !integer)
        return v;
    if (v.typeId() == QMetaType::LongLong)
        return v;
    if (v.typeId() == QMetaType::Double) {
        const double d = v.toDouble();
        if (std::trunc(d) == d && std::fabs(d) < 9.0e15)
            return qint64(d);
    } else {
        static const QRegularExpression decimal(QStringLiteral("^\\s*[+-]?[0-9]{1,18}\\s*$"));
        if (decimal.match(v.toString()).hasMatch())
            return v.toString().trimmed().toLongLong();
    }
    if (why->isEmpty())
        *why = QStringLiteral("%1 %2 is not a whole number").arg(column, records_values::shown(v));
    return v;
}

// The file's rows in its own order: by the autonumber ID where the table has one.
QList<QVariantList> inFileOrder(const Access::Table& table) {
    QList<QVariantList> rows = table.rows;
    const int id = accessColumn(table, QStringLiteral("ID"));
    if (id < 0 || table.columns[id].kind != Access::Kind::Whole)
        return rows;
    std::stable_sort(rows.begin(), rows.end(), [id](const QVariantList& a, const QVariantList& b) {
        const QVariant& x = a.at(id);
        const QVariant& y = b.at(id);
        if (x.isNull() || y.isNull())
            return !x.isNull() && y.isNull();
        return x.toLongLong() < y.toLongLong();
    });
    return rows;
}

// Sorts one table's rows of the file into the ones we take and the ones set aside.
void takeRows(const Access::Table& source, const QList<int>& from, records_format::TableRows& taken,
              records_format::TableRows& aside) {
    const schema::TableDef& def = *taken.table;
    QStringList columns;
    for (const schema::ColumnDef& c : def.columns)
        columns << c.name;
    const bool monitor = records_format::isMonitor(def.name);
    QHash<qint64, int> slotRows;
    const QList<QVariantList> rows = inFileOrder(source);
    for (int r = 0; r < rows.size(); ++r) {
        QString why;
        QVariantList values(def.columns.size());
        for (int c = 0; c < def.columns.size(); ++c) {
            if (from[c] >= 0)
                values[c] = takenValue(rows[r].at(from[c]), def.columns[c].integer,
                                       def.columns[c].name, &why);
        }
        if (why.isEmpty())
            why = records_values::rowProblem(def.name, columns, values);
        if (why.isEmpty() && monitor) {
            const QVariant order = values.at(columns.indexOf(QStringLiteral("Order")));
            if (order.isNull())
                why = QStringLiteral("Order is missing (it names the slot)");
            else if (const int first = slotRows.value(order.toLongLong()); first > 0)
                why = QStringLiteral("slot Order %1 again (row %2 set it)")
                          .arg(order.toLongLong())
                          .arg(first);
            else
                slotRows.insert(order.toLongLong(), r + 1);
        }
        if (why.isEmpty()) {
            taken.rows << values;
        } else {
            aside.rows << values;
            aside.unfit << QStringLiteral("%1 row %2: %3").arg(def.name).arg(r + 1).arg(why);
        }
    }
}

} // namespace

ImportSource ImportSource::load(const QString& path) {
    if (AccessRecordFile::formatOf(path) == AccessRecordFile::Format::NotAccess)
        return fromExport(RecordsFile::load(path));
    return fromAccess(AccessRecordFile::read(path), database_file::shown(path));
}

ImportSource ImportSource::fromExport(RecordsFile file) {
    ImportSource source;
    source.m_file = std::move(file);
    return source;
}

ImportSource ImportSource::fromAccess(const AccessRecordFile& access, const QString& shown) {
    ImportSource source;
    source.m_access = true;
    QStringList refused;
    QList<records_format::TableRows> taken;
    for (const schema::TableDef& def : schema::tables()) {
        const Access::Table* table = tableNamed(access, def.name);
        if (!table) {
            source.m_notes << QStringLiteral("the file has no table \"%1\": ours stays as it is")
                                  .arg(def.name);
            continue;
        }
        QList<int> from;
        QStringList missing;
        for (const schema::ColumnDef& col : def.columns) {
            const int c = accessColumn(*table, col.name);
            from << c;
            if (c < 0)
                missing << col.name;
            else if (!takesKind(col.integer, table->columns[c].kind))
                refused << QStringLiteral("%1 column %2 is of the type %3, which can not hold %4")
                               .arg(def.name, table->columns[c].name, table->columns[c].typeName,
                                    col.integer ? QStringLiteral("a whole number")
                                                : QStringLiteral("a text"));
        }
        QStringList extra;
        for (int c = 0; c < table->columns.size(); ++c) {
            if (!from.contains(c))
                extra << table->columns[c].name;
        }
        if (!missing.isEmpty())
            source.m_notes << QStringLiteral("%1: the file has no column %2, left empty")
                                  .arg(def.name, missing.join(QStringLiteral(", ")));
        if (!extra.isEmpty())
            source.m_notes << QStringLiteral("%1: left out the file's column %2")
                                  .arg(def.name, extra.join(QStringLiteral(", ")));
        records_format::TableRows rows{&def, {}, {}};
        records_format::TableRows aside{&def, {}, {}};
        takeRows(*table, from, rows, aside);
        taken << rows;
        if (!aside.rows.isEmpty())
            source.m_setAside << aside;
    }
    if (taken.isEmpty()) {
        QStringList names;
        for (const Access::Table& t : access.tables())
            names << QStringLiteral("\"%1\"").arg(t.name);
        throw RecordError(QStringLiteral("%1 holds none of the six record tables (%2)")
                              .arg(shown, names.isEmpty()
                                              ? QStringLiteral("it holds no table")
                                              : QStringLiteral("it holds ") +
                                                    names.join(QStringLiteral(", "))));
    }
    if (!refused.isEmpty())
        throw RecordError(
            QStringLiteral("%1: %2").arg(shown, refused.join(QStringLiteral("; "))));
    for (const Access::Table& t : access.tables()) {
        if (!schema::findTable(t.name) && std::none_of(taken.begin(), taken.end(), [&t](const auto& r) {
                return r.table->name.compare(t.name, Qt::CaseInsensitive) == 0;
            }))
            source.m_notes << QStringLiteral("left out the file's table \"%1\" (not a record table)")
                                  .arg(t.name);
    }
    source.m_file = RecordsFile::of(taken);
    return source;
}

int ImportSource::setAsideRows() const {
    int n = 0;
    for (const records_format::TableRows& t : m_setAside)
        n += int(t.rows.size());
    return n;
}

QStringList ImportSource::setAsideLines() const {
    constexpr int kShown = 10;
    QStringList lines;
    for (const records_format::TableRows& t : m_setAside) {
        lines << QStringLiteral("%1: %2 rows set aside").arg(t.table->name).arg(t.rows.size());
        for (const QString& why : t.unfit.mid(0, kShown))
            lines << QStringLiteral("  ") + why;
        if (t.unfit.size() > kShown)
            lines << QStringLiteral("  and %1 more").arg(t.unfit.size() - kShown);
    }
    return lines;
}

records_import::Options ImportSource::options(const QStringList& tables, bool add) const {
    return {tables, add, m_access};
}

QString ImportSource::setAsidePath(const QString& databaseFile, const QDateTime& when) {
    const QFileInfo info(databaseFile);
    return records_backup::stampedPath(info.absolutePath(),
                                       info.fileName() + QStringLiteral(".not-imported-"), when,
                                       QStringLiteral(".json"));
}

namespace import_source {

Outcome run(const ImportSource& source, const QString& databaseFile,
            const records_import::Options& options, const QDateTime& when,
            const QString& recordFile) {
    Outcome outcome;
    // Whatever refuses the whole import refuses it before the side file is written.
    records_import::chosen(source.file(), options);
    database_file::checkReadable(databaseFile);
    QList<records_format::TableRows> aside;
    for (const records_format::TableRows& t : source.setAside()) {
        if (options.tables.isEmpty() || options.tables.contains(t.table->name)) {
            aside << t;
            outcome.setAsideRows += int(t.rows.size());
        }
    }
    if (!aside.isEmpty()) {
        outcome.setAsideFile = ImportSource::setAsidePath(
            recordFile.isEmpty() ? databaseFile : recordFile, when);
        records_export::saveJson(aside, outcome.setAsideFile, when);
    }
    try {
        outcome.result = records_import::run(source.file(), databaseFile, options, when);
    } catch (const RecordError&) {
        if (!outcome.setAsideFile.isEmpty())
            QFile::remove(outcome.setAsideFile);
        throw;
    }
    return outcome;
}

} // namespace import_source

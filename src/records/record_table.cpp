#include "records/record_table.h"

#include "records/record_model.h"
#include "records/record_query.h"
#include "records/schema.h"

#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

#include <atomic>

namespace {

[[noreturn]] void fail(const QString& text)
{
    throw RecordError(text.toStdString());
}

struct Row {
    qint64 key = -1; // -1: appended, not posted yet
    QVariantList values;
};

QString nextConnectionName()
{
    static std::atomic<int> counter{0};
    return QStringLiteral("velm-records-%1").arg(++counter);
}

} // namespace

struct RecordTable::Private {
    QString tableName;
    QString connection; // empty while closed
    bool readOnly = false;
    QString key;        // quoted key column
    QList<QueryColumn> columns;
    QStringList titles;
    QList<Row> rows;
    int cursor = 0; // rows.size() is eof

    State state = State::Browse;
    Row original;         // the row as stored, while editing
    QSet<int> changed;    // columns set while editing
    int cursorBeforeAppend = 0;

    QString sort;
    QString orderSql;
    QString filter;
    SqlClause whereSql;
    bool filtered = false;

    QSet<int> editable;
    RecordTable* owner = nullptr;
    RecordModel* model = nullptr;
    int lastEmitted = -1;
    bool inModelChange = false; // the views are being told about a change

    // Moves the cursor (rows.size() is eof) and tells the views when the current row changed,
    // or always with `force` after the rows themselves changed.
    void moveTo(int row, bool force = false)
    {
        cursor = row < 0 || row > rows.size() ? int(rows.size()) : row;
        const int current = atEof() ? -1 : cursor;
        if (current != lastEmitted || force) {
            lastEmitted = current;
            emit owner->currentRowChanged(current);
        }
    }

    QSqlDatabase db() const { return QSqlDatabase::database(connection, false); }
    bool atEof() const { return cursor >= rows.size(); }
    QString quotedTable() const { return record_query::quoteIdentifier(tableName); }

    void requireOpen() const
    {
        if (connection.isEmpty())
            fail(QStringLiteral("The table %1 is not open").arg(tableName));
    }

    int column(const QString& name) const
    {
        for (int i = 0; i < columns.size(); ++i) {
            if (columns[i].name.compare(name, Qt::CaseInsensitive) == 0)
                return i;
        }
        fail(QStringLiteral("The table %1 has no column %2").arg(tableName, name));
    }

    QString selectList() const
    {
        QStringList cols{key};
        for (const QueryColumn& c : columns)
            cols << record_query::quoteIdentifier(c.name);
        return cols.join(u',');
    }

    QSqlQuery prepared(const QString& sql, const QVariantList& values) const
    {
        QSqlQuery q(db());
        if (!q.prepare(sql))
            fail(QStringLiteral("%1: %2").arg(tableName, q.lastError().text()));
        for (int i = 0; i < values.size(); ++i)
            q.bindValue(i, values[i]);
        return q;
    }

    QList<Row> select(const QString& whereText, const QVariantList& values) const
    {
        QString sql = QStringLiteral("SELECT %1 FROM %2").arg(selectList(), quotedTable());
        if (!whereText.isEmpty())
            sql += QStringLiteral(" WHERE ") + whereText;
        sql += QStringLiteral(" ORDER BY ") + (orderSql.isEmpty() ? QString() : orderSql + u',') +
               key + QStringLiteral(" ASC");
        QSqlQuery q = prepared(sql, values);
        q.setForwardOnly(true);
        if (!q.exec())
            fail(QStringLiteral("Can not read %1: %2").arg(tableName, q.lastError().text()));
        QList<Row> out;
        while (q.next()) {
            Row r{q.value(0).toLongLong(), {}};
            r.values.reserve(columns.size());
            for (int i = 0; i < columns.size(); ++i)
                r.values << q.value(i + 1);
            out << r;
        }
        if (q.lastError().isValid())
            fail(QStringLiteral("Can not read %1: %2").arg(tableName, q.lastError().text()));
        return out;
    }

    // Runs one write statement as its own committed transaction; rolls back on failure.
    QSqlQuery write(const QString& sql, const QVariantList& values)
    {
        QSqlDatabase d = db();
        if (!d.transaction())
            fail(QStringLiteral("Can not write %1: %2").arg(tableName, d.lastError().text()));
        QSqlQuery q = prepared(sql, values);
        if (!q.exec()) {
            const QString error = q.lastError().text();
            q.finish();
            d.rollback();
            fail(QStringLiteral("Can not write %1: %2").arg(tableName, error));
        }
        q.finish();
        if (!d.commit()) {
            const QString error = d.lastError().text();
            d.rollback();
            fail(QStringLiteral("Can not write %1: %2").arg(tableName, error));
        }
        return q;
    }

    void openColumns();
    void reload();
};

void RecordTable::Private::openColumns()
{
    QSqlQuery q(db());
    if (!q.exec(QStringLiteral("PRAGMA table_info(%1)").arg(quotedTable())))
        fail(QStringLiteral("Can not read %1: %2").arg(tableName, q.lastError().text()));
    struct Info {
        QString name;
        QString type;
        int pk;
    };
    QList<Info> infos;
    while (q.next())
        infos << Info{q.value(1).toString(), q.value(2).toString().toUpper(), q.value(5).toInt()};
    if (infos.isEmpty())
        fail(QStringLiteral("The database has no table %1").arg(tableName));

    // The key is the table's own integer primary key, or SQLite's row id without one.
    key = QStringLiteral("rowid");
    QString keyName;
    int pkCount = 0;
    for (const Info& i : infos) {
        if (i.pk > 0) {
            ++pkCount;
            keyName = i.name;
        }
    }
    if (pkCount == 1) {
        for (const Info& i : infos) {
            if (i.name == keyName && i.type == QLatin1StringView("INTEGER"))
                key = record_query::quoteIdentifier(keyName);
        }
    }
    if (key == QLatin1StringView("rowid"))
        keyName.clear();

    auto stored = [&](const QString& name) -> const Info* {
        for (const Info& i : infos) {
            if (i.name.compare(name, Qt::CaseInsensitive) == 0)
                return &i;
        }
        return nullptr;
    };
    columns.clear();
    titles.clear();
    if (const schema::TableDef* def = schema::findTable(tableName)) {
        for (const schema::ColumnDef& c : def->columns) {
            const Info* i = stored(c.name);
            if (!i)
                fail(QStringLiteral("The table %1 has no column %2").arg(tableName, c.name));
            columns << QueryColumn{i->name, c.integer};
            titles << (c.title.isEmpty() ? i->name : c.title);
        }
    } else {
        for (const Info& i : infos) {
            if (i.name == keyName)
                continue;
            columns << QueryColumn{i.name, i.type.contains(QLatin1StringView("INT"))};
            titles << i.name;
        }
    }
}

RecordTable::RecordTable(const QString& tableName, QObject* parent)
    : QObject(parent), d(std::make_unique<Private>())
{
    d->tableName = tableName;
    d->owner = this;
    d->model = new RecordModel(*this);
}

RecordTable::~RecordTable()
{
    d->inModelChange = true; // no signals to views while going away
    close();
}

QString RecordTable::tableName() const { return d->tableName; }
bool RecordTable::isOpen() const { return !d->connection.isEmpty(); }
bool RecordTable::isReadOnly() const { return d->readOnly; }
RecordTable::State RecordTable::state() const { return d->state; }
QString RecordTable::sort() const { return d->sort; }
QString RecordTable::filter() const { return d->filter; }
bool RecordTable::filtered() const { return d->filtered; }
QAbstractTableModel* RecordTable::model() const { return d->model; }
int RecordTable::rowCount() const { return int(d->rows.size()); }
int RecordTable::currentRow() const { return d->atEof() ? -1 : d->cursor; }
QStringList RecordTable::columnTitles() const { return d->titles; }

void RecordTable::open(const QString& databaseFile)
{
    open(databaseFile, OpenMode::Auto);
}

void RecordTable::open(const QString& databaseFile, OpenMode mode)
{
    close();
    const QFileInfo info(databaseFile);
    // The SQLite driver would create a missing file; the tool never does.
    if (!info.exists() || !info.isFile())
        fail(QStringLiteral("Can not open %1 for %2: no such file").arg(databaseFile, d->tableName));
    d->readOnly = mode == OpenMode::ReadOnly || !info.isWritable();

    const QString name = nextConnectionName();
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(databaseFile);
        db.setConnectOptions(d->readOnly ? QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000;"
                                                          "QSQLITE_OPEN_READONLY")
                                         : QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
        if (!db.open()) {
            const QString error = db.lastError().text();
            db = QSqlDatabase();
            QSqlDatabase::removeDatabase(name);
            fail(QStringLiteral("Can not open %1 for %2: %3").arg(databaseFile, d->tableName, error));
        }
    }
    d->connection = name;
    try {
        d->openColumns();
        QSqlQuery q(d->db());
        if (!d->readOnly) {
            // Every post is one committed transaction that survives a crash or power loss.
            q.exec(QStringLiteral("PRAGMA journal_mode=WAL"));
            q.finish();
        }
        if (!q.exec(QStringLiteral("PRAGMA synchronous=FULL")))
            fail(QStringLiteral("Can not open %1: %2").arg(d->tableName, q.lastError().text()));
        q.finish();
        d->orderSql.clear();
        d->whereSql = {};
        if (!d->sort.isEmpty())
            d->orderSql = record_query::orderBy(d->sort, d->columns);
        if (!d->filter.isEmpty())
            d->whereSql = record_query::where(d->filter, d->columns);
        d->model->beginReload();
        d->inModelChange = true;
        d->rows = d->select(d->filtered ? d->whereSql.sql : QString(),
                            d->filtered ? d->whereSql.values : QVariantList());
        d->cursor = 0;
        d->inModelChange = false;
        d->model->endReload();
    } catch (const RecordError&) {
        close();
        throw;
    }
    d->model->flagsChanged();
    d->moveTo(0, true);
}

void RecordTable::close()
{
    const bool wasOpen = isOpen() || !d->rows.isEmpty();
    if (!d->inModelChange)
        d->model->beginReload();
    d->rows.clear();
    d->cursor = 0;
    d->state = State::Browse;
    d->changed.clear();
    if (!d->inModelChange)
        d->model->endReload();
    if (!d->connection.isEmpty()) {
        d->db().close();
        QSqlDatabase::removeDatabase(d->connection);
        d->connection.clear();
    }
    d->readOnly = false;
    if (wasOpen && !d->inModelChange)
        d->moveTo(0);
}

// Re-reads the visible rows; the cursor stays on the same record when it is still visible,
// otherwise on the same place.
void RecordTable::Private::reload()
{
    const qint64 currentKey = atEof() ? -1 : rows[cursor].key;
    QList<Row> fresh = select(filtered ? whereSql.sql : QString(),
                              filtered ? whereSql.values : QVariantList());
    int place = cursor;
    for (int i = 0; i < fresh.size(); ++i) {
        if (fresh[i].key == currentKey) {
            place = i;
            break;
        }
    }
    if (place >= fresh.size())
        place = fresh.isEmpty() ? 0 : int(fresh.size()) - 1;
    model->beginReload();
    inModelChange = true;
    rows = std::move(fresh);
    cursor = place;
    inModelChange = false;
    model->endReload();
    moveTo(place, true);
}

void RecordTable::first()
{
    post();
    d->moveTo(0);
}

void RecordTable::next()
{
    post();
    if (!d->atEof())
        d->moveTo(d->cursor + 1);
}

void RecordTable::last()
{
    post();
    d->moveTo(d->rows.isEmpty() ? 0 : int(d->rows.size()) - 1);
}

bool RecordTable::eof() const
{
    d->requireOpen();
    return d->atEof();
}

void RecordTable::setCurrentRow(int row)
{
    // A view follows the table's own moves while it is being told about a change.
    if (d->inModelChange || (row == currentRow() && d->state == State::Browse))
        return;
    post();
    d->moveTo(row);
}

bool RecordTable::locate(const QString& column, const QVariant& value)
{
    post();
    const int c = d->column(column);
    const bool number = d->columns[c].integer;
    bool ok = !number;
    const qlonglong wanted = number ? value.toLongLong(&ok) : 0;
    if (!ok)
        return false;
    const QString text = value.toString();
    for (int i = 0; i < d->rows.size(); ++i) {
        const QVariant& v = d->rows[i].values[c];
        if (v.isNull())
            continue;
        bool match = false;
        if (number) {
            bool isNumber = false;
            match = v.toLongLong(&isNumber) == wanted && isNumber;
        } else {
            match = v.toString() == text;
        }
        if (match) {
            d->moveTo(i);
            return true;
        }
    }
    return false;
}

QVariant RecordTable::field(const QString& column) const
{
    d->requireOpen();
    const int c = d->column(column);
    if (d->atEof())
        fail(QStringLiteral("The table %1 has no current record").arg(d->tableName));
    return d->rows[d->cursor].values[c];
}

int RecordTable::fieldInt(const QString& column) const { return field(column).toInt(); }
QString RecordTable::fieldText(const QString& column) const { return field(column).toString(); }

void RecordTable::append()
{
    post();
    d->cursorBeforeAppend = d->cursor;
    const int row = int(d->rows.size());
    d->model->beginAppend(row);
    d->inModelChange = true;
    d->rows.append(Row{-1, QVariantList(d->columns.size())});
    d->inModelChange = false;
    d->model->endAppend();
    d->state = State::Insert;
    d->changed.clear();
    d->moveTo(row, true);
}

void RecordTable::edit()
{
    d->requireOpen();
    if (d->state != State::Browse)
        return;
    if (d->atEof())
        fail(QStringLiteral("The table %1 has no current record to edit").arg(d->tableName));
    d->original = d->rows[d->cursor];
    d->changed.clear();
    d->state = State::Edit;
}

void RecordTable::setField(const QString& column, int value)
{
    d->requireOpen();
    const int c = d->column(column);
    edit();
    d->rows[d->cursor].values[c] = value;
    d->changed.insert(c);
    d->model->rowChanged(d->cursor);
}

void RecordTable::setField(const QString& column, const QString& value)
{
    d->requireOpen();
    const int c = d->column(column);
    edit();
    d->rows[d->cursor].values[c] = value;
    d->changed.insert(c);
    d->model->rowChanged(d->cursor);
}

void RecordTable::post()
{
    d->requireOpen();
    if (d->state == State::Browse)
        return;
    Row& row = d->rows[d->cursor];
    try {
        if (d->state == State::Insert) {
            QStringList names, marks;
            for (const QueryColumn& c : d->columns) {
                names << record_query::quoteIdentifier(c.name);
                marks << QStringLiteral("?");
            }
            const QSqlQuery q = d->write(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                             .arg(d->quotedTable(), names.join(u','),
                                                  marks.join(u',')),
                                         row.values);
            row.key = q.lastInsertId().toLongLong();
        } else if (!d->changed.isEmpty()) {
            QStringList sets;
            QVariantList values;
            for (int c : std::as_const(d->changed)) {
                sets << record_query::quoteIdentifier(d->columns[c].name) + QStringLiteral("=?");
                values << row.values[c];
            }
            values << row.key;
            const QSqlQuery q = d->write(QStringLiteral("UPDATE %1 SET %2 WHERE %3=?")
                                             .arg(d->quotedTable(), sets.join(u','), d->key),
                                         values);
            if (q.numRowsAffected() == 0)
                fail(QStringLiteral("The record of %1 is no longer in the database")
                         .arg(d->tableName));
        }
    } catch (const RecordError&) {
        cancel();
        throw;
    }
    d->state = State::Browse;
    d->changed.clear();
    // Show what the file holds now (its column types may have converted a value).
    const QList<Row> stored =
        d->select(d->key + QStringLiteral("=?"), QVariantList{d->rows[d->cursor].key});
    if (!stored.isEmpty())
        d->rows[d->cursor].values = stored.front().values;
    d->model->rowChanged(d->cursor);
}

void RecordTable::cancel()
{
    if (d->state == State::Insert) {
        const int row = d->cursor;
        d->state = State::Browse;
        d->model->beginRemove(row);
        d->inModelChange = true;
        d->rows.removeAt(row);
        d->inModelChange = false;
        d->model->endRemove();
        d->moveTo(d->cursorBeforeAppend, true);
    } else if (d->state == State::Edit) {
        d->state = State::Browse;
        d->rows[d->cursor] = d->original;
        d->model->rowChanged(d->cursor);
    }
    d->changed.clear();
}

void RecordTable::refresh()
{
    post();
    d->reload();
}

void RecordTable::deleteCurrent()
{
    d->requireOpen();
    if (d->state == State::Insert) {
        cancel();
        return;
    }
    cancel();
    if (d->atEof())
        fail(QStringLiteral("The table %1 has no current record to delete").arg(d->tableName));
    const int row = d->cursor;
    d->write(QStringLiteral("DELETE FROM %1 WHERE %2=?").arg(d->quotedTable(), d->key),
             QVariantList{d->rows[row].key});
    d->model->beginRemove(row);
    d->inModelChange = true;
    d->rows.removeAt(row);
    d->inModelChange = false;
    d->model->endRemove();
    // The next row becomes current; after the last row, the new last one.
    d->moveTo(row < d->rows.size() ? row : int(d->rows.size()) - 1, true);
}

void RecordTable::setSort(const QString& expression)
{
    post();
    const QString sql = record_query::orderBy(expression, d->columns);
    d->sort = expression.trimmed();
    d->orderSql = sql;
    d->reload();
}

void RecordTable::setFilter(const QString& expression)
{
    post();
    const SqlClause clause = record_query::where(expression, d->columns);
    d->filter = expression.trimmed();
    d->whereSql = clause;
    if (d->filtered)
        d->reload();
}

void RecordTable::setFiltered(bool on)
{
    post();
    if (d->filtered == on)
        return;
    d->filtered = on;
    d->reload();
}

QStringList RecordTable::columns() const
{
    QStringList names;
    for (const QueryColumn& c : d->columns)
        names << c.name;
    return names;
}

bool RecordTable::isIntegerColumn(int column) const
{
    return column >= 0 && column < d->columns.size() && d->columns[column].integer;
}

QVariant RecordTable::valueAt(int row, int column) const
{
    if (row < 0 || row >= d->rows.size() || column < 0 || column >= d->columns.size())
        return {};
    return d->rows[row].values[column];
}

void RecordTable::setCell(int row, int column, const QVariant& value)
{
    d->requireOpen();
    if (row < 0 || row >= d->rows.size() || column < 0 || column >= d->columns.size())
        fail(QStringLiteral("No cell %1, %2 in %3").arg(row).arg(column).arg(d->tableName));
    const QString name = d->columns[column].name;
    setCurrentRow(row);
    if (d->columns[column].integer) {
        bool ok = false;
        const int number = value.toString().trimmed().toInt(&ok);
        if (!ok)
            fail(QStringLiteral("'%1' is not a number for %2").arg(value.toString(), name));
        setField(name, number);
    } else {
        setField(name, value.toString());
    }
    post();
}

void RecordTable::setEditableColumns(const QList<int>& columns)
{
    d->editable = QSet<int>(columns.begin(), columns.end());
    d->model->flagsChanged();
}

bool RecordTable::isEditableColumn(int column) const { return d->editable.contains(column); }

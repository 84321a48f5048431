#include "records/record_table.h"

#include "records/database_file.h"
#include "records/record_table_private.h"

#include <QDir>
#include <QFileInfo>

namespace {

// Why the file may only be read, or empty when it may be written.
QString readOnlyReason(const QFileInfo& info, RecordTable::OpenMode mode) {
    if (mode == RecordTable::OpenMode::ReadOnly)
        return QStringLiteral("%1 is open for reading only")
            .arg(QDir::toNativeSeparators(info.absoluteFilePath()));
    return database_file::writeProblem(info.filePath());
}

} // namespace

RecordTable::RecordTable(const QString& tableName, QObject* parent)
    : QObject(parent), d(std::make_unique<Private>(tableName)) {
    d->owner = this;
    d->model = new RecordModel(*this);
}

RecordTable::~RecordTable() {
    // The model goes first, so that no view asks it about rows that are going away.
    delete d->model;
    d->model = nullptr;
    d->sql.close();
}

QString RecordTable::databaseFile() const {
    return d->file;
}

QString RecordTable::tableName() const {
    return d->tableName;
}
bool RecordTable::isOpen() const {
    return d->sql.isOpen();
}
QString RecordTable::damage() const {
    return d->sql.damage();
}
bool RecordTable::isReadOnly() const {
    return d->readOnly;
}
RecordTable::State RecordTable::state() const {
    return d->state;
}
QString RecordTable::sort() const {
    return d->sort;
}
QString RecordTable::filter() const {
    return d->filter;
}
bool RecordTable::filtered() const {
    return d->filtered;
}
QAbstractTableModel* RecordTable::model() const {
    return d->model;
}
int RecordTable::rowCount() const {
    return int(d->rows.size());
}
int RecordTable::currentRow() const {
    return d->atEof() ? -1 : d->cursor;
}
QStringList RecordTable::columnTitles() const {
    return d->sql.titles();
}

void RecordTable::open(const QString& databaseFile) {
    open(databaseFile, OpenMode::Auto);
}

void RecordTable::open(const QString& databaseFile, OpenMode mode) {
    close();
    d->openError.clear();
    const QFileInfo info(databaseFile);
    try {
        // The SQLite driver would create a missing file; the tool never does.
        database_file::checkReadable(databaseFile);
        // Even a table opened for reading only rolls back what a crash left half-written.
        database_file::rollBackLeftoverJournal(databaseFile);
        const QString reason = readOnlyReason(info, mode);
        d->readOnly = !reason.isEmpty();
        d->sql.open(databaseFile, reason);
        d->file = databaseFile;
        // A sort or filter set before stays in force.
        d->setSortSql(d->sort);
        d->whereSql = record_query::where(d->filter, d->columns());
        d->replaceRows(d->selectVisible(), 0);
    } catch (const RecordError& e) {
        close();
        d->openError = QString::fromStdString(e.what());
        throw;
    }
    d->model->flagsChanged();
    d->moveTo(0, true);
}

void RecordTable::close() {
    const bool hadRows = !d->rows.isEmpty();
    d->state = State::Browse;
    d->changed.clear();
    if (hadRows)
        d->replaceRows({}, 0);
    d->sql.close();
    d->file.clear();
    d->readOnly = false;
    d->moveTo(0);
}

// Re-reads the visible rows; the cursor stays on the same record when it is still visible,
// otherwise on the same place.
void RecordTable::Private::reload() {
    const qint64 currentKey = atEof() ? -1 : rows[cursor].key;
    QList<StoredRow> fresh = selectVisible();
    int place = cursor;
    for (int i = 0; i < fresh.size(); ++i) {
        if (fresh[i].key == currentKey) {
            place = i;
            break;
        }
    }
    if (place >= fresh.size())
        place = fresh.isEmpty() ? 0 : int(fresh.size()) - 1;
    replaceRows(std::move(fresh), place);
    moveTo(place, true);
}

void RecordTable::first() {
    post();
    d->moveTo(0);
}

void RecordTable::next() {
    post();
    if (!d->atEof())
        d->moveTo(d->cursor + 1);
}

void RecordTable::last() {
    post();
    d->moveTo(d->rows.isEmpty() ? 0 : int(d->rows.size()) - 1);
}

bool RecordTable::eof() const {
    d->requireOpen();
    return d->atEof();
}

void RecordTable::setCurrentRow(int row) {
    // Moves a view makes while it is being told about a change are its own guesses; the
    // table tells it where the cursor stands once the change is done.
    if (d->inModelChange || (row == currentRow() && d->state == State::Browse))
        return;
    post();
    d->moveTo(row);
}

bool RecordTable::locate(const QString& column, const QVariant& value) {
    post();
    const int c = d->column(column);
    const bool number = d->columns()[c].integer;
    bool ok = !number;
    const qlonglong wanted = number ? value.toLongLong(&ok) : 0;
    if (!ok)
        return false;
    const QString text = value.toString();
    for (int i = 0; i < d->rows.size(); ++i) {
        const QVariant& v = d->rows.at(i).values.at(c);
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

QVariant RecordTable::field(const QString& column) const {
    d->requireOpen();
    const int c = d->column(column);
    if (d->atEof())
        throw RecordError(QStringLiteral("The table %1 has no current record").arg(d->tableName));
    return d->rows.at(d->cursor).values.at(c);
}

int RecordTable::fieldInt(const QString& column) const {
    return field(column).toInt();
}
QString RecordTable::fieldText(const QString& column) const {
    return field(column).toString();
}

void RecordTable::append() {
    post();
    d->cursorBeforeAppend = d->cursor;
    const int row = int(d->rows.size());
    d->model->beginAppend(row);
    d->inModelChange = true;
    d->rows.append(StoredRow{-1, QVariantList(d->columns().size())});
    d->inModelChange = false;
    d->model->endAppend();
    d->state = State::Insert;
    d->changed.clear();
    d->moveTo(row, true);
}

void RecordTable::edit() {
    d->requireOpen();
    if (d->state != State::Browse)
        return;
    if (d->atEof())
        throw RecordError(
            QStringLiteral("The table %1 has no current record to edit").arg(d->tableName));
    d->original = d->rows.at(d->cursor);
    d->changed.clear();
    d->state = State::Edit;
}

void RecordTable::setField(const QString& column, int value) {
    d->requireOpen();
    const int c = d->column(column);
    edit();
    d->rows[d->cursor].values[c] = value;
    d->changed.insert(c);
    d->model->rowChanged(d->cursor);
}

void RecordTable::setField(const QString& column, const QString& value) {
    d->requireOpen();
    const int c = d->column(column);
    edit();
    d->rows[d->cursor].values[c] = value;
    d->changed.insert(c);
    d->model->rowChanged(d->cursor);
}

void RecordTable::post() {
    d->requireOpen();
    if (d->state == State::Browse)
        return;
    StoredRow& row = d->rows[d->cursor];
    try {
        if (d->state == State::Insert) {
            row.key = d->sql.insert(row.values);
        } else if (!d->changed.isEmpty()) {
            const QList<int> columns(d->changed.begin(), d->changed.end());
            QVariantList values;
            for (int c : columns)
                values << row.values[c];
            d->sql.update(row.key, columns, values);
        }
    } catch (const RecordError&) {
        cancel();
        throw;
    }
    d->state = State::Browse;
    d->changed.clear();
    // Show what the file holds now (a column's type may have converted a value). The write is
    // committed; a failure to read it back only leaves the values as they were set.
    try {
        const QList<StoredRow> stored = d->sql.selectKey(row.key);
        if (!stored.isEmpty())
            row.values = stored.front().values;
    } catch (const RecordError&) {
    }
    d->model->rowChanged(d->cursor);
}

void RecordTable::cancel() {
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

void RecordTable::refresh() {
    post();
    d->reload();
}

bool RecordTable::reloadIfChangedElsewhere(bool* currentRowGone) {
    if (currentRowGone)
        *currentRowGone = false;
    if (!isOpen() || d->state != State::Browse || d->sql.inTransaction())
        return false;
    const qint64 version = d->sql.dataVersion();
    if (version < 0 || version == d->dataVersion)
        return false;
    const qint64 key = d->atEof() ? -1 : d->rows[d->cursor].key;
    try {
        d->reload();
    } catch (const RecordError&) {
        d->dataVersion = -1; // the file is held right now: the next look tries again
        return false;
    }
    if (currentRowGone)
        *currentRowGone = key >= 0 && (d->atEof() || d->rows[d->cursor].key != key);
    return true;
}

void RecordTable::deleteCurrent() {
    d->requireOpen();
    if (d->state == State::Insert) {
        cancel();
        return;
    }
    cancel();
    if (d->atEof())
        throw RecordError(
            QStringLiteral("The table %1 has no current record to delete").arg(d->tableName));
    const int row = d->cursor;
    d->sql.remove(d->rows.at(row).key);
    d->model->beginRemove(row);
    d->inModelChange = true;
    d->rows.removeAt(row);
    d->inModelChange = false;
    d->model->endRemove();
    // The next row becomes current; after the last row, the new last one.
    d->moveTo(row < d->rows.size() ? row : int(d->rows.size()) - 1, true);
}

void RecordTable::transaction(const std::function<void()>& work) {
    post();
    if (d->sql.inTransaction()) {
        work();
        return;
    }
    d->sql.begin();
    try {
        work();
        post();
        d->sql.commit();
    } catch (...) {
        d->sql.rollback();
        cancel();
        // The rows in memory went with the walk; show the file as it is again.
        try {
            d->reload();
        } catch (const RecordError&) {
        }
        throw;
    }
}

void RecordTable::setSort(const QString& expression) {
    post();
    record_query::orderBy(expression, d->columns()); // a bad expression changes nothing
    d->applyQuery([&] {
        d->sort = expression.trimmed();
        d->setSortSql(d->sort);
    });
}

void RecordTable::setFilter(const QString& expression) {
    post();
    const SqlClause clause = record_query::where(expression, d->columns());
    auto change = [&] {
        d->filter = expression.trimmed();
        d->whereSql = clause;
    };
    if (d->filtered)
        d->applyQuery(change);
    else
        change(); // takes effect when filtering is switched on
}

void RecordTable::setFiltered(bool on) {
    post();
    if (d->filtered != on)
        d->applyQuery([&] { d->filtered = on; });
}

void RecordTable::writeRow(const std::function<void(RecordTable&)>& write) {
    if (eof())
        append();
    else
        edit();
    try {
        write(*this);
        post();
    } catch (...) {
        cancel();
        throw;
    }
}

void RecordTable::upsert(const std::function<bool(const RecordTable&)>& match,
                         const std::function<void(RecordTable&)>& write) {
    first();
    while (!eof() && !match(*this))
        next();
    writeRow(write);
    refresh();
}

#include "moc_record_table.cpp"

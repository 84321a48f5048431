#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>
#include <memory>
#include <stdexcept>

class QAbstractTableModel;

// A failure of the record database (table not open, a write refused, the disk full).
class RecordError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
    explicit RecordError(const QString& text) : std::runtime_error(text.toStdString()) {}
};

// One table of the record database with a cursor, in the manner of a data-access table
// object: first / next / eof, locate, append / edit / set field / post, refresh, delete the
// current row, a sort expression and a filter expression. Every post is committed at once.
// The grid shows model(); the grid's current row and the cursor are the same thing.
//
// The table keeps the rows the filter lets through, in sort order, in memory. A posted edit
// changes its row in place and an appended row stays at the end until the next refresh, sort
// or filter change (which re-reads the rows). Setting a field on a row that is not being
// edited starts editing it; moving the cursor, refreshing, sorting or filtering posts a
// pending change first. A failed post throws, leaves the file as it was and drops the pending
// change, so the rows in memory always match the file. Every operation on a closed table
// throws RecordError (saying why the table could not be opened, when it could not), except
// the read-only queries that views use (rowCount, currentRow...).
//
// A file that this process may not write, or whose folder it may not write (the journal lives
// beside the file), is opened for reading: every row is shown, and every write fails with
// that reason. Such a run leaves nothing beside the file.
class RecordTable : public QObject {
    Q_OBJECT
public:
    enum class OpenMode {
        Auto,     // read-only when the file or its folder is not writable, else read-write
        ReadOnly, // reads only; every post or delete fails with RecordError
    };
    enum class State { Browse, Edit, Insert };

    RecordTable(const QString& tableName, QObject* parent = nullptr);
    ~RecordTable() override;

    QString tableName() const;
    // Opens the table in the database file and moves to its first row; throws RecordError
    // when it cannot (missing file, not a database, no such table or a column missing). The
    // file is never created.
    void open(const QString& databaseFile);
    void open(const QString& databaseFile, OpenMode mode);
    void close();
    bool isOpen() const;
    // The file the table was opened from; empty while it is closed.
    QString databaseFile() const;
    // What SQLite's quick check of the whole file finds: "... is damaged (...)", "another
    // program holds ...", or empty for a sound file (or a closed table).
    QString damage() const;
    bool isReadOnly() const;
    State state() const;

    // Cursor over the rows that the filter lets through, in sort order.
    void first();
    void next();
    void last();
    bool eof() const;       // past the last row (always true for no rows)
    int rowCount() const;   // visible rows
    int currentRow() const; // -1 at eof
    void setCurrentRow(int row);
    bool locate(const QString& column, const QVariant& value); // exact match; moves on success

    QVariant field(const QString& column) const;
    int fieldInt(const QString& column) const;
    QString fieldText(const QString& column) const;

    void append(); // a new row at the end, in edit mode
    void edit();   // edit mode on the current row
    void setField(const QString& column, int value);
    void setField(const QString& column, const QString& value);
    void post();   // writes and commits the edited or appended row
    void cancel(); // drops a pending edit
    void refresh();
    // Re-reads the rows when another program (or another table's connection) committed to
    // the file since they were read, keeping the current row by its key; nothing while a row
    // is being edited or a transaction is open. True when the rows were read again;
    // `currentRowGone` tells whether the row that was current is no longer there. The
    // caller decides when: never in the middle of a sequence, whose cursor walks the rows.
    bool reloadIfChangedElsewhere(bool* currentRowGone = nullptr);
    void deleteCurrent();
    // Posts the current row and shows it where a refresh would: moved to its place under the
    // sort, or out of view when the filter no longer lets it through (the cursor then stays
    // on the same place), without reading the other rows again. A sequence step's write
    // costs the same whatever the table holds.
    void placeCurrent();
    // Removes every row the filter lets through (every row unfiltered) with one statement in
    // one transaction; the views are told once. Returns how many went. Throws RecordError,
    // having changed nothing.
    int deleteVisible();
    // The same for setting `columns` to `values` in every visible row.
    int setVisible(const QStringList& columns, const QVariantList& values);
    // Runs `work` (a walk of posts and deletes) as one transaction: committed when it
    // returns, so a crash keeps all of it or none; when it throws, or the commit fails,
    // nothing of it reaches the file and the rows are read again. Inside another
    // transaction it simply runs.
    void transaction(const std::function<void()>& work);

    // Writes the current row, or a new row at eof, with `write`, and posts it. A failing
    // write or post leaves no half-edited row behind and is thrown on.
    void writeRow(const std::function<void(RecordTable&)>& write);
    // Goes to the first row in the current sort and filter, walks on to the first row that
    // `match` accepts and writes it, or a new row when none does (writeRow), then refreshes.
    // `write` sets every field the row needs, its key fields included.
    void upsert(const std::function<bool(const RecordTable&)>& match,
                const std::function<void(RecordTable&)>& write);

    // "Scene_No ASC,Module_Addr ASC" or empty for the table's own order.
    void setSort(const QString& expression);
    QString sort() const;
    // "Timer_Order='3'", "Input_addr='2'", "Device_Type like *Light*", or empty.
    void setFilter(const QString& expression);
    QString filter() const;
    void setFiltered(bool on);
    bool filtered() const;

    QStringList columns() const; // the visible columns in grid order (not the key)
    int columnCount() const;
    QStringList columnTitles() const; // the grid titles; a column without one shows its name
    bool isIntegerColumn(int column) const;
    QVariant valueAt(int row, int column) const; // a visible row's value; invalid out of range
    // Writes one cell through the cursor: move, edit, set field, post. Integer columns take
    // numbers only. Throws RecordError.
    void setCell(int row, int column, const QVariant& value);

    // Which columns the grid lets the user edit (none at start).
    void setEditableColumns(const QList<int>& columns);
    bool isEditableColumn(int column) const;

    QAbstractTableModel* model() const;

signals:
    void currentRowChanged(int row); // -1 at eof
    // A write from the grid (model setData) failed; the grid shows the message.
    void writeFailed(const QString& message);

private:
    struct Private;
    std::unique_ptr<Private> d;
};

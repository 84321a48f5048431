#pragma once

#include "records/record_store.h"

#include <QWidget>

class PromptService;
class QAction;
class QComboBox;
class QModelIndex;
class QTableView;

// Filters a grid's table by one of the tool's filter expressions (empty: every row). A table
// that could not be opened at start-up keeps its error to itself here: the filter controls
// still move and the grid stays empty. Any other failure is shown, never thrown.
void applyRecordFilter(RecordTable& table, const QString& expression, PromptService& prompts);

// The grid of one record table with its "Order :" list below it and its pop-up menu
// ("Delete", "Delete All"). The grid's current row and the table's cursor are kept the same
// both ways. Nothing here talks to the bus: the deletes are local.
class RecordGrid : public QWidget {
    Q_OBJECT
public:
    RecordGrid(RecordTable& table, RecordStore::Table which, PromptService& prompts,
               QWidget* parent = nullptr);

    QTableView* view() const { return m_view; }
    QComboBox* orderCombo() const { return m_order; }
    QAction* deleteAction() const { return m_delete; }
    QAction* deleteAllAction() const { return m_deleteAll; }

    // The "Order :" list's change handler (ComboBox21Change and its five siblings).
    void orderComboChange(int index);
    // The pop-up menu's handlers (Delete1Click / DeleteAll1Click and their siblings).
    void deleteClick();
    void deleteAllClick();

signals:
    // Delete All removed (or, for monitor bindings, cleared) `rows` rows of the table.
    void deletedAll(const QString& tableName, int rows);

private:
    // Before Delete All: a restore point of the record file; throws RecordError when it
    // cannot be made, and then nothing is deleted.
    void makeRestorePoint();
    void applyColumnWidths();
    void viewRowChanged(const QModelIndex& current);
    void tableRowChanged(int row);
    void showWriteFailure(const QString& message);
    template <class F> void guarded(F&& work);

    RecordTable& m_table;
    RecordStore::Table m_which;
    PromptService& m_prompts;
    QTableView* m_view = nullptr;
    QComboBox* m_order = nullptr;
    QAction* m_delete = nullptr;
    QAction* m_deleteAll = nullptr;
};

#include "widgets/record_grid.h"

#include "records/filters.h"
#include "records/restore_points.h"
#include "records/schema.h"
#include "widgets/form_builder.h"
#include "widgets/prompt_service.h"

#include <QAbstractTableModel>
#include <QAction>
#include <QComboBox>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>

namespace {

struct GridNames {
    const char* grid;
    const char* order;
    const char* label;
    const char* deleteItem;
    const char* deleteAllItem;
};

// Designer names per table, in RecordStore::Table order.
constexpr GridNames gridNames[RecordStore::Count] = {
    {"DBGrid1", "ComboBox21", "OrderLabel1", "Delete1", "DeleteAll1"},
    {"DBGrid2", "ComboBox22", "OrderLabel2", "Delete2", "DeleteAll2"},
    {"DBGrid3", "ComboBox19", "OrderLabel3", "Delete3", "DeleteAll3"},
    {"DBGrid4", "ComboBox20", "OrderLabel4", "Delate4", "DeleteAll4"},
    {"DBGrid5", "ComboBox23", "OrderLabel5", "Delete5", "DeleteAll5"},
    {"DBGrid6", "ComboBox26", "OrderLabel6", "MenuItem1", "MenuItem2"},
};

// The scene grid is editable throughout; the monitor grid but for No., Room No. and Device No.
QList<int> editableColumns(RecordStore::Table which, int columnCount) {
    QList<int> columns;
    const int firstEditable = which == RecordStore::Scenes ? 0 : 3;
    if (which == RecordStore::Scenes || which == RecordStore::Monitor) {
        for (int c = firstEditable; c < columnCount; ++c)
            columns << c;
    }
    return columns;
}

} // namespace

void applyRecordFilter(RecordTable& table, const QString& expression, PromptService& prompts) {
    if (!table.isOpen())
        return;
    try {
        table.setFiltered(false);
        table.setFilter(expression);
        table.setFiltered(true);
    } catch (const RecordError& e) {
        prompts.message(QString::fromStdString(e.what()));
    }
}

RecordGrid::RecordGrid(RecordTable& table, RecordStore::Table which, PromptService& prompts,
                       QWidget* parent)
    : QWidget(parent), m_table(table), m_which(which), m_prompts(prompts) {
    const GridNames& names = gridNames[which];
    const schema::TableDef& def = schema::tables()[which];

    m_view = new QTableView(this);
    m_view->setObjectName(QLatin1StringView(names.grid));
    m_view->setModel(table.model());
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->setSelectionMode(QAbstractItemView::SingleSelection);
    m_view->verticalHeader()->setDefaultSectionSize(m_view->fontMetrics().height() + 6);
    applyColumnWidths();
    // A reset of the model (refresh, sort, filter) puts the header back to default widths.
    connect(table.model(), &QAbstractItemModel::modelReset, this, &RecordGrid::applyColumnWidths);
    const QList<int> editable = editableColumns(which, int(def.columns.size()));
    table.setEditableColumns(editable);
    m_view->setEditTriggers(editable.isEmpty() ? QAbstractItemView::NoEditTriggers
                                               : QAbstractItemView::DoubleClicked |
                                                     QAbstractItemView::EditKeyPressed |
                                                     QAbstractItemView::AnyKeyPressed);

    m_delete = new QAction(QStringLiteral("Delete"), m_view);
    m_delete->setObjectName(QLatin1StringView(names.deleteItem));
    m_deleteAll = new QAction(QStringLiteral("Delete All"), m_view);
    m_deleteAll->setObjectName(QLatin1StringView(names.deleteAllItem));
    m_view->addAction(m_delete);
    m_view->addAction(m_deleteAll);
    m_view->setContextMenuPolicy(Qt::ActionsContextMenu);

    m_order =
        form::combo(this, QLatin1StringView(names.order),
                    {QStringLiteral("Default"), QStringLiteral("ASC"), QStringLiteral("DESC")}, 0);
    auto* orderRow = new QHBoxLayout;
    orderRow->addWidget(
        form::label(this, QLatin1StringView(names.label), QStringLiteral("Order :")));
    orderRow->addWidget(m_order);
    orderRow->addStretch(1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_view, 1);
    layout->addLayout(orderRow);

    connect(m_order, &QComboBox::currentIndexChanged, this, &RecordGrid::orderComboChange);
    connect(m_delete, &QAction::triggered, this, &RecordGrid::deleteClick);
    connect(m_deleteAll, &QAction::triggered, this, &RecordGrid::deleteAllClick);
    connect(m_view->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &RecordGrid::viewRowChanged);
    connect(&m_table, &RecordTable::currentRowChanged, this, &RecordGrid::tableRowChanged);
    connect(&m_table, &RecordTable::writeFailed, this, &RecordGrid::showWriteFailure);
    // A reset drops the view's current row; put it back where the cursor stands.
    connect(table.model(), &QAbstractItemModel::modelReset, this,
            [this] { tableRowChanged(m_table.currentRow()); });
    tableRowChanged(m_table.currentRow());
}

template <class F> void RecordGrid::guarded(F&& work) {
    try {
        work();
    } catch (const RecordError& e) {
        m_prompts.message(QString::fromStdString(e.what()));
    }
}

void RecordGrid::orderComboChange(int index) {
    guarded([&] { m_table.setSort(sortExpression(m_which, index)); });
}

void RecordGrid::deleteClick() {
    guarded([&] {
        // Another program may have changed the rows: the grid shows them first, and a row it
        // showed that is gone is not taken for the one now in its place.
        bool gone = false;
        m_table.reloadIfChangedElsewhere(&gone);
        if (gone)
            return;
        if (!deleteCurrentRecord(m_table, m_which == RecordStore::Monitor))
            m_prompts.message(QStringLiteral("No records!"));
    });
}

void RecordGrid::deleteAllClick() {
    guarded([&] {
        makeRestorePoint();
        m_table.reloadIfChangedElsewhere();
        const int rows = m_table.rowCount();
        if (!deleteAllRecords(m_table, m_which == RecordStore::Monitor))
            m_prompts.message(QStringLiteral("No records!"));
        else
            emit deletedAll(m_table.tableName(), rows);
    });
}

void RecordGrid::makeRestorePoint() {
    // The rows another program wrote go too, so they are looked at first; a table with
    // nothing to delete needs no restore point (and prunes none away).
    m_table.reloadIfChangedElsewhere();
    if (m_table.rowCount() > 0)
        restore_points::beforeWriting(m_table, QStringLiteral("delete-all ") + m_table.tableName());
}

void RecordGrid::applyColumnWidths() {
    const schema::TableDef& def = schema::tables()[m_which];
    // Each column has its set width, but never less than its title needs: no title is cut.
    for (int c = 0; c < def.columns.size(); ++c) {
        QFont bold = m_view->horizontalHeader()->font();
        bold.setBold(true);
        const QString text = m_table.model()->headerData(c, Qt::Horizontal).toString();
        const int title = QFontMetrics(bold).horizontalAdvance(text) + 16;
        const int width = def.columns[c].width > 0
                              ? def.columns[c].width
                              : m_view->horizontalHeader()->defaultSectionSize();
        m_view->setColumnWidth(c, std::max(width, title));
    }
}

void RecordGrid::viewRowChanged(const QModelIndex& current) {
    if (!current.isValid() || current.row() == m_table.currentRow())
        return;
    guarded([&] { m_table.setCurrentRow(current.row()); });
}

void RecordGrid::tableRowChanged(int row) {
    QItemSelectionModel* selection = m_view->selectionModel();
    if (row < 0) {
        if (selection->currentIndex().isValid())
            selection->clear();
        return;
    }
    if (selection->currentIndex().row() == row && selection->isRowSelected(row))
        return;
    const int column = std::max(0, selection->currentIndex().column());
    selection->setCurrentIndex(m_table.model()->index(row, column),
                               QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void RecordGrid::showWriteFailure(const QString& message) {
    m_prompts.message(message);
}

#include "moc_record_grid.cpp"

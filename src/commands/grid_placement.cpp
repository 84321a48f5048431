#include "commands/grid_placement.h"

#include "commands/prompt_service.h"

#if __has_include("commands/record_grid.h")
#include "commands/record_grid.h"
#define VELM_HAVE_RECORD_GRID 1
#else
#include <QAbstractTableModel>
#include <QTableView>
#endif

QWidget* placeRecordGrid(FamilyContext& ctx, RecordStore::Table table, const QString& gridName,
                         QWidget* parent) {
#ifdef VELM_HAVE_RECORD_GRID
    (void)gridName; // the grid names its own view
    return new RecordGrid(ctx.records.table(table), table, ctx.prompts, parent);
#else
    auto* view = new QTableView(parent);
    view->setObjectName(gridName);
    view->setModel(ctx.records.table(table).model());
    return view;
#endif
}

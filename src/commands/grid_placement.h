#pragma once

#include "commands/family_context.h"
#include "records/record_store.h"

#include <QString>

class QWidget;

// The grid of one record table inside a family's group: its "Order :" list, the grid named
// `gridName` (DBGrid3, DBGrid4) and the "Delete" / "Delete All" pop-up menu.
QWidget* placeRecordGrid(FamilyContext& ctx, RecordStore::Table table, const QString& gridName,
                         QWidget* parent);

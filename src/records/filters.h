#pragma once

#include "records/record_store.h"

#include <QString>

class RecordTable;

// The filter and sort expressions that the tabs' lists and spin edits set, and the local
// deletes of the grids' pop-up menus.
// "Timer No. :" list: item 0 ("All") no filter, item k timer k.
QString eventTimerFilter(int itemIndex);
// "Input  Module Addr. :" spin edit: 0 no filter, otherwise that input module.
QString bindModuleFilter(int value);
// "Device Type :" list by item text: "All" no filter, otherwise the type's slots.
QString monitorTypeFilter(const QString& itemText);
// "Order :" lists: item 0 "Default" (the table's own order), 1 "ASC", 2 "DESC".
QString sortExpression(RecordStore::Table table, int itemIndex);

// "Delete": removes the current row (monitor slots: clears Address and Channel instead).
// Returns false, changing nothing, when the table is at its end (no records).
bool deleteCurrentRecord(RecordTable& table, bool monitor);
// "Delete All": the same for every row the filter lets through, in one transaction (all of
// them or, when a write fails, none). False when there are none.
bool deleteAllRecords(RecordTable& table, bool monitor);

#pragma once

#include "protocol/monitor_requests.h"

class RecordTable;

// The rows of "Monitor Bind Records": one per slot, found by its number, never added or
// removed; a binding the gateway took or gave back is written into its slot's row. The window
// and the command line share these.
namespace monitor {

// Moves the table to the slot's row; false when there is none.
bool locateSlot(RecordTable& table, int slot);
// The current row as a slot with this number.
Slot slotOfRow(const RecordTable& table, int order);
// The binding's module and channel (or IR number) into the row being written.
void writeBinding(RecordTable& table, const Binding& binding);
// The slot's row gets the binding, posted; false when the slot has no row.
bool storeBinding(RecordTable& table, int slot, const Binding& binding);

} // namespace monitor

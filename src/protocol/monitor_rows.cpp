#include "protocol/monitor_rows.h"

#include "records/record_table.h"

namespace monitor {

namespace {
const QString kSlotOrder = QStringLiteral("Order");
const QString kSlotRoom = QStringLiteral("Room_No");
const QString kSlotDevice = QStringLiteral("Device_No");
const QString kSlotAddress = QStringLiteral("Address");
const QString kSlotChannel = QStringLiteral("Channel");
} // namespace

bool locateSlot(RecordTable& table, int slot) {
    return table.locate(kSlotOrder, slot);
}

Slot slotOfRow(const RecordTable& table, int order) {
    return {order, table.fieldInt(kSlotRoom), table.fieldInt(kSlotDevice)};
}

void writeBinding(RecordTable& table, const Binding& binding) {
    table.setField(kSlotAddress, binding.address);
    table.setField(kSlotChannel, binding.channel);
}

bool storeBinding(RecordTable& table, int slot, const Binding& binding) {
    if (!locateSlot(table, slot))
        return false;
    table.writeRow([&binding](RecordTable& t) { writeBinding(t, binding); });
    table.refresh();
    return true;
}

} // namespace monitor

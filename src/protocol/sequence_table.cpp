#include "protocol/sequence_table.h"

#include "link/bus.h"
#include "protocol/binding_rows.h"
#include "protocol/monitor_rows.h"
#include "protocol/timer_rows.h"
#include "records/record_table.h"

namespace {

QJsonValue optionalText(const std::optional<QString>& text) {
    return text ? QJsonValue(*text) : QJsonValue();
}

int zero(const SequenceTarget&) {
    return 0;
}

StepRow timerRead(const Reply& r, const SequenceTarget&, int index) {
    const quint8 time[7] = {r[8], r[9], r[10], r[11], r[12], r[13], r[14]};
    const timing::timer::ReadRow row = timing::timer::readRow(r[7], time);
    return {[row, index](RecordTable& t) { timing::timer::writeReadRow(t, index, row); },
            {index + 1, row.time, optionalText(row.mode)}};
}

StepRow timerDelete(const Reply&, const SequenceTarget&, int index) {
    return {[index](RecordTable& t) { timing::timer::writeDeleteRow(t, index); }, {}};
}

StepRow eventRead(const Reply& r, const SequenceTarget& target, int index) {
    const quint8 bytes[5] = {r[7], r[8], r[9], r[10], r[11]};
    const timing::event::Record rec = timing::event::readRecord(bytes);
    const int timer = target.timer;
    return {
        [rec, timer, index](RecordTable& t) { timing::event::writeReadRow(t, timer, index, rec); },
        {timer, index + 1, rec.address, rec.channel, rec.parameter, rec.action}};
}

StepRow eventDelete(const Reply&, const SequenceTarget& target, int index) {
    const int timer = target.timer;
    return {[timer, index](RecordTable& t) { timing::event::writeDeleteRow(t, timer, index); }, {}};
}

StepRow bindingRead(const Reply& r, const SequenceTarget& target, int index) {
    const quint8 data[7] = {r[7], r[8], r[9], r[10], r[11], r[12], r[13]};
    const binding::ReadRow row = binding::readRow(data);
    const int module = target.module;
    return {[row, module, index](RecordTable& t) { binding::writeReadRow(t, module, index, row); },
            {module, index + 1, optionalText(row.mode), row.delay, row.outputAddr,
             row.outputChannel, row.action, row.parameter}};
}

StepRow bindingDelete(const Reply&, const SequenceTarget& target, int index) {
    const int module = target.module;
    return {[module, index](RecordTable& t) { binding::writeDeleteRow(t, module, index); }, {}};
}

StepRow slotRead(const Reply& r, const SequenceTarget&, int slot) {
    const monitor::Binding b = monitor::readBinding(slot, r[7], r[8]);
    return {[b](RecordTable& t) { monitor::writeBinding(t, b); }, {slot, b.address, b.channel}};
}

int lastTimer(const SequenceTarget&) {
    return timing::timer::kCount - 1;
}
int lastEvent(const SequenceTarget&) {
    return timing::event::kCount - 1;
}
int lastBinding(const SequenceTarget&) {
    return binding::kCount - 1;
}

// In the order of SequenceKind.
const SequenceSpec kTable[] = {
    {.kind = SequenceKind::ReadTimers,
     .record = "timer",
     .recordTable = "Timer Records",
     .replyCommand = 0x84,
     .replySub = 0x03,
     .position = StepPosition::Timers,
     .first = zero,
     .last = lastTimer,
     .request = [](const SequenceTarget& t, int i,
                   const RecordTable&) { return timing::timer::read(t.module, i); },
     .row = timerRead},
    {.kind = SequenceKind::DeleteTimers,
     .record = "timer",
     .recordTable = "Timer Records",
     .replyCommand = 0x84,
     .replySub = 0x02,
     .position = StepPosition::Timers,
     .deleting = true,
     .first = zero,
     .last = lastTimer,
     .request = [](const SequenceTarget& t, int i,
                   const RecordTable&) { return timing::timer::remove(t.module, i); },
     .row = timerDelete},
    {.kind = SequenceKind::ReadEvents,
     .record = "event",
     .recordTable = "Event Records",
     .replyCommand = 0x84,
     .replySub = 0x05,
     .position = StepPosition::Events,
     .first = zero,
     .last = lastEvent,
     .request = [](const SequenceTarget& t, int i,
                   const RecordTable&) { return timing::event::read(t.module, t.timer, i); },
     .row = eventRead},
    {.kind = SequenceKind::DeleteEvents,
     .record = "event",
     .recordTable = "Event Records",
     .replyCommand = 0x84,
     .replySub = 0x04,
     .position = StepPosition::Events,
     .deleting = true,
     .first = zero,
     .last = lastEvent,
     .request = [](const SequenceTarget& t, int i,
                   const RecordTable&) { return timing::event::remove(t.module, t.timer, i); },
     .row = eventDelete},
    {.kind = SequenceKind::ReadBindings,
     .record = "binding",
     .recordTable = "Bind Records",
     .replyCommand = 0x80,
     .replySub = 0x0F,
     .position = StepPosition::Bindings,
     .first = zero,
     .last = lastBinding,
     .request = [](const SequenceTarget& t, int i,
                   const RecordTable&) { return binding::read(t.module, i); },
     .row = bindingRead},
    {.kind = SequenceKind::DeleteBindings,
     .record = "binding",
     .recordTable = "Bind Records",
     .replyCommand = 0x80,
     .replySub = 0x01,
     .position = StepPosition::Bindings,
     .deleting = true,
     .first = zero,
     .last = lastBinding,
     .request = [](const SequenceTarget& t, int i,
                   const RecordTable&) { return binding::remove(t.module, i); },
     .row = bindingDelete},
    {.kind = SequenceKind::ReadMonitorSlots,
     .record = "monitor slot",
     .recordTable = "Monitor Bind Records",
     .replyCommand = 0x80,
     .replySub = 0x10,
     .position = StepPosition::MonitorSlots,
     .pauseMs = 50,
     .bySlot = true,
     .first = [](const SequenceTarget& t) { return monitor::firstSlot(t.deviceType); },
     // Read at every step: "All" has no bySlot, so switching to it ends the sequence.
     .last = [](const SequenceTarget& t) { return monitor::lastSlot(t.deviceType); },
     .request =
         [](const SequenceTarget&, int slot, const RecordTable& table) {
             return monitor::read(monitor::slotOfRow(table, slot));
         },
     .row = slotRead},
};

} // namespace

const SequenceSpec& sequenceSpec(SequenceKind kind) {
    return kTable[static_cast<int>(kind)];
}

quint8 SequenceSpec::module(const SequenceTarget& target) const {
    return bySlot ? monitor::kGateway : quint8(target.module);
}

#include "protocol/binding_rows.h"

#include "protocol/action_codes.h"
#include "records/record_table.h"

namespace binding {

namespace {
const QString kInputAddr = QStringLiteral("Input_Addr");
const QString kInputChannel = QStringLiteral("Input_Channel");
const QString kMode = QStringLiteral("Trigger_Mode");
const QString kDelay = QStringLiteral("Trigger_Delay");
const QString kOutputAddr = QStringLiteral("Output_Addr");
const QString kOutputChannel = QStringLiteral("Output_Channel");
const QString kAction = QStringLiteral("Action");
const QString kParameter = QStringLiteral("Parameter");
const QString kInvalid = QStringLiteral("Invalid");

// An empty binding: "Invalid", no mode and no numbers.
void writeEmpty(RecordTable& t) {
    t.setField(kAction, kInvalid);
    t.setField(kMode, noModeText());
    t.setField(kDelay, kNone);
    t.setField(kOutputAddr, kNone);
    t.setField(kOutputChannel, kNone);
    t.setField(kParameter, kNone);
}

void writeKey(RecordTable& t, int module, int channel) {
    t.setField(kInputAddr, module);
    t.setField(kInputChannel, channel);
}
} // namespace

void writeReadRow(RecordTable& t, int module, int index, const ReadRow& row) {
    writeKey(t, module, index + 1);
    t.setField(kOutputAddr, row.outputAddr);
    t.setField(kOutputChannel, row.outputChannel);
    t.setField(kParameter, row.parameter);
    t.setField(kDelay, row.delay);
    t.setField(kAction, row.action);
    // A mode byte outside the list leaves the row's mode as it was.
    if (row.mode)
        t.setField(kMode, *row.mode);
}

void writeDeleteRow(RecordTable& t, int module, int index) {
    writeKey(t, module, index + 1);
    writeEmpty(t);
}

void storeSetRow(RecordTable& t, const Settings& s) {
    const QString action = actions::bindingItems().at(s.actionIndex);
    t.upsert(
        [&](const RecordTable& r) {
            return r.fieldInt(kInputAddr) == s.inputModule &&
                   r.fieldInt(kInputChannel) == s.inputChannel;
        },
        [&](RecordTable& r) {
            writeKey(r, s.inputModule, s.inputChannel);
            if (action == kInvalid) {
                writeEmpty(r);
                return;
            }
            r.setField(kAction, action);
            r.setField(kMode, modeItems().at(s.modeIndex));
            r.setField(kDelay, s.delaySeconds);
            r.setField(kOutputAddr, s.bindingModule);
            r.setField(kOutputChannel, s.bindingChannel);
            r.setField(kParameter, s.sceneOrIr);
        });
}

} // namespace binding

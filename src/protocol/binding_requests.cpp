#include "protocol/binding_requests.h"

#include "protocol/action_codes.h"
#include "records/records_values.h"

namespace binding {

namespace {
constexpr quint8 kCommand = 0x00;
constexpr quint8 kSet = 0x01;
constexpr quint8 kRead = 0x0F;
constexpr quint8 kEmpty = 0xFF;
} // namespace

const QStringList& modeItems() {
    return records_values::bindingModes();
}

QString noModeText() {
    return records_values::noBindingMode();
}

Request set(const Settings& s) {
    const int last = actions::bindingInvalidItem();
    const int action = s.actionIndex >= 0 && s.actionIndex <= last ? s.actionIndex : last;
    const actions::ActionCode code = actions::bindingCode(action);
    // Input channel, mode, action pair, target module and channel, scene or IR, delay.
    quint8 p[8] = {quint8(s.inputChannel - 1),
                   quint8(s.modeIndex),
                   code.command,
                   code.subCommand,
                   quint8(s.bindingModule),
                   quint8(s.bindingChannel - 1),
                   quint8(s.sceneOrIr),
                   quint8(s.delaySeconds)};
    // Bytes that an action does not use go out fixed.
    if (action == last) {
        for (int i = 1; i < 7; ++i)
            p[i] = kEmpty;
        p[7] = kNoDelay;
    } else if (action == actions::kSceneControl) {
        p[4] = kEmpty;
        p[5] = kEmpty;
    } else if (action == actions::kIrControl) {
        p[5] = 0x00;
    }
    return Request(quint8(s.inputModule), kCommand, kSet,
                   QByteArray(reinterpret_cast<const char*>(p), sizeof p));
}

Request read(int module, int index) {
    return {quint8(module), kCommand, kRead, {index & 0xFF}};
}

Request remove(int module, int index) {
    return {quint8(module),
            kCommand,
            kSet,
            {index & 0xFF, kEmpty, kEmpty, kEmpty, kEmpty, kEmpty, kEmpty, kNoDelay}};
}

ReadRow readRow(const quint8 d[7]) {
    ReadRow row;
    // The same table a Set takes its pair from, so an "Alarm" binding reads back as "Alarm".
    row.action = actions::bindingText(d[1], d[2]);
    row.outputAddr = d[3];
    row.outputChannel = d[4] == kEmpty ? kNone : d[4] + 1;
    row.parameter = d[5];
    row.delay = d[6] == kNoDelay ? kNone : d[6];
    if (row.action == actions::bindingItems().at(actions::bindingInvalidItem()))
        row.mode = noModeText();
    else if (d[0] < modeItems().size())
        row.mode = modeItems().at(d[0]);
    return row;
}

} // namespace binding

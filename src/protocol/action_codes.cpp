#include "protocol/action_codes.h"

#include "records/records_values.h"

#include <span>

namespace actions {

namespace {
// Item order of the event list; the same pairs the direct controls send for each action.
constexpr ActionCode kEventCodes[] = {
    {0x02, 0x01}, {0x02, 0x02}, {0x02, 0x03}, {0x01, 0x01}, {0x01, 0x02},
    {0x01, 0x03}, {0x00, 0x04}, {0x03, 0x04}, {0xFF, 0xFF},
};
// An input module can also raise an alarm.
constexpr ActionCode kBindingCodes[] = {
    {0x02, 0x01}, {0x02, 0x02}, {0x02, 0x03}, {0x01, 0x01}, {0x01, 0x02},
    {0x01, 0x03}, {0x00, 0x04}, {0x03, 0x04}, {0x05, 0x02}, {0xFF, 0xFF},
};

ActionCode codeOf(std::span<const ActionCode> codes, int item) {
    if (item < 0 || item >= int(codes.size()))
        return codes.back();
    return codes[std::size_t(item)];
}

// The last entry is "Invalid": it is also what every unknown pair reads as, and the
// 0xFF 0xFF pair itself maps to it.
QString textOf(std::span<const ActionCode> codes, const QStringList& items, quint8 command,
               quint8 subCommand) {
    for (std::size_t i = 0; i + 1 < codes.size(); ++i)
        if (codes[i].command == command && codes[i].subCommand == subCommand)
            return items.at(int(i));
    return items.back();
}
} // namespace

// The texts are the record rows' own: the records layer keeps them.
const QStringList& eventItems() {
    return records_values::eventActions();
}

const QStringList& bindingItems() {
    return records_values::bindingActions();
}

ActionCode eventCode(int item) {
    return codeOf(kEventCodes, item);
}

ActionCode bindingCode(int item) {
    return codeOf(kBindingCodes, item);
}

QString eventText(quint8 command, quint8 subCommand) {
    return textOf(kEventCodes, eventItems(), command, subCommand);
}

QString bindingText(quint8 command, quint8 subCommand) {
    return textOf(kBindingCodes, bindingItems(), command, subCommand);
}

} // namespace actions

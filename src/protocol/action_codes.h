#pragma once

#include <QString>
#include <QStringList>

// The command pairs that a module sends by itself when a timer fires or an input triggers,
// with the texts the "Function :" lists and the record rows use. Timer events offer nine
// actions; input bindings add "Alarm" before "Invalid".
namespace actions {

struct ActionCode {
    quint8 command;
    quint8 subCommand;
};

inline constexpr int kSceneControl = 6;
inline constexpr int kIrControl = 7;

// The list of an event's "Function :", in item order; the last item is "Invalid".
const QStringList& eventItems();
// The list of an input binding's "Function :": the event actions with "Alarm" before "Invalid".
const QStringList& bindingItems();
inline int eventInvalidItem() {
    return int(eventItems().size()) - 1;
}
inline int bindingInvalidItem() {
    return int(bindingItems().size()) - 1;
}

// The pair of an item; an item outside the list gives the "Invalid" pair 0xFF 0xFF.
ActionCode eventCode(int item);
ActionCode bindingCode(int item);

// The text of a pair read back from a module; a pair outside the list reads "Invalid".
QString eventText(quint8 command, quint8 subCommand);
QString bindingText(quint8 command, quint8 subCommand);

} // namespace actions

#pragma once

#include "link/request_layout.h"

#include <QString>
#include <QStringList>

#include <optional>

// Requests of an input module's bindings ("control data") and what a read-back binding
// becomes in a "Bind Records" row, numbered in the short layout. Plain functions of plain
// values: the window and a command line front end share them.
//
// All of them are command 0x00 to the input module itself: 0x01 sets one binding (and, with
// every byte empty, clears it), 0x0F reads one back.
namespace binding {

inline constexpr int kCount = 14;        // a sequence covers input channels 1..14
inline constexpr int kNone = 255;        // a number column without a value
inline constexpr quint8 kNoDelay = 0x7F; // the delay byte of an empty binding

// "NC", "NO", "NC/NO": the "Control Mode :" list; the item index is the mode byte.
const QStringList& modeItems();
// "------": the mode text of an empty ("Invalid") binding.
QString noModeText();

// What the "Input Module Settings" controls hold. actionIndex is the "Function :" item
// (actions::bindingItems()); channels are as shown, 1-based.
struct Settings {
    int inputModule = 1;
    int inputChannel = 1;
    int modeIndex = 0;
    int delaySeconds = 0;
    int bindingModule = 1;
    int bindingChannel = 1;
    int actionIndex = 0;
    int sceneOrIr = 0;
};
// Channels beyond what a module has go out as they are: the module decides.
Request set(const Settings& s);
// index 0..13 is the input channel minus 1.
Request read(int module, int index);
// A Set with every byte of the binding empty.
Request remove(int module, int index);

// One binding record (reply bytes 7..13) as a read step writes it.
struct ReadRow {
    QString action;
    std::optional<QString> mode; // nothing: the row keeps its mode text
    int delay = kNone;
    int outputAddr = kNone;
    int outputChannel = kNone;
    int parameter = kNone;
};
// data: mode, command, sub-command, binding module, binding channel - 1, scene or IR, delay.
ReadRow readRow(const quint8 data[7]);

} // namespace binding

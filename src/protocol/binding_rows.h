#pragma once

#include "protocol/binding_requests.h"

class RecordTable;

// What the read and delete steps of the binding sequence and a confirmed Set write into a
// "Bind Records" row. The window and the command line write the same.
namespace binding {

// The current row of a sequence over input module `module`; `index` is the channel minus 1.
void writeReadRow(RecordTable& t, int module, int index, const ReadRow& row);
void writeDeleteRow(RecordTable& t, int module, int index);

// A confirmed Set from the controls' texts and values: "Invalid" writes the empty binding,
// every other action the controls' values, also where the request sent fixed bytes.
struct SetRow {
    int inputModule = 1;
    int inputChannel = 1;
    QString action;
    QString mode;
    int delay = 0;
    int outputAddr = 1;
    int outputChannel = 1;
    int parameter = 0;
};
bool isRowOf(const RecordTable& t, int inputModule, int inputChannel);
void writeSetRow(RecordTable& t, const SetRow& row);

} // namespace binding

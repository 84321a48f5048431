#pragma once

#include "protocol/binding_requests.h"

class RecordTable;

// What the read and delete steps of the binding sequence and a confirmed Set write into a
// "Bind Records" row. The window and the command line write the same.
namespace binding {

// The current row of a sequence over input module `module`; `index` is the channel minus 1.
void writeReadRow(RecordTable& t, int module, int index, const ReadRow& row);
void writeDeleteRow(RecordTable& t, int module, int index);

// A confirmed Set into the row of its input channel, a new row when there is none: "Invalid"
// writes the empty binding, every other action the settings' values, also where the request
// sent fixed bytes.
void storeSetRow(RecordTable& t, const Settings& s);

} // namespace binding

#pragma once

#include <QString>

class RecordTable;

// What confirmed IR replies do to "IR Records": a learned code is listed under its module and
// number with its name, deletions take the rows away. The window and the command line share
// these.
namespace ir {

// The row of the module and IR number gets the name, or a new row is added.
void storeLearned(RecordTable& codes, int module, int irNo, const QString& name);
// The first row of the module and IR number goes, if there is one.
bool deleteCodeRow(RecordTable& codes, int module, int irNo);
// Every row of the module goes; returns how many.
int clearModuleRows(RecordTable& codes, int module);

} // namespace ir

#include "protocol/ir_rows.h"

#include "protocol/record_deletes.h"
#include "records/record_table.h"

namespace ir {

namespace {
const QString kIrModuleColumn = QStringLiteral("Module_Addr");
const QString kIrNoColumn = QStringLiteral("IR_No");
const QString kIrNameColumn = QStringLiteral("Information");

bool isCodeRow(const RecordTable& t, int module, int irNo) {
    return t.fieldInt(kIrNoColumn) == irNo && t.fieldInt(kIrModuleColumn) == module;
}
} // namespace

void storeLearned(RecordTable& codes, int module, int irNo, const QString& name) {
    // No sequence walks the IR codes: the row is looked for among what the file holds now.
    codes.reloadIfChangedElsewhere();
    codes.upsert([=](const RecordTable& t) { return isCodeRow(t, module, irNo); },
                 [&](RecordTable& t) {
                     t.setField(kIrNameColumn, name);
                     t.setField(kIrModuleColumn, module);
                     t.setField(kIrNoColumn, irNo);
                 });
}

bool deleteCodeRow(RecordTable& codes, int module, int irNo) {
    return records::deleteFirstMatch(
        codes, [=](const RecordTable& t) { return isCodeRow(t, module, irNo); });
}

int clearModuleRows(RecordTable& codes, int module) {
    return records::deleteEveryMatch(
        codes, [module](const RecordTable& t) { return t.fieldInt(kIrModuleColumn) == module; });
}

} // namespace ir

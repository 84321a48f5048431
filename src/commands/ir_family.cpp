#include "commands/ir_family.h"

#include "commands/record_grid.h"
#include "records/record_store.h"

#include <QGroupBox>
#include <QVBoxLayout>

IrFamily::IrFamily(FamilyContext& ctx) : m_ctx(ctx) {
    auto* group = ctx.pageGroup(QStringLiteral("TabSheet5"), QStringLiteral("GroupBox12"),
                                QStringLiteral("IR Control"));
    auto* layout = new QVBoxLayout(group);
    layout->addWidget(new RecordGrid(ctx.records.ir(), RecordStore::Ir, ctx.prompts, group));
}

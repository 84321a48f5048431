#include "commands/scene_family.h"

#include "commands/record_grid.h"
#include "records/record_store.h"

#include <QGroupBox>
#include <QVBoxLayout>

SceneFamily::SceneFamily(FamilyContext& ctx) : m_ctx(ctx) {
    auto* group = ctx.pageGroup(QStringLiteral("TabSheet2"), QStringLiteral("GroupBox2"),
                                QStringLiteral("Set Scenes"));
    // The group's hint names the button that empties a module's scenes.
    group->setToolTip(QStringLiteral("Clear All Scenes"));
    auto* layout = new QVBoxLayout(group);
    layout->addWidget(
        new RecordGrid(ctx.records.scenes(), RecordStore::Scenes, ctx.prompts, group));
}

#include "protocol/scene_rows.h"

#include "protocol/record_deletes.h"
#include "protocol/scene_requests.h"
#include "records/record_table.h"

namespace scene {

namespace {
const QString kSceneColumn = QStringLiteral("Scene_No");
const QString kSceneModuleColumn = QStringLiteral("Module_Addr");
const QString kSceneNameColumn = QStringLiteral("Information");
constexpr int kDefaultIrSlot = 255;
} // namespace

QStringList targetTexts(const QList<int>& itemIndices) {
    QStringList texts;
    for (int k = 0; k < kChannels; ++k)
        texts << targetItems().value(itemIndices.value(k, 0), targetItems().front());
    return texts;
}

QStringList irTexts(const QList<int>& irNumbers) {
    QStringList texts;
    for (int k = 0; k < kChannels; ++k)
        texts << irChannelText(irNumbers.value(k, kDefaultIrSlot));
    return texts;
}

void storeRow(RecordTable& scenes, const Row& row) {
    // No sequence walks the scenes: the row is looked for among what the file holds now.
    scenes.reloadIfChangedElsewhere();
    scenes.upsert(
        [&row](const RecordTable& t) {
            return t.fieldInt(kSceneColumn) == row.sceneNo &&
                   t.fieldInt(kSceneModuleColumn) == row.module;
        },
        [&row](RecordTable& t) {
            t.setField(kSceneColumn, row.sceneNo);
            t.setField(kSceneModuleColumn, row.module);
            t.setField(kSceneNameColumn, row.name);
            for (int k = 1; k <= kChannels; ++k)
                t.setField(QStringLiteral("CH%1").arg(k), row.channels.value(k - 1));
        });
}

int clearModuleRows(RecordTable& scenes, int module) {
    // The scene number of the request plays no part: every scene of the module is gone.
    return records::deleteEveryMatch(scenes, [module](const RecordTable& t) {
        return t.fieldInt(kSceneModuleColumn) == module;
    });
}

} // namespace scene

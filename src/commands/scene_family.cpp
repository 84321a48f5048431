#include "commands/scene_family.h"

#include "link/bus.h"
#include "protocol/scene_requests.h"
#include "protocol/scene_rows.h"
#include "records/record_store.h"
#include "records/records_values.h"
#include "widgets/form_builder.h"
#include "widgets/prompt_service.h"
#include "widgets/record_grid.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {
constexpr int kFirstTargetCombo = 6; // ComboBox6 is CH1
constexpr int kFirstIrSpin = 21;     // SpinEdit21 is IR1
constexpr int kNoIrCode = 255;
constexpr int kPerColumn = 4; // CH1..CH4 beside CH5..CH8
} // namespace

SceneFamily::SceneFamily(FamilyContext& ctx) : m_ctx(ctx) {
    auto* group = ctx.pageGroup(QStringLiteral("TabSheet2"), QStringLiteral("GroupBox2"),
                                QStringLiteral("Set Scenes"));
    // The group's hint names the button that empties a module's scenes.
    group->setToolTip(QStringLiteral("Clear All Scenes"));

    m_module = form::spin(group, QStringLiteral("SpinEdit5"), 1, 32, 1);
    m_scene = form::spin(group, QStringLiteral("SpinEdit4"), 0, 100, 0);
    m_channels = form::spin(group, QStringLiteral("SpinEdit6"), 1, 8, 4);
    m_name = form::edit(group, QStringLiteral("Edit10"), records_values::kNameFieldLength);

    auto* fields = new QGridLayout;
    form::row(fields, 0, 0, QStringLiteral("LabelSpinEdit5"), QStringLiteral("Module Addr. :"),
              m_module);
    form::row(fields, 1, 0, QStringLiteral("LabelSpinEdit4"), QStringLiteral("Scene No. :"),
              m_scene);
    form::row(fields, 2, 0, QStringLiteral("LabelSpinEdit6"), QStringLiteral("Module Channels :"),
              m_channels);
    form::row(fields, 3, 0, QStringLiteral("LabelEdit10"), QStringLiteral("Scene Name :"), m_name);
    form::buttons(group, fields, this,
                  {
                      {"Button8", "Test Scene", [this] { Button8Click(); }, 4, 1},
                      {"Button13", "Clear All Scenes", [this] { Button13Click(); }, 5, 1},
                  });
    fields->setRowStretch(6, 1);

    auto* top = new QHBoxLayout;
    top->addLayout(fields);
    top->addWidget(buildTargetGroup(group));
    top->addWidget(buildIrGroup(group));
    top->addStretch(1);

    auto* layout = new QVBoxLayout(group);
    layout->addLayout(top);
    layout->addWidget(new RecordGrid(ctx.records.scenes(), RecordStore::Scenes, ctx.prompts, group),
                      1);

    ctx.bus.registerReply(
        this, 0x80, 0x02, [this](const Reply& r) { sceneStored(r); }, ReplyRule::Answer);
    ctx.bus.registerReply(
        this, 0x80, 0x03, [this](const Reply& r) { scenesCleared(r); }, ReplyRule::Answer);
}

QGroupBox* SceneFamily::buildTargetGroup(QWidget* parent) {
    auto* box =
        form::group(parent, QStringLiteral("GroupBox8"), QStringLiteral("Light/Curtain Module"));
    auto* grid = new QGridLayout(box);
    for (int k = 1; k <= scene::kChannels; ++k) {
        auto* combo = form::combo(box, QStringLiteral("ComboBox%1").arg(kFirstTargetCombo + k - 1),
                                  scene::targetItems(), 0);
        m_targets << combo;
        form::row(grid, (k - 1) % kPerColumn, (k - 1) / kPerColumn * 2,
                  QStringLiteral("LabelCH%1").arg(k), QStringLiteral("CH%1 :").arg(k), combo);
    }
    form::buttons(box, grid, this, {{"Button7", "Set", [this] { Button7Click(); }, kPerColumn, 3}});
    return box;
}

QGroupBox* SceneFamily::buildIrGroup(QWidget* parent) {
    auto* box = form::group(parent, QStringLiteral("GroupBox13"), QStringLiteral("IR Module"));
    auto* grid = new QGridLayout(box);
    for (int k = 1; k <= scene::kChannels; ++k) {
        auto* spin = form::spin(box, QStringLiteral("SpinEdit%1").arg(kFirstIrSpin + k - 1), 0, 255,
                                kNoIrCode);
        m_irSlots << spin;
        form::row(grid, (k - 1) % kPerColumn, (k - 1) / kPerColumn * 2,
                  QStringLiteral("LabelIR%1").arg(k), QStringLiteral("IR%1 :").arg(k), spin);
    }
    form::buttons(box, grid, this,
                  {{"Button37", "Set", [this] { Button37Click(); }, kPerColumn, 3}});
    return box;
}

int SceneFamily::module() const {
    return form::value(m_module);
}
int SceneFamily::sceneNo() const {
    return form::value(m_scene);
}
int SceneFamily::channels() const {
    return form::value(m_channels);
}

QList<int> SceneFamily::targetItems() const {
    QList<int> items;
    for (const QComboBox* c : m_targets)
        items << c->currentIndex();
    return items;
}

QList<int> SceneFamily::irNumbers() const {
    QList<int> numbers;
    for (const QSpinBox* s : m_irSlots)
        numbers << form::value(s);
    return numbers;
}

void SceneFamily::Button7Click() {
    m_sceneIsIr = false;
    m_ctx.bus.sendSet(scene::setTargets(module(), sceneNo(), targetItems(), channels()));
}

void SceneFamily::Button37Click() {
    m_sceneIsIr = true;
    m_ctx.bus.sendSet(scene::setIr(module(), sceneNo(), irNumbers(), channels()));
}

void SceneFamily::Button8Click() {
    m_ctx.bus.send(scene::test(sceneNo()));
}

void SceneFamily::Button13Click() {
    if (!m_ctx.prompts.confirm(QStringLiteral("Are you sure?")))
        return;
    m_ctx.bus.sendSet(scene::clearAll(module(), sceneNo()));
}

void SceneFamily::sceneStored(const Reply&) {
    // No copy of the request is kept: the row says what the controls say now. All eight
    // columns, however few channels were sent.
    const bool ir = m_sceneIsIr;
    scene::storeRow(m_ctx.records.scenes(),
                    {sceneNo(), module(), m_name->text(),
                     ir ? scene::irTexts(irNumbers()) : scene::targetTexts(targetItems())});
}

void SceneFamily::scenesCleared(const Reply&) {
    scene::clearModuleRows(m_ctx.records.scenes(), module());
}

#include "moc_scene_family.cpp"

#include "commands/input_binding_family.h"

#include "link/bus.h"
#include "protocol/action_codes.h"
#include "protocol/binding_rows.h"
#include "records/filters.h"
#include "records/record_store.h"
#include "widgets/click_guard.h"
#include "widgets/form_builder.h"
#include "widgets/prompt_service.h"
#include "widgets/record_grid.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {

// The delay spin box with its unit beside it.
QWidget* withUnit(QWidget* parent, QSpinBox* spin) {
    auto* box = new QWidget(parent);
    auto* row = new QHBoxLayout(box);
    row->setContentsMargins(0, 0, 0, 0);
    spin->setParent(box);
    row->addWidget(spin);
    row->addWidget(
        form::label(box, QStringLiteral("LabelSpinEdit19Unit"), QStringLiteral("S  (0~60S)")));
    row->addStretch(1);
    return box;
}
} // namespace

InputBindingFamily::InputBindingFamily(FamilyContext& ctx, SequenceEngine& sequences)
    : m_ctx(ctx), m_sequences(sequences) {
    auto* group = ctx.pageGroup(QStringLiteral("TabSheet6"), QStringLiteral("GroupBox10"),
                                QStringLiteral("Input Module Settings"));
    auto* layout = new QVBoxLayout(group);
    layout->addLayout(buildSettings(group));
    layout->addWidget(new RecordGrid(ctx.records.binds(), RecordStore::Binds, ctx.prompts, group),
                      1);

    auto* below = new QGridLayout;
    m_inputModule = form::spin(group, QStringLiteral("SpinEdit37"), 0, 32, 0);
    form::row(below, 0, 0, QStringLiteral("Label80"), QStringLiteral("Input  Module Addr. :"),
              m_inputModule);
    form::buttons(group, below, this,
                  {
                      {"Button50", "Read All Control Data",
                       [this] { runClick(m_ctx.prompts, [this] { Button50Click(); }); }, 0, 2},
                      {"Button48", "Delete All Control Data",
                       [this] { runClick(m_ctx.prompts, [this] { Button48Click(); }); }, 0, 3},
                  });
    below->setColumnStretch(4, 1);
    layout->addLayout(below);
    connect(m_inputModule, &QSpinBox::valueChanged, this, &InputBindingFamily::SpinEdit37Change);

    const auto setRow = [this] {
        const binding::Settings s = settings();
        return SequenceEngine::SetRow{
            s.inputModule, QStringLiteral("the binding of channel %1").arg(s.inputChannel)};
    };
    sequences.storeOnSetAck(this, 0x80, 0x01, ctx.records.binds(), setRow,
                            [this] { binding::storeSetRow(m_ctx.records.binds(), settings()); });
}

QGridLayout* InputBindingFamily::buildSettings(QWidget* group) {
    m_input = form::spin(group, QStringLiteral("SpinEdit15"), 1, 32, 1);
    m_inputChannel = form::spin(group, QStringLiteral("SpinEdit17"), 1, 32, 1);
    m_mode = form::combo(group, QStringLiteral("ComboBox15"), binding::modeItems());
    m_delay = form::spin(group, QStringLiteral("SpinEdit19"), 0, 60, 0);
    m_target = form::spin(group, QStringLiteral("SpinEdit18"), 1, 32, 1);
    m_targetChannel = form::spin(group, QStringLiteral("SpinEdit16"), 1, 20, 1);
    m_action = form::combo(group, QStringLiteral("ComboBox16"), actions::bindingItems());
    m_parameter = form::spin(group, QStringLiteral("SpinEdit20"), 0, 255, 0);

    auto* grid = new QGridLayout;
    form::row(grid, 0, 0, QStringLiteral("LabelSpinEdit15"), QStringLiteral("Input Module Addr. :"),
              m_input);
    form::row(grid, 0, 2, QStringLiteral("LabelSpinEdit17"), QStringLiteral("Input Channel No. :"),
              m_inputChannel);
    form::row(grid, 0, 4, QStringLiteral("LabelComboBox15"), QStringLiteral("Control Mode :"),
              m_mode);
    form::row(grid, 0, 6, QStringLiteral("LabelSpinEdit19"), QStringLiteral("Delay Time :"),
              withUnit(group, m_delay));
    form::row(grid, 1, 0, QStringLiteral("LabelSpinEdit18"),
              QStringLiteral("Binding Module Addr. :"), m_target);
    form::row(grid, 1, 2, QStringLiteral("LabelSpinEdit16"),
              QStringLiteral("Binding Channel No. :"), m_targetChannel);
    form::row(grid, 1, 4, QStringLiteral("LabelComboBox16"), QStringLiteral("Function :"),
              m_action);
    form::row(grid, 1, 6, QStringLiteral("LabelSpinEdit20"), QStringLiteral("Scene No./IR No. :"),
              m_parameter);
    form::buttons(group, grid, this,
                  {{"Button35", "Set",
                    [this] { runClick(m_ctx.prompts, [this] { Button35Click(); }); }, 1, 8}});
    grid->setColumnStretch(9, 1);
    return grid;
}

void InputBindingFamily::SpinEdit37Change() {
    applyRecordFilter(m_ctx.records.binds(), bindModuleFilter(m_inputModule->value()),
                      m_ctx.prompts);
}

binding::Settings InputBindingFamily::settings() const {
    binding::Settings s;
    s.inputModule = form::value(m_input);
    s.inputChannel = form::value(m_inputChannel);
    s.modeIndex = m_mode->currentIndex();
    s.delaySeconds = form::value(m_delay);
    s.bindingModule = form::value(m_target);
    s.bindingChannel = form::value(m_targetChannel);
    s.actionIndex = m_action->currentIndex();
    s.sceneOrIr = form::value(m_parameter);
    return s;
}

void InputBindingFamily::Button35Click() {
    m_ctx.bus.sendSet(binding::set(settings()));
}

void InputBindingFamily::Button50Click() {
    startSequence(SequenceKind::ReadBindings);
}

void InputBindingFamily::Button48Click() {
    startSequence(SequenceKind::DeleteBindings);
}

void InputBindingFamily::startSequence(SequenceKind kind) {
    if (form::value(m_inputModule) == 0) {
        m_ctx.prompts.message(QStringLiteral("Please select module address!"));
        return;
    }
    m_sequences.start(kind, m_ctx.records.binds(),
                      [this] { return SequenceTarget{form::value(m_inputModule)}; });
}

#include "moc_input_binding_family.cpp"

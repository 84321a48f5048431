#include "app/record_pages.h"

#include "commands/family_context.h"
#include "commands/form_builder.h"
#include "commands/prompt_service.h"
#include "commands/record_grid.h"
#include "records/filters.h"
#include "records/record_store.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLayout>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {
QGroupBox* pageGroup(FamilyContext& ctx, const QString& page, const QString& name,
                     const QString& caption) {
    QWidget* sheet = ctx.page(page);
    auto* group = form::group(sheet, name, caption);
    sheet->layout()->addWidget(group);
    return group;
}
} // namespace

RecordPages::RecordPages(FamilyContext& context) : m_context(context) {
    buildScenePage();
    buildIrPage();
    buildInputPage();
    buildMonitorPage();
}

void RecordPages::buildScenePage() {
    auto* group = pageGroup(m_context, QStringLiteral("TabSheet2"), QStringLiteral("GroupBox2"),
                            QStringLiteral("Set Scenes"));
    group->setToolTip(QStringLiteral("Clear All Scenes"));
    auto* layout = new QVBoxLayout(group);
    layout->addWidget(
        new RecordGrid(m_context.records.scenes(), RecordStore::Scenes, m_context.prompts, group));
}

void RecordPages::buildIrPage() {
    auto* group = pageGroup(m_context, QStringLiteral("TabSheet5"), QStringLiteral("GroupBox12"),
                            QStringLiteral("IR Control"));
    auto* layout = new QVBoxLayout(group);
    layout->addWidget(
        new RecordGrid(m_context.records.ir(), RecordStore::Ir, m_context.prompts, group));
}

void RecordPages::buildInputPage() {
    auto* group = pageGroup(m_context, QStringLiteral("TabSheet6"), QStringLiteral("GroupBox10"),
                            QStringLiteral("Input Module Settings"));
    auto* layout = new QVBoxLayout(group);
    layout->addWidget(
        new RecordGrid(m_context.records.binds(), RecordStore::Binds, m_context.prompts, group));
    auto* row = new QGridLayout;
    m_inputModule = form::spin(group, QStringLiteral("SpinEdit37"), 0, 32, 0);
    form::row(row, 0, 0, QStringLiteral("Label80"), QStringLiteral("Input  Module Addr. :"),
              m_inputModule);
    row->setColumnStretch(2, 1);
    layout->addLayout(row);
    connect(m_inputModule, &QSpinBox::valueChanged, this, &RecordPages::SpinEdit37Change);
}

void RecordPages::buildMonitorPage() {
    auto* group = pageGroup(m_context, QStringLiteral("TabSheet8"), QStringLiteral("GroupBox11"),
                            QStringLiteral("Monitor Bindings"));
    auto* layout = new QVBoxLayout(group);
    layout->addWidget(new RecordGrid(m_context.records.monitor(), RecordStore::Monitor,
                                     m_context.prompts, group));
    auto* row = new QGridLayout;
    m_slot = form::spin(group, QStringLiteral("SpinEdit38"), 1, 224, 1);
    m_channel = form::spin(group, QStringLiteral("SpinEdit41"), 1, 8, 1);
    m_irNo = form::spin(group, QStringLiteral("SpinEdit44"), 0, 255, 0);
    m_irNo->setEnabled(false);
    m_deviceType =
        form::combo(group, QStringLiteral("ComboBox27"), {"All", "Light", "Curtain", "AC"}, 0);
    form::row(row, 0, 0, QStringLiteral("Label86"), QStringLiteral("No. :"), m_slot);
    form::row(row, 1, 0, QStringLiteral("Label88"), QStringLiteral("Binding Channel No. :"),
              m_channel);
    form::row(row, 2, 0, QStringLiteral("Label89"), QStringLiteral("Binding IR No. :"), m_irNo);
    form::row(row, 3, 0, QStringLiteral("Label90"), QStringLiteral("Device Type :"), m_deviceType);
    row->setColumnStretch(2, 1);
    layout->addLayout(row);
    connect(m_deviceType, &QComboBox::currentIndexChanged, this, &RecordPages::ComboBox27Change);
    connect(m_slot, &QSpinBox::valueChanged, this, &RecordPages::SpinEdit38Change);
}

void RecordPages::applyFilter(RecordTable& table, const QString& expression) {
    // A table that could not be opened at start-up keeps its error to itself here: the
    // filter controls still move, and the grid stays empty.
    if (!table.isOpen())
        return;
    try {
        table.setFiltered(false);
        table.setFilter(expression);
        table.setFiltered(true);
    } catch (const RecordError& e) {
        m_context.prompts.message(QString::fromStdString(e.what()));
    }
}

void RecordPages::SpinEdit37Change() {
    applyFilter(m_context.records.binds(), bindModuleFilter(m_inputModule->value()));
}

void RecordPages::ComboBox27Change() {
    const QString type = m_deviceType->currentText();
    applyFilter(m_context.records.monitor(), monitorTypeFilter(type));
    if (type == QLatin1String("Light"))
        m_slot->setValue(1);
    else if (type == QLatin1String("Curtain"))
        m_slot->setValue(65);
    else if (type == QLatin1String("AC"))
        m_slot->setValue(97);
    const bool ac = type == QLatin1String("AC");
    m_irNo->setEnabled(ac);
    m_channel->setEnabled(!ac);
}

void RecordPages::SpinEdit38Change() {
    RecordTable& table = m_context.records.monitor();
    if (table.isOpen())
        table.locate(QStringLiteral("Order"), m_slot->value());
}

#include "commands/monitor_binding_family.h"

#include "commands/click_guard.h"
#include "commands/form_builder.h"
#include "commands/record_grid.h"
#include "records/filters.h"
#include "records/record_store.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QSpinBox>
#include <QVBoxLayout>

MonitorBindingFamily::MonitorBindingFamily(FamilyContext& ctx) : m_ctx(ctx) {
    auto* group = ctx.pageGroup(QStringLiteral("TabSheet8"), QStringLiteral("GroupBox11"),
                                QStringLiteral("Monitor Bindings"));
    auto* layout = new QVBoxLayout(group);
    layout->addWidget(
        new RecordGrid(ctx.records.monitor(), RecordStore::Monitor, ctx.prompts, group));
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
    connect(m_deviceType, &QComboBox::currentIndexChanged, this,
            &MonitorBindingFamily::ComboBox27Change);
    connect(m_slot, &QSpinBox::valueChanged, this,
            [this] { runClick(m_ctx.prompts, [this] { SpinEdit38Change(); }); });
}

void MonitorBindingFamily::ComboBox27Change() {
    const QString type = m_deviceType->currentText();
    applyRecordFilter(m_ctx.records.monitor(), monitorTypeFilter(type), m_ctx.prompts);
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

void MonitorBindingFamily::SpinEdit38Change() {
    RecordTable& table = m_ctx.records.monitor();
    if (table.isOpen())
        table.locate(QStringLiteral("Order"), m_slot->value());
}

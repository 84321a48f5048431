#include "commands/input_binding_family.h"

#include "commands/form_builder.h"
#include "commands/record_grid.h"
#include "records/filters.h"
#include "records/record_store.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QSpinBox>
#include <QVBoxLayout>

InputBindingFamily::InputBindingFamily(FamilyContext& ctx) : m_ctx(ctx) {
    auto* group = ctx.pageGroup(QStringLiteral("TabSheet6"), QStringLiteral("GroupBox10"),
                                QStringLiteral("Input Module Settings"));
    auto* layout = new QVBoxLayout(group);
    layout->addWidget(new RecordGrid(ctx.records.binds(), RecordStore::Binds, ctx.prompts, group));
    auto* row = new QGridLayout;
    m_inputModule = form::spin(group, QStringLiteral("SpinEdit37"), 0, 32, 0);
    form::row(row, 0, 0, QStringLiteral("Label80"), QStringLiteral("Input  Module Addr. :"),
              m_inputModule);
    row->setColumnStretch(2, 1);
    layout->addLayout(row);
    connect(m_inputModule, &QSpinBox::valueChanged, this, &InputBindingFamily::SpinEdit37Change);
}

void InputBindingFamily::SpinEdit37Change() {
    applyRecordFilter(m_ctx.records.binds(), bindModuleFilter(m_inputModule->value()),
                      m_ctx.prompts);
}

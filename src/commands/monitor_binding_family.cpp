#include "commands/monitor_binding_family.h"

#include "commands/bind_test_group.h"
#include "link/bus.h"
#include "protocol/monitor_rows.h"
#include "records/filters.h"
#include "records/record_store.h"
#include "widgets/click_guard.h"
#include "widgets/form_builder.h"
#include "widgets/prompt_service.h"
#include "widgets/record_grid.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

MonitorBindingFamily::MonitorBindingFamily(FamilyContext& ctx, SequenceEngine& sequences)
    : m_ctx(ctx), m_sequences(sequences) {
    buildBindingGroup();
    m_test = std::make_unique<BindTestGroup>(
        ctx, [this] { runClick(m_ctx.prompts, [this] { SpinEdit38Change(); }); });

    ctx.bus.registerReply(
        this, 0x80, 0x0E, [this](const Reply& r) { bindingSetAck(r); }, ReplyRule::Answer);
}

MonitorBindingFamily::~MonitorBindingFamily() = default;

void MonitorBindingFamily::buildBindingGroup() {
    auto* group = m_ctx.pageGroup(QStringLiteral("TabSheet8"), QStringLiteral("GroupBox11"),
                                  QStringLiteral("Monitor Bindings"));
    auto* layout = new QVBoxLayout(group);
    auto* row = new QGridLayout;
    m_slot = form::spin(group, QStringLiteral("SpinEdit38"), 1, monitor::kSlotCount, 1);
    m_module = form::spin(group, QStringLiteral("SpinEdit42"), 1, 32, 1);
    m_channel = form::spin(group, QStringLiteral("SpinEdit41"), 1, 8, 1);
    m_irNo = form::spin(group, QStringLiteral("SpinEdit44"), 0, 255, 0);
    m_irNo->setEnabled(false);
    m_deviceType =
        form::combo(group, QStringLiteral("ComboBox27"), {"All", "Light", "Curtain", "AC"}, 0);
    form::row(row, 0, 0, QStringLiteral("Label86"), QStringLiteral("No. :"), m_slot);
    form::row(row, 1, 0, QStringLiteral("Label87"), QStringLiteral("Binding Module Addr. :"),
              m_module);
    form::row(row, 2, 0, QStringLiteral("Label88"), QStringLiteral("Binding Channel No. :"),
              m_channel);
    form::row(row, 3, 0, QStringLiteral("Label89"), QStringLiteral("Binding IR No. :"), m_irNo);
    form::row(row, 4, 0, QStringLiteral("Label90"), QStringLiteral("Device Type :"), m_deviceType);
    form::buttons(group, row, this,
                  {
                      {"Button36", "Set",
                       [this] { runClick(m_ctx.prompts, [this] { Button36Click(); }); }, 3, 2},
                      {"Button52", "Read All Bindings",
                       [this] { runClick(m_ctx.prompts, [this] { Button52Click(); }); }, 4, 2},
                  });
    row->setColumnStretch(3, 1);
    layout->addLayout(row);
    layout->addWidget(
        new RecordGrid(m_ctx.records.monitor(), RecordStore::Monitor, m_ctx.prompts, group), 1);

    connect(m_deviceType, &QComboBox::currentIndexChanged, this,
            &MonitorBindingFamily::ComboBox27Change);
    connect(m_slot, &QSpinBox::valueChanged, this,
            [this] { runClick(m_ctx.prompts, [this] { SpinEdit38Change(); }); });
}

QString MonitorBindingFamily::deviceType() const {
    return m_deviceType->currentText();
}

void MonitorBindingFamily::ComboBox27Change() {
    const QString type = deviceType();
    applyRecordFilter(m_ctx.records.monitor(), monitorTypeFilter(type), m_ctx.prompts);
    if (const int first = monitor::firstSlot(type))
        m_slot->setValue(first);
    const bool ac = type == QLatin1String("AC");
    m_irNo->setEnabled(ac);
    m_channel->setEnabled(!ac);
    // The filter re-read the rows: back to the slot even when its number stayed the same.
    runClick(m_ctx.prompts, [this] { SpinEdit38Change(); });
}

void MonitorBindingFamily::SpinEdit38Change() {
    if (m_ctx.records.monitor().isOpen())
        locateSlot(form::value(m_slot));
}

bool MonitorBindingFamily::locateSlot(int slot) {
    return monitor::locateSlot(m_ctx.records.monitor(), slot);
}

monitor::Slot MonitorBindingFamily::currentSlot(int order) const {
    return monitor::slotOfRow(m_ctx.records.monitor(), order);
}

void MonitorBindingFamily::Button36Click() {
    const int slot = form::value(m_slot);
    bool found = false;
    monitor::Slot target{};
    // A read-all running meanwhile stays on its own row.
    m_sequences.keepPlace(m_ctx.records.monitor(), [&] {
        found = locateSlot(slot);
        if (found)
            target = currentSlot(slot);
    });
    if (!found)
        return; // no row for the slot: nothing to bind
    const int module = form::value(m_module);
    const int channel = form::value(m_channel);
    const int irNo = form::value(m_irNo);
    m_pendingSet = {slot, monitor::setBinding(slot, module, channel, irNo)};
    m_ctx.bus.sendSet(monitor::set(target, module, channel, irNo));
}

void MonitorBindingFamily::Button52Click() {
    const int first = monitor::firstSlot(deviceType());
    if (first == 0) {
        m_ctx.prompts.message(QStringLiteral("Please select device type!"));
        return;
    }
    m_sequences.start(SequenceKind::ReadMonitorSlots, m_ctx.records.monitor(), [this] {
        SequenceTarget target;
        target.deviceType = deviceType();
        return target;
    });
}

void MonitorBindingFamily::bindingSetAck(const Reply& r) {
    if (r.answers != Awaiting::Set)
        return;
    // The Set's own slot, wherever the table was moved since.
    const PendingSet set = m_pendingSet;
    monitor::storeBinding(m_ctx.records.monitor(), set.slot, set.binding);
}

#include "moc_monitor_binding_family.cpp"

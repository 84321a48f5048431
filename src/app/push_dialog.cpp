#include "app/push_dialog.h"

#include "app/audit_rows.h"
#include "commands/form_builder.h"
#include "commands/module_audit.h"
#include "commands/module_push.h"
#include "commands/prompt_service.h"
#include "records/record_table.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QSpinBox>
#include <QTableWidget>

PushDialog::PushDialog(Bus& bus, PromptService& prompts, const QString& databaseFile,
                       QWidget* parent)
    : JobDialog(QStringLiteral("Push"), QStringLiteral("Replace Module"), prompts, parent),
      m_bus(bus), m_databaseFile(databaseFile) {
    QWidget* box = settings()->parentWidget();
    m_module = form::spin(box, QStringLiteral("PushModule"), 1, 255, 1);
    m_module->setToolTip(QStringLiteral("255: the bus switch and its monitor bindings"));
    m_channels = form::spin(box, QStringLiteral("PushChannels"), 1, 8, 8);
    m_timers = form::check(box, QStringLiteral("PushTimers"),
                           QStringLiteral("Timer Records and Event Records belong to this module"));
    form::row(settings(), 0, 0, QStringLiteral("PushModuleLabel"), QStringLiteral("Module Addr. :"),
              m_module);
    form::row(settings(), 0, 2, QStringLiteral("PushChannelsLabel"),
              QStringLiteral("Module Channels :"), m_channels);
    settings()->addWidget(m_timers, 1, 0, 1, 4);
    setColumns(auditrows::columns());
}

PushDialog::~PushDialog() = default;

void PushDialog::setModule(int address) {
    m_module->setValue(address);
}

BusJob* PushDialog::createJob() {
    m_audit.reset();
    ModuleRecords& records = m_records;
    try {
        records = ModuleRecords::load(m_databaseFile, m_module->value(), m_timers->isChecked());
    } catch (const RecordError& e) {
        prompts().message(QStringLiteral("The records cannot be read."),
                          QString::fromStdString(e.what()));
        return nullptr;
    }
    m_push = std::make_unique<ModulePush>(
        m_bus, records, ModulePush::Options{m_channels->value(), m_bus.replyWait()});
    if (m_push->writeCount() == 0) {
        prompts().message(QStringLiteral("The records hold nothing to write into module %1.")
                              .arg(records.module));
        return nullptr;
    }
    if (!prompts().confirm(QStringLiteral("Are you sure?")))
        return nullptr;
    connect(m_push.get(), &ModulePush::written, this, [this](const QString& what) {
        auditrows::add(table(), what, QStringLiteral("written"), QString(), true);
    });
    summary()->setText(QStringLiteral("Writing %1 record(s) into module %2…")
                           .arg(m_push->writeCount())
                           .arg(records.module));
    return &m_push->job();
}

void PushDialog::jobEnded() {
    if (m_audit) {
        QStringList lines{m_pushSummary, m_audit->report().summary()};
        lines << m_push->report().notes;
        summary()->setText(lines.join(QLatin1Char('\n')));
        return;
    }
    const PushReport& r = m_push->report();
    m_pushSummary = r.summary();
    if (!r.complete()) {
        for (const QString& what : r.notWritten)
            auditrows::add(table(), what, QStringLiteral("not written"), QString(), false);
        QStringList lines{m_pushSummary};
        lines << r.notes;
        summary()->setText(lines.join(QLatin1Char('\n')));
        return;
    }
    // Everything went out: read it back, against the records that were written.
    m_audit = std::make_unique<ModuleAudit>(m_bus, m_records, m_bus.replyWait());
    table()->setRowCount(0);
    connect(m_audit.get(), &ModuleAudit::itemReady, this,
            [this](const AuditItem& item) { auditrows::add(table(), item); });
    summary()->setText(m_pushSummary + QStringLiteral("\nReading it back…"));
    runJob(&m_audit->job());
}

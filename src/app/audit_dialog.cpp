#include "app/audit_dialog.h"

#include "app/audit_rows.h"
#include "commands/form_builder.h"
#include "commands/module_audit.h"
#include "commands/prompt_service.h"
#include "records/record_table.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QSpinBox>

AuditDialog::AuditDialog(Bus& bus, PromptService& prompts, const QString& databaseFile,
                         QWidget* parent)
    : JobDialog(QStringLiteral("Audit"), QStringLiteral("Audit Module"), prompts, parent),
      m_bus(bus), m_databaseFile(databaseFile) {
    QWidget* box = settings()->parentWidget();
    m_module = form::spin(box, QStringLiteral("AuditModule"), 1, 255, 1);
    m_module->setToolTip(QStringLiteral("255: the bus switch and its monitor bindings"));
    m_timers = form::check(box, QStringLiteral("AuditTimers"),
                           QStringLiteral("Timer Records and Event Records belong to this module"));
    form::row(settings(), 0, 0, QStringLiteral("AuditModuleLabel"),
              QStringLiteral("Module Addr. :"), m_module);
    settings()->addWidget(m_timers, 1, 0, 1, 2);
    setColumns(auditrows::columns());
}

AuditDialog::~AuditDialog() = default;

void AuditDialog::setModule(int address) {
    m_module->setValue(address);
}

BusJob* AuditDialog::createJob() {
    ModuleRecords records;
    try {
        records = ModuleRecords::load(m_databaseFile, m_module->value(), m_timers->isChecked());
    } catch (const RecordError& e) {
        prompts().message(QStringLiteral("The records cannot be read."),
                          QString::fromStdString(e.what()));
        return nullptr;
    }
    m_audit = std::make_unique<ModuleAudit>(m_bus, records, m_bus.replyWait());
    connect(m_audit.get(), &ModuleAudit::itemReady, this,
            [this](const AuditItem& item) { auditrows::add(table(), item); });
    summary()->setText(QStringLiteral("Reading module %1…").arg(records.module));
    return &m_audit->job();
}

void AuditDialog::jobEnded() {
    const AuditReport& r = m_audit->report();
    QStringList lines{r.summary()};
    for (const QString& n : r.notes)
        lines << n;
    summary()->setText(lines.join(QLatin1Char('\n')));
}

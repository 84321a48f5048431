#include "app/module_job_dialog.h"

#include "app/audit_rows.h"
#include "jobs/module_audit.h"
#include "records/record_table.h"
#include "widgets/form_builder.h"
#include "widgets/prompt_service.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QSpinBox>

ModuleJobDialog::ModuleJobDialog(const QString& prefix, const QString& title, Bus& bus,
                                 PromptService& prompts, const QString& databaseFile,
                                 QWidget* parent)
    : JobDialog(prefix, title, prompts, parent), m_bus(bus), m_databaseFile(databaseFile) {
    QWidget* box = settings()->parentWidget();
    m_module = form::spin(box, prefix + QStringLiteral("Module"), 1, 255, 1);
    m_module->setToolTip(QStringLiteral("255: the bus switch and its monitor bindings"));
    m_timers = form::check(box, prefix + QStringLiteral("Timers"),
                           QStringLiteral("Timer Records and Event Records belong to this module"));
    form::row(settings(), 0, 0, prefix + QStringLiteral("ModuleLabel"),
              QStringLiteral("Module Addr. :"), m_module);
    settings()->addWidget(m_timers, 1, 0, 1, 4);
    setColumns(auditrows::columns());
}

ModuleJobDialog::~ModuleJobDialog() = default;

void ModuleJobDialog::setModule(int address) {
    m_module->setValue(address);
}

std::optional<ModuleRecords> ModuleJobDialog::loadRecords() {
    try {
        return ModuleRecords::load(m_databaseFile, m_module->value(), m_timers->isChecked());
    } catch (const RecordError& e) {
        prompts().message(QStringLiteral("The records cannot be read."),
                          QString::fromStdString(e.what()));
        return std::nullopt;
    }
}

BusJob* ModuleJobDialog::startAudit(const ModuleRecords& records) {
    m_audit = std::make_unique<ModuleAudit>(m_bus, records, m_bus.replyWait());
    connect(m_audit.get(), &ModuleAudit::itemReady, this,
            [this](const AuditItem& item) { auditrows::add(table(), item); });
    return &m_audit->job();
}

void ModuleJobDialog::forgetAudit() {
    m_audit.reset();
}

#include "moc_module_job_dialog.cpp"

#include "app/audit_dialog.h"

#include "jobs/module_audit.h"

#include <QLabel>

AuditDialog::AuditDialog(Bus& bus, PromptService& prompts, const QString& databaseFile,
                         QWidget* parent)
    : ModuleJobDialog(QStringLiteral("Audit"), QStringLiteral("Audit Module"), bus, prompts,
                      databaseFile, parent) {}

BusJob* AuditDialog::createJob() {
    const std::optional<ModuleRecords> records = loadRecords();
    if (!records)
        return nullptr;
    summary()->setText(QStringLiteral("Reading module %1…").arg(records->module));
    return startAudit(*records);
}

void AuditDialog::jobEnded() {
    const AuditReport& r = audit()->report();
    summary()->setText((QStringList{r.summary()} + r.notes).join(QLatin1Char('\n')));
}

#include "moc_audit_dialog.cpp"

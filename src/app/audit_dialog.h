#pragma once

#include "app/job_dialog.h"

#include <memory>

class Bus;
class ModuleAudit;
class QCheckBox;
class QSpinBox;

// "Audit Module…": reads back what the records hold for a module and shows, record by
// record, whether the module holds the same. Writes nothing.
class AuditDialog : public JobDialog {
    Q_OBJECT
public:
    AuditDialog(Bus& bus, PromptService& prompts, const QString& databaseFile, QWidget* parent);
    ~AuditDialog() override;

    void setModule(int address);

protected:
    BusJob* createJob() override;
    void jobEnded() override;

private:
    Bus& m_bus;
    QString m_databaseFile;
    QSpinBox* m_module = nullptr;
    QCheckBox* m_timers = nullptr;
    std::unique_ptr<ModuleAudit> m_audit;
};

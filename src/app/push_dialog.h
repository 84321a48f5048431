#pragma once

#include "app/job_dialog.h"
#include "commands/module_records.h"

#include <memory>

class Bus;
class ModuleAudit;
class ModulePush;
class QCheckBox;
class QSpinBox;

// "Replace Module…": writes what the records hold for a module into it (a replacement
// module takes the place of the one it replaces), then audits it. A module that refuses or
// stops answering stops the push; the table shows what was written and what not.
class PushDialog : public JobDialog {
    Q_OBJECT
public:
    PushDialog(Bus& bus, PromptService& prompts, const QString& databaseFile, QWidget* parent);
    ~PushDialog() override;

    void setModule(int address);

protected:
    BusJob* createJob() override;
    void jobEnded() override;

private:
    Bus& m_bus;
    QString m_databaseFile;
    QSpinBox* m_module = nullptr;
    QSpinBox* m_channels = nullptr;
    QCheckBox* m_timers = nullptr;
    std::unique_ptr<ModulePush> m_push;
    std::unique_ptr<ModuleAudit> m_audit;
    QString m_pushSummary;
    ModuleRecords m_records; // what the push writes and its audit checks
};

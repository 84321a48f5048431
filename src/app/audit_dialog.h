#pragma once

#include "app/module_job_dialog.h"

// "Audit Module…": reads back what the records hold for a module and shows, record by
// record, whether the module holds the same. Writes nothing.
class AuditDialog : public ModuleJobDialog {
    Q_OBJECT
public:
    AuditDialog(Bus& bus, PromptService& prompts, const QString& databaseFile, QWidget* parent);

protected:
    BusJob* createJob() override;
    void jobEnded() override;
};

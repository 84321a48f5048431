#pragma once

#include "app/module_job_dialog.h"

#include <memory>

class ModulePush;
class QSpinBox;

// "Push Records…": writes what the records hold for a module into it (a replacement
// module takes the place of the one it replaces), then audits it. A module that refuses or
// stops answering stops the push; the table shows what was written and what not.
class PushDialog : public ModuleJobDialog {
    Q_OBJECT
public:
    PushDialog(Bus& bus, PromptService& prompts, const QString& databaseFile, QWidget* parent);
    ~PushDialog() override;

signals:
    // The push into `module` ended (before its read-back): all written or not.
    void pushEnded(int module, bool complete, const QString& summary);

protected:
    BusJob* createJob() override;
    void jobEnded() override;

private:
    QSpinBox* m_channels = nullptr;
    std::unique_ptr<ModulePush> m_push;
    QString m_pushSummary;
    ModuleRecords m_records; // what the push writes and its audit checks
};

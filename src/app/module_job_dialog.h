#pragma once

#include "app/job_dialog.h"
#include "jobs/module_records.h"

#include <memory>
#include <optional>

class Bus;
class ModuleAudit;
class QCheckBox;
class QSpinBox;

// What "Audit Module…" and "Push Records…" share: the module to work on, whether the timer
// records belong to it, the loading of its records and an audit whose rows fill the table.
// Controls are named after the dialog: "<prefix>Module", "<prefix>Timers".
class ModuleJobDialog : public JobDialog {
    Q_OBJECT
public:
    ModuleJobDialog(const QString& prefix, const QString& title, Bus& bus, PromptService& prompts,
                    const QString& databaseFile, QWidget* parent);
    ~ModuleJobDialog() override;

    void setModule(int address);

protected:
    Bus& bus() { return m_bus; }
    // The chosen module's records; nothing, with the reason shown, when they cannot be read.
    std::optional<ModuleRecords> loadRecords();
    // Reads back what these records say the module holds, a table row per record.
    BusJob* startAudit(const ModuleRecords& records);
    ModuleAudit* audit() const { return m_audit.get(); }
    void forgetAudit();

private:
    Bus& m_bus;
    QString m_databaseFile;
    QSpinBox* m_module = nullptr;
    QCheckBox* m_timers = nullptr;
    std::unique_ptr<ModuleAudit> m_audit;
};

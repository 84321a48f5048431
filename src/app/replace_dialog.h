#pragma once

#include "jobs/module_replace.h"

#include <QDialog>
#include <QPointer>

#include <memory>

class Bus;
class PromptService;
class QCheckBox;
class QComboBox;
class QLabel;
class QListWidget;
class QPushButton;
class QSpinBox;
class QTableWidget;
class SiteSession;

// "Replace Module…": puts a spare in the place of a failed module, guided step by step by the
// same job as `velm-cli replace`. The technician names the failed module (its type comes
// from the site or a scan, else as given) and, if known, the address the spare should answer
// at, connects the spare alone and presses Read; the
// steps list shows where the job is, each step's outcome fills the table and ends up in the
// site's history, and the closing list says what is left to do by hand. Cancel stops at any
// step and says what was already written.
class ReplaceDialog : public QDialog {
    Q_OBJECT
public:
    ReplaceDialog(Bus& bus, PromptService& prompts, const QString& databaseFile, QWidget* parent);
    ~ReplaceDialog() override;

    void setSiteSession(SiteSession* session);
    void setModule(int address);
    bool running() const;

protected:
    void reject() override;

private:
    void fillType();
    void read();
    void stepEnded(ModuleReplace::Step step, bool ok, const QString& detail);
    void showStep(ModuleReplace::Step step);
    void ended();
    void setRunning(bool on);

    Bus& m_bus;
    PromptService& m_prompts;
    QString m_databaseFile;
    QPointer<SiteSession> m_site;
    std::unique_ptr<ModuleReplace> m_job;
    QSpinBox* m_failed = nullptr;
    QComboBox* m_type = nullptr;
    QSpinBox* m_from = nullptr; // where the spare must answer; its minimum: anywhere
    QCheckBox* m_timers = nullptr;
    QPushButton* m_read = nullptr;
    QPushButton* m_cancel = nullptr;
    QListWidget* m_steps = nullptr;
    QLabel* m_spare = nullptr;
    QTableWidget* m_table = nullptr;
    QListWidget* m_closing = nullptr;
    QLabel* m_summary = nullptr;
};

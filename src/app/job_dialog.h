#pragma once

#include <QDialog>

class BusJob;
class PromptService;
class QGridLayout;
class QLabel;
class QProgressBar;
class QPushButton;
class QTableWidget;

// What the three dialogs of the Tools menu share: their settings on top, a table that fills
// as answers come, a progress bar, a summary line and Start, Cancel and Close. The job runs
// from the event loop, so the window stays usable; Cancel ends it before its next request.
// Controls are named after the dialog: "<prefix>Start", "<prefix>Table"...
class JobDialog : public QDialog {
    Q_OBJECT
public:
    JobDialog(const QString& prefix, const QString& title, PromptService& prompts, QWidget* parent);

    QTableWidget* table() const { return m_table; }
    QLabel* summary() const { return m_summary; }
    bool running() const;

protected:
    // The settings grid above the table.
    QGridLayout* settings() const { return m_settings; }
    void setColumns(const QStringList& titles);
    // Builds the job (nullptr: nothing to run, the reason already shown) and starts it.
    virtual BusJob* createJob() = 0;
    virtual void jobEnded() = 0;
    // Runs a further job (the audit after a push) in the same dialog.
    void runJob(BusJob* job);
    PromptService& prompts() { return m_prompts; }
    QString prefix() const { return m_prefix; }
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    void start();
    void cancel();
    void setRunning(bool on);

    QString m_prefix;
    PromptService& m_prompts;
    QGridLayout* m_settings = nullptr;
    QTableWidget* m_table = nullptr;
    QProgressBar* m_progress = nullptr;
    QLabel* m_summary = nullptr;
    QPushButton* m_start = nullptr;
    QPushButton* m_cancel = nullptr;
    QPushButton* m_close = nullptr;
    BusJob* m_job = nullptr;
};

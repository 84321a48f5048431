#pragma once

#include "jobs/walk_run.h"

#include <QDialog>
#include <QPointer>

#include <memory>

class Bus;
class PromptService;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;
class SiteSession;
class WalkSession;

// "Walk Test…": every output of the chosen modules switched in turn while the technician
// watches the load and answers. The answer buttons take no focus and the keys act whatever
// has focus: Return works, D does not, S skip, N a note (typed in the note line, Return
// keeps it), Esc stops (what is on is switched off again, a curtain stopped).
class WalkTestDialog : public QDialog {
    Q_OBJECT
public:
    WalkTestDialog(Bus& bus, PromptService& prompts, const QString& databaseFile,
                   QWidget* parent);
    ~WalkTestDialog() override;

    void setSiteSession(SiteSession* session);
    bool running() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void reject() override;

private:
    void startWalk();
    void continueWalk();
    void fillFromSite();
    bool begin(const std::function<bool(WalkSession&)>& how);
    void asked(int index);
    void showResult(int index);
    void ended(bool stopped);
    void answer(WalkResult::Verdict verdict);
    void editNote();
    void setRunning(bool on);
    QString siteDir() const;

    Bus& m_bus;
    PromptService& m_prompts;
    QString m_databaseFile;
    QPointer<SiteSession> m_site;
    std::unique_ptr<WalkSession> m_session;
    QLineEdit* m_modules = nullptr;
    QPushButton* m_siteModules = nullptr;
    QPushButton* m_start = nullptr;
    QPushButton* m_continue = nullptr;
    QLabel* m_current = nullptr;
    QLineEdit* m_note = nullptr;
    QList<QPushButton*> m_answers; // Works, Does Not, Skip, Note
    QPushButton* m_stop = nullptr;
    QTableWidget* m_table = nullptr;
    QLabel* m_summary = nullptr;
};

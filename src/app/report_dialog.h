#pragma once

#include "app/records_menu.h"

#include <QDialog>

#include <memory>

class Bus;
struct ReportContent;
class LiveReading;
class PromptService;
class QCheckBox;
class QLabel;
class QLineEdit;
class QMainWindow;
class QPushButton;
class QSpinBox;

// "Installation Report…" of the File menu: the site, the technician, whether to read the
// modules now (and whose timer records are audited), HTML and/or PDF, and "Save…". A report
// that reads the modules runs as the Tools menu's jobs run, writing no row and no field of
// the window; Cancel ends it before its next request. Controls: "ReportSite",
// "ReportTechnician", "ReportLive", "ReportTimerModule", "ReportHtml", "ReportPdf",
// "ReportSave", "ReportCancel", "ReportStatus".
class ReportDialog : public QDialog {
    Q_OBJECT
public:
    ReportDialog(Bus& bus, PromptService& prompts, const QString& databaseFile, QWidget* parent);
    ~ReportDialog() override;

    // Adds "Installation Report…" to the File menu, before its Quit.
    static void install(QMainWindow& window, RecordsMenu& fileMenu, Bus& bus,
                        PromptService& prompts, const QString& databaseFile);

    void setFileDialogs(RecordsFileDialogs dialogs) { m_dialogs = std::move(dialogs); }
    bool running() const;
    // The site the report is of: its names, rooms and history; its name and technician go
    // into the cover's fields.
    void setSite(const QString& dir, const QString& name, const QString& technician);

protected:
    // Closing the dialog while it reads the modules cancels the reading: no report.
    void closeEvent(QCloseEvent* event) override;
    void reject() override; // Esc

private:
    void save();
    void readingEnded();
    void write(const ReportContent& content);
    void setRunning(bool on);

    Bus& m_bus;
    PromptService& m_prompts;
    QString m_databaseFile;
    QString m_siteDir;
    RecordsFileDialogs m_dialogs;
    QLineEdit* m_site = nullptr;
    QLineEdit* m_technician = nullptr;
    QCheckBox* m_live = nullptr;
    QSpinBox* m_timerModule = nullptr;
    QCheckBox* m_html = nullptr;
    QCheckBox* m_pdf = nullptr;
    QPushButton* m_save = nullptr;
    QPushButton* m_cancel = nullptr;
    QLabel* m_status = nullptr;
    QString m_base; // the chosen file name without its suffix
    std::unique_ptr<LiveReading> m_reading;
};

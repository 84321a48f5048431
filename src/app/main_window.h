#pragma once

#include "commands/family_context.h"
#include "records/record_store.h"

#include <QMainWindow>

#include <memory>

class Bus;
struct Families;
class LinkPanel;
class PromptService;
class SequenceEngine;
class SiteMenu;
class QLabel;
class QPlainTextEdit;
class QTabWidget;
class RecordsMenu;
class ToolsMenu;
class TForm2;

// The main window: the settings band, the eight tab sheets, the traffic log. It owns the
// link, the record tables and the command families for the whole run.
class TForm1 : public QMainWindow {
    Q_OBJECT
public:
    static constexpr const char* kCaption = "VELM V08 2014.08.18";

    // Start-up runs here; its messages go through `prompts`.
    TForm1(PromptService& prompts, const QString& databaseFile = QStringLiteral("VELM.mdb"));
    ~TForm1() override;

    Bus& bus() { return *m_bus; }
    RecordStore& records() { return m_records; }
    LinkPanel& linkPanel() { return *m_linkPanel; }
    TForm2& processingDialog() { return *m_form2; }
    QTabWidget* pages() const { return m_pages; }

    void Button40Click(); // "Clear"

    SequenceEngine& sequences();
    SiteMenu& siteMenu() { return *m_siteMenu; }
    // Whether a sequence or a job runs now.
    bool busy() const;
    // The record file the six tables come from.
    QString recordFile() const { return m_recordFile; }
    // Opens the six tables from this record file as start-up does, and makes the menus
    // afresh for it (a site opened later).
    void useRecordFile(const QString& databaseFile);

protected:
    void closeEvent(class QCloseEvent* event) override; // FormClose

private:
    void tabToLogBandLast();
    void buildPages();
    QWidget* buildLogBand();
    void FormCreate(const QString& databaseFile);
    // The six tables from this file, each failure in its box.
    void openRecords(const QString& databaseFile);
    // The link state area names the command that makes a missing record file.
    void showRecordFileState();
    void createFamilies();
    void startUpFields();
    // Names a record file in the Access format, and how to convert it, beside the link state.

    void appendLog(const QString& line);
    // Re-reads the tables another program wrote to, while no sequence or job runs.
    void reloadRecordsChangedElsewhere();
    void installMenus(const QString& databaseFile);

    PromptService& m_prompts;
    RecordStore m_records;
    LinkPanel* m_linkPanel = nullptr;
    std::unique_ptr<Bus> m_bus;
    QTabWidget* m_pages = nullptr;
    QPlainTextEdit* m_memo = nullptr;
    QLabel* m_status = nullptr;
    QLabel* m_linkState = nullptr;
    TForm2* m_form2 = nullptr;
    std::unique_ptr<FamilyContext> m_context;
    std::unique_ptr<Families> m_families;
    QString m_recordFile;
    SiteMenu* m_siteMenu = nullptr;
    RecordsMenu* m_recordsMenu = nullptr;
    ToolsMenu* m_toolsMenu = nullptr;
};

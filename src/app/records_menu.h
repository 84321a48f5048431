#pragma once

#include <QObject>
#include <QString>

#include <functional>

class ImportDialog;
class PromptService;
class QAction;
class QMainWindow;
class QMenu;
class QWidget;
class RecordStore;
class RestoreDialog;

// The file dialogs of the records menu. The real ones are QFileDialog's; tests put their own
// in place, so that nothing waits for a native dialog.
struct RecordsFileDialogs {
    // A file name to write; `filter` gets the filter the user chose. Empty when cancelled.
    std::function<QString(QWidget* parent, const QString& caption, const QString& filters,
                          QString* filter)>
        saveFile;
    // A file to read. Empty when cancelled.
    std::function<QString(QWidget* parent, const QString& caption, const QString& filters)>
        openFile;

    static RecordsFileDialogs standard();
};

// The "File" menu of the main window: "New Record File…", "Export Records…", "Import
// Records…", "Back Up Records…", "Restore Records…" and "Convert Access Record File…". Exports
// and backups read the record file through a connection of their own; an import backs it up,
// writes it in one transaction, and then the window's six tables read it again, so the grids
// show the new rows. Whatever the window had not posted yet is posted first, so nothing of it is
// left out of an export or lost to an import.
class RecordsMenu : public QObject {
    Q_OBJECT
public:
    // Adds the menu to the window's menu bar; the menu lives as long as the window.
    static RecordsMenu* install(QMainWindow& window, RecordStore& records, PromptService& prompts,
                                const QString& databaseFile);

    static constexpr const char* kJsonFilter = "VELM records (*.json)";
    static constexpr const char* kCsvFilter = "CSV files, one per table (*.csv)";

    void setFileDialogs(RecordsFileDialogs dialogs) { m_dialogs = std::move(dialogs); }
    QMenu* menu() const { return m_menu; }
    // The import dialog while it is open, else nullptr.
    ImportDialog* importDialog() const { return m_dialog; }

    // Makes the record file the window was started on when it is missing, and opens it.
    void newRecordFile();
    void exportRecords();
    void importRecords();
    void backUpRecords();
    // Converts the record file the window opened, when it is in the Access format, in place
    // (the Access file kept beside it), then opens the six tables from the new file.
    void convertAccessRecords();
    void restoreRecords();
    // Puts the backup `name` back into the record file (after a restore point of the records
    // as they are) and shows the restored rows; refused while `busy` says a sequence or job
    // runs.
    void restoreBackup(const QString& name);
    void setBusyCheck(std::function<bool()> busy) { m_busy = std::move(busy); }
    // The restore dialog while it is open, else nullptr.
    RestoreDialog* restoreDialog() const { return m_restoreDialog; }

signals:
    // The window's record file is now one of ours, its tables open again.
    void recordFileConverted();
    // New Record File made the file and opened the six tables from it.
    void recordFileCreated(const QString& file);
    // An import changed the records (outcome "ok"; `detail` says how), or failed ("error:
    // ...").
    void imported(const QString& detail, const QString& outcome);
    // The same for a restore.
    void restored(const QString& detail, const QString& outcome);

private:
    RecordsMenu(QMainWindow& window, RecordStore& records, PromptService& prompts,
                const QString& databaseFile);
    void runImport();
    // Posts every table's pending edit; false (and says why) when one cannot be posted.
    bool postPending();
    void refreshTables();
    // After another connection wrote the whole file: each table reads its rows again.
    void reloadTables();

    QMainWindow& m_window;
    RecordStore& m_records;
    PromptService& m_prompts;
    QString m_databaseFile; // absolute
    RecordsFileDialogs m_dialogs;
    QMenu* m_menu = nullptr;
    ImportDialog* m_dialog = nullptr;
    RestoreDialog* m_restoreDialog = nullptr;
    std::function<bool()> m_busy;
};

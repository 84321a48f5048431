#pragma once

#include "records/site_history.h"

#include <QDialog>

class QComboBox;
class QLabel;
class QTableWidget;

// "Site History…": what the window and velm-cli did to the site's modules and records,
// newest first, with a module filter. Controls: "HistoryModule", "HistoryTable",
// "HistoryStatus".
class SiteHistoryDialog : public QDialog {
    Q_OBJECT
public:
    SiteHistoryDialog(const QString& historyFile, QWidget* parent);

    // Reads the file again and shows it under the filter chosen.
    void reload();

private:
    void showEntries(const QList<HistoryEntry>& entries);

    QString m_file;
    QList<HistoryEntry> m_entries;
    QComboBox* m_module = nullptr;
    QTableWidget* m_table = nullptr;
    QLabel* m_status = nullptr;
};

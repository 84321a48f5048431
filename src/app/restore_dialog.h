#pragma once

#include <QDialog>

class QLabel;
class QPushButton;
class QTreeWidget;

// "Restore Records": every backup beside the record file, newest first, with its time, the
// action it was made before ("backup" for one the user asked for), each table's rows and
// its size, and what the folder holds in all. "Restore" asks for the chosen one; the records
// menu does the rest and then lists the backups again.
class RestoreDialog : public QDialog {
    Q_OBJECT
public:
    explicit RestoreDialog(const QString& databaseFile, QWidget* parent = nullptr);

    // Reads the folder again.
    void reload();
    // The chosen backup's file name; empty when none is chosen.
    QString chosen() const;

signals:
    void restoreChosen(const QString& name);

private:
    QString m_databaseFile;
    QTreeWidget* m_list = nullptr;
    QLabel* m_total = nullptr;
    QPushButton* m_restore = nullptr;
};

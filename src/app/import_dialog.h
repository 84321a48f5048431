#pragma once

#include "records/import_source.h"
#include "records/records_import.h"

#include <QDialog>

#include <functional>

class QCheckBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QTableWidget;

// The choices of an import before anything is written: a check box per table (those the file
// does not hold stay off), replace or add, and a preview of what each chosen table gains,
// loses and changes, taken afresh from the database at every change of a choice. "Import" is
// offered only while the preview has nothing to object to. For a record file in the Access
// format it also names what was left out and the rows set aside, with their reasons.
class ImportDialog : public QDialog {
    Q_OBJECT
public:
    using Preview = std::function<records_import::Result(const RecordsFile& file,
                                                         const records_import::Options& options)>;

    ImportDialog(ImportSource source, const QString& fileName, Preview preview,
                 QWidget* parent = nullptr);

    const ImportSource& source() const { return m_source; }
    const RecordsFile& file() const { return m_source.file(); }
    records_import::Options options() const;
    // Takes the preview again (the database may have changed meanwhile).
    void updatePreview();

    // The objectName of a table's check box: "ImportSceneRecords", "ImportIRRecords", ...
    static QString checkBoxName(const QString& tableName);

private:
    void showCounts(const records_import::Result& result);

    ImportSource m_source;
    Preview m_preview;
    QList<QCheckBox*> m_tables; // start-up order
    QRadioButton* m_replace = nullptr;
    QRadioButton* m_add = nullptr;
    QTableWidget* m_counts = nullptr;
    QLabel* m_problem = nullptr;
    QPushButton* m_import = nullptr;
};

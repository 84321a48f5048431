#include "app/import_dialog.h"

#include "records/record_table.h"
#include "widgets/form_builder.h"

#include <QCheckBox>
#include <QDir>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {
enum Column { TableColumn, RowsColumn, GainsColumn, LosesColumn, ChangesColumn, ColumnCount };
}

ImportDialog::ImportDialog(ImportSource records, const QString& fileName, Preview preview,
                           QWidget* parent)
    : QDialog(parent), m_source(std::move(records)), m_preview(std::move(preview)) {
    setObjectName(QStringLiteral("ImportDialog"));
    setWindowTitle(QStringLiteral("Import Records"));

    QString from = QDir::toNativeSeparators(fileName);
    if (m_source.isAccess())
        from += QStringLiteral(" (a record file in the Access format)");
    else if (!file().exported().isEmpty())
        from += QStringLiteral(" (exported %1)").arg(file().exported());
    auto* source = form::label(this, QStringLiteral("ImportFileLabel"), from);
    source->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* tables = form::group(this, QStringLiteral("ImportTablesGroup"), QStringLiteral("Tables"));
    auto* tableGrid = new QGridLayout(tables);
    for (int i = 0; i < schema::tables().size(); ++i) {
        const QString name = schema::tables()[i].name;
        const records_format::TableRows* rows = file().find(name);
        const qsizetype count = rows ? file().rowCount(*rows) : 0;
        const QString caption = !rows        ? QStringLiteral("%1 (not in the file)").arg(name)
                                : count == 1 ? QStringLiteral("%1 (1 row)").arg(name)
                                             : QStringLiteral("%1 (%2 rows)").arg(name).arg(count);
        auto* box = form::check(tables, checkBoxName(name), caption, rows != nullptr);
        box->setEnabled(rows != nullptr);
        tableGrid->addWidget(box, i % 3, i / 3);
        m_tables << box;
        connect(box, &QCheckBox::toggled, this, &ImportDialog::updatePreview);
    }

    auto* mode = form::group(this, QStringLiteral("ImportModeGroup"), QStringLiteral("Rows"));
    m_replace = form::radio(mode, QStringLiteral("ReplaceRows"),
                            QStringLiteral("Replace the rows of the chosen tables"), true);
    m_add = form::radio(mode, QStringLiteral("AddRows"),
                        QStringLiteral("Add to the rows (a row the file names again is "
                                       "overwritten)"));
    auto* modeLayout = new QVBoxLayout(mode);
    modeLayout->addWidget(m_replace);
    modeLayout->addWidget(m_add);
    connect(m_add, &QRadioButton::toggled, this, &ImportDialog::updatePreview);

    m_counts = new QTableWidget(0, ColumnCount, this);
    m_counts->setObjectName(QStringLiteral("ImportPreview"));
    m_counts->setHorizontalHeaderLabels({QStringLiteral("Table"), QStringLiteral("In the file"),
                                         QStringLiteral("Gains"), QStringLiteral("Loses"),
                                         QStringLiteral("Changes")});
    m_counts->verticalHeader()->hide();
    m_counts->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_counts->setSelectionMode(QAbstractItemView::NoSelection);
    m_counts->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    m_counts->horizontalHeader()->setSectionResizeMode(TableColumn, QHeaderView::ResizeToContents);
    m_counts->setMinimumSize(520, 200);

    m_problem = form::label(this, QStringLiteral("ImportProblem"), QString());
    m_problem->setStyleSheet(QStringLiteral("color: red;"));
    m_problem->setWordWrap(true);
    // What an Access file held that the tables do not take, and where it goes.
    QStringList left = m_source.notes();
    if (m_source.setAsideRows() > 0)
        left << QStringLiteral("Rows set aside, written beside the record file as "
                               "<its name>.not-imported-YYYYMMDD-HHMMSS.json to be mended and "
                               "imported later:")
             << m_source.setAsideLines();
    auto* leftOut = form::label(this, QStringLiteral("ImportLeftOut"), left.join(u'\n'));
    leftOut->setWordWrap(true);
    leftOut->setTextInteractionFlags(Qt::TextSelectableByMouse);
    leftOut->setVisible(!left.isEmpty());
    auto* note = form::label(this, QStringLiteral("ImportNote"),
                             QStringLiteral("The record file is backed up beside itself before "
                                            "anything is written."));

    m_import = form::button(this, QStringLiteral("ImportButton"), QStringLiteral("Import"));
    m_import->setDefault(true);
    auto* cancel = form::button(this, QStringLiteral("CancelButton"), QStringLiteral("Cancel"));
    connect(m_import, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_import);
    buttons->addWidget(cancel);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(source);
    layout->addWidget(tables);
    layout->addWidget(mode);
    layout->addWidget(m_counts, 1);
    layout->addWidget(leftOut);
    layout->addWidget(m_problem);
    layout->addWidget(note);
    layout->addLayout(buttons);
    updatePreview();
}

QString ImportDialog::checkBoxName(const QString& tableName) {
    return QStringLiteral("Import") + QString(tableName).remove(u' ');
}

records_import::Options ImportDialog::options() const {
    QStringList tables;
    for (QCheckBox* box : m_tables) {
        if (box->isChecked())
            tables << schema::tables()[m_tables.indexOf(box)].name;
    }
    return m_source.options(tables, m_add->isChecked());
}

void ImportDialog::updatePreview() {
    const records_import::Options o = options();
    m_problem->clear();
    records_import::Result result;
    bool ok = !o.tables.isEmpty();
    if (!ok)
        m_problem->setText(QStringLiteral("Choose at least one table."));
    try {
        if (ok)
            result = m_preview(file(), o);
    } catch (const RecordError& e) {
        ok = false;
        m_problem->setText(QString::fromStdString(e.what()));
    }
    showCounts(result);
    m_import->setEnabled(ok);
}

void ImportDialog::showCounts(const records_import::Result& result) {
    m_counts->setRowCount(int(result.tables.size()));
    for (int r = 0; r < result.tables.size(); ++r) {
        const records_import::TableChange& c = result.tables[r];
        const QStringList cells{c.table, QString::number(c.fileRows), QString::number(c.gains),
                                QString::number(c.loses), QString::number(c.changes)};
        for (int col = 0; col < ColumnCount; ++col) {
            auto* item = new QTableWidgetItem(cells[col]);
            item->setTextAlignment(col == TableColumn ? Qt::AlignLeft | Qt::AlignVCenter
                                                      : Qt::AlignCenter);
            m_counts->setItem(r, col, item);
        }
    }
}

#include "moc_import_dialog.cpp"

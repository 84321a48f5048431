#include "app/site_history_dialog.h"

#include "records/record_table.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace {
// The filter's first item: every line.
constexpr int kEveryModuleLine = -2;
} // namespace

SiteHistoryDialog::SiteHistoryDialog(const QString& historyFile, QWidget* parent)
    : QDialog(parent), m_file(historyFile) {
    setObjectName(QStringLiteral("SiteHistoryDialog"));
    setWindowTitle(QStringLiteral("Site History"));
    m_module = new QComboBox(this);
    m_module->setObjectName(QStringLiteral("HistoryModule"));
    m_table = new QTableWidget(0, 7, this);
    m_table->setObjectName(QStringLiteral("HistoryTable"));
    m_table->setHorizontalHeaderLabels({QStringLiteral("Time"), QStringLiteral("Technician"),
                                        QStringLiteral("Program"), QStringLiteral("Module"),
                                        QStringLiteral("Action"), QStringLiteral("Detail"),
                                        QStringLiteral("Outcome")});
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->verticalHeader()->hide();
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("HistoryStatus"));
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Module :"), m_module);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_module, &QComboBox::currentIndexChanged, this, [this] { showEntries(m_entries); });
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(m_table, 1);
    layout->addWidget(m_status);
    layout->addWidget(buttons);
    resize(900, 480);
    reload();
}

void SiteHistoryDialog::reload() {
    site_history::Read read;
    QString problem;
    try {
        read = site_history::read(m_file);
    } catch (const RecordError& e) {
        problem = QString::fromStdString(e.what());
    }
    m_entries = read.entries;
    std::reverse(m_entries.begin(), m_entries.end());
    // The filter offers the modules the history names, keeping the one chosen.
    const int chosen = m_module->currentData().isValid() ? m_module->currentData().toInt()
                                                          : kEveryModuleLine;
    QList<int> modules;
    for (const HistoryEntry& e : std::as_const(m_entries))
        if (!modules.contains(e.module))
            modules << e.module;
    std::sort(modules.begin(), modules.end());
    const QSignalBlocker quiet(m_module);
    m_module->clear();
    m_module->addItem(QStringLiteral("All modules"), kEveryModuleLine);
    for (int m : modules)
        m_module->addItem(m < 0 ? QStringLiteral("Records only") : QString::number(m), m);
    m_module->setCurrentIndex(std::max(0, m_module->findData(chosen)));
    showEntries(m_entries);
    if (!problem.isEmpty())
        m_status->setText(problem);
    else if (read.skipped > 0)
        m_status->setText(
            QStringLiteral("%1 line(s) were cut short and are left out.").arg(read.skipped));
}

void SiteHistoryDialog::showEntries(const QList<HistoryEntry>& entries) {
    const int module = m_module->currentData().toInt();
    m_table->setRowCount(0);
    for (const HistoryEntry& e : entries) {
        if (module != kEveryModuleLine && e.module != module)
            continue;
        const int row = m_table->rowCount();
        m_table->insertRow(row);
        const QStringList cells = site_history::cells(e);
        for (int c = 0; c < cells.size(); ++c)
            m_table->setItem(row, c, new QTableWidgetItem(cells.at(c)));
    }
    m_status->setText(QStringLiteral("%1 line(s).").arg(m_table->rowCount()));
}

#include "moc_site_history_dialog.cpp"

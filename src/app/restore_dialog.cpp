#include "app/restore_dialog.h"

#include "records/record_store.h"
#include "records/restore_points.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

QString sizeText(qint64 bytes) {
    return QLocale::c().formattedDataSize(bytes, 1, QLocale::DataSizeTraditionalFormat);
}

} // namespace

RestoreDialog::RestoreDialog(const QString& databaseFile, QWidget* parent)
    : QDialog(parent), m_databaseFile(databaseFile) {
    setObjectName(QStringLiteral("RestoreDialog"));
    setWindowTitle(QStringLiteral("Restore Records"));
    auto* layout = new QVBoxLayout(this);
    auto* heading = new QLabel(
        QStringLiteral("Backups of %1:").arg(QDir::toNativeSeparators(databaseFile)), this);
    heading->setWordWrap(true);
    layout->addWidget(heading);

    m_list = new QTreeWidget(this);
    m_list->setObjectName(QStringLiteral("BackupList"));
    m_list->setRootIsDecorated(false);
    m_list->setUniformRowHeights(true);
    QStringList titles{QStringLiteral("Time"), QStringLiteral("Action")};
    // The tables by their short names: "Scene", "IR", ..., "Monitor Bind".
    for (int t = 0; t < RecordStore::Count; ++t)
        titles << RecordStore::tableName(RecordStore::Table(t)).remove(QStringLiteral(" Records"));
    titles << QStringLiteral("Size");
    m_list->setHeaderLabels(titles);
    m_list->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    layout->addWidget(m_list, 1);

    m_total = new QLabel(this);
    m_total->setObjectName(QStringLiteral("BackupTotal"));
    layout->addWidget(m_total);
    auto* note = new QLabel(
        QStringLiteral("Only the records come back: a module cleared by a delete-all sequence "
                       "keeps nothing until its records are pushed to it again. The records as "
                       "they are now are kept as a restore point first."),
        this);
    note->setWordWrap(true);
    layout->addWidget(note);

    auto* buttons = new QDialogButtonBox(this);
    m_restore = buttons->addButton(QStringLiteral("Restore"), QDialogButtonBox::ActionRole);
    m_restore->setObjectName(QStringLiteral("RestoreButton"));
    QPushButton* close = buttons->addButton(QDialogButtonBox::Close);
    close->setObjectName(QStringLiteral("CloseButton"));
    layout->addWidget(buttons);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_restore, &QPushButton::clicked, this, [this] {
        if (!chosen().isEmpty())
            emit restoreChosen(chosen());
    });
    connect(m_list, &QTreeWidget::itemSelectionChanged, this,
            [this] { m_restore->setEnabled(!chosen().isEmpty()); });
    connect(m_list, &QTreeWidget::itemActivated, this, [this] { m_restore->click(); });
    resize(760, 420);
    reload();
}

void RestoreDialog::reload() {
    m_list->clear();
    const QList<restore_points::Backup> backups = restore_points::list(m_databaseFile);
    qint64 total = 0;
    for (const restore_points::Backup& b : backups) {
        total += b.size;
        QStringList cells{QLocale::c().toString(b.time, QStringLiteral("yyyy-MM-dd HH:mm:ss")),
                          b.isRestorePoint() ? b.action : QStringLiteral("backup")};
        for (int t = 0; t < RecordStore::Count; ++t) {
            const int rows = b.rows.value(t, -1);
            cells << (rows < 0 ? QStringLiteral("–") : QString::number(rows));
        }
        cells << sizeText(b.size);
        auto* item = new QTreeWidgetItem(m_list, cells);
        item->setData(0, Qt::UserRole, b.name);
        item->setToolTip(0, b.problem.isEmpty() ? b.name : b.problem);
        for (int c = 2; c < cells.size(); ++c)
            item->setTextAlignment(c, Qt::AlignRight | Qt::AlignVCenter);
    }
    m_total->setText(
        QStringLiteral("%1 backup(s), %2; the folder holds %3 in all.")
            .arg(backups.size())
            .arg(sizeText(total), sizeText(restore_points::folderSize(m_databaseFile))));
    if (m_list->topLevelItemCount() > 0)
        m_list->setCurrentItem(m_list->topLevelItem(0));
    m_restore->setEnabled(!chosen().isEmpty());
}

QString RestoreDialog::chosen() const {
    const QTreeWidgetItem* item = m_list->currentItem();
    return item && item->isSelected() ? item->data(0, Qt::UserRole).toString() : QString();
}

#include "moc_restore_dialog.cpp"

#include "app/site_scan_view.h"

#include "app/site_session.h"
#include "widgets/prompt_service.h"

#include <QLabel>
#include <QPushButton>
#include <QTableWidget>

SiteScanView::SiteScanView(QTableWidget* table, QPushButton* addToSite, QLabel* summary,
                           PromptService& prompts, QObject* parent)
    : QObject(parent), m_table(table), m_addToSite(addToSite), m_summary(summary),
      m_prompts(prompts) {
    m_addToSite->setObjectName(QStringLiteral("ScanAddToSite"));
    m_addToSite->hide();
    m_addToSite->setEnabled(false);
    connect(m_addToSite, &QPushButton::clicked, this, &SiteScanView::addToSite);
}

void SiteScanView::setSession(SiteSession* session) {
    m_session = session;
}

QStringList SiteScanView::columns(const QStringList& scanColumns) {
    m_active = m_session && m_session->isOpen();
    m_hits.clear();
    m_firstColumn = int(scanColumns.size());
    m_addToSite->setVisible(m_active);
    m_addToSite->setEnabled(false);
    if (!m_active)
        return scanColumns;
    return scanColumns + QStringList{QStringLiteral("Site"), QStringLiteral("Name"),
                                     QStringLiteral("Room")};
}

void SiteScanView::setMark(int row, const SiteScanRow& mark) {
    const QStringList cells{mark.text(), mark.name, mark.room};
    for (int c = 0; c < cells.size(); ++c) {
        auto* item = new QTableWidgetItem(cells.at(c));
        item->setData(Qt::UserRole, mark.key());
        if (mark.mark != SiteScanRow::Mark::Expected)
            item->setForeground(QColor(0xA0, 0x00, 0x00));
        m_table->setItem(row, m_firstColumn + c, item);
    }
}

void SiteScanView::markRow(int row, const ScanHit& hit) {
    if (!m_active)
        return;
    m_hits << hit;
    const QList<SiteScanRow> rows = sitescan::rows({hit}, m_session->settings().modules, {});
    if (!rows.isEmpty())
        setMark(row, rows.front());
}

void SiteScanView::scanEnded(const QList<ScanHit>& hits, const QList<int>& asked) {
    if (!m_active)
        return;
    for (const SiteScanRow& r : sitescan::rows(hits, m_session->settings().modules, asked)) {
        if (r.mark != SiteScanRow::Mark::Silent)
            continue;
        const int row = m_table->rowCount();
        m_table->insertRow(row);
        auto* first = new QTableWidgetItem(r.address == ModuleScan::kBusSwitch
                                               ? QStringLiteral("255 (bus switch)")
                                               : QString::number(r.address));
        first->setData(Qt::UserRole, r.address);
        m_table->setItem(row, 0, first);
        setMark(row, r);
    }
    m_addToSite->setEnabled(!hits.isEmpty());
}

void SiteScanView::addToSite() {
    if (!m_session || !m_session->isOpen() || m_hits.isEmpty())
        return;
    SiteSettings settings = m_session->settings();
    int added = 0;
    int changed = 0;
    for (const ScanHit& h : std::as_const(m_hits)) {
        const ExpectedModule* known = settings.expected(h.address);
        if (!known)
            ++added;
        else if (known->type != h.type)
            ++changed;
        settings.expect(h.address, h.type);
    }
    QString error;
    if (!m_session->save(settings, &error)) {
        m_prompts.message(QStringLiteral("Can not write the site"), error);
        return;
    }
    // The rows say what the site expects now.
    for (int row = 0; row < m_table->rowCount(); ++row) {
        const int address = m_table->item(row, 0)->data(Qt::UserRole).toInt();
        for (const ScanHit& h : std::as_const(m_hits))
            if (h.address == address)
                setMark(row, sitescan::rows({h}, settings.modules, {}).front());
    }
    m_summary->setText(QStringLiteral("%1 module(s) added to the site, %2 type(s) updated.")
                           .arg(added)
                           .arg(changed));
}

#include "moc_site_scan_view.cpp"

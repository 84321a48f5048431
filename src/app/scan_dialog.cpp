#include "app/scan_dialog.h"

#include "app/site_scan_view.h"
#include "jobs/module_scan.h"
#include "widgets/form_builder.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>

ScanDialog::ScanDialog(Bus& bus, PromptService& prompts, QWidget* parent)
    : JobDialog(QStringLiteral("Scan"), QStringLiteral("Scan Subnet"), prompts, parent),
      m_bus(bus) {
    QWidget* box = settings()->parentWidget();
    m_first = form::spin(box, QStringLiteral("ScanFirst"), 1, 32, 1);
    m_last = form::spin(box, QStringLiteral("ScanLast"), 1, 32, 32);
    m_wait = form::spin(box, QStringLiteral("ScanWait"), 20, 5000, ModuleScan::kDefaultWaitMs);
    m_wait->setSuffix(QStringLiteral(" ms"));
    m_busSwitch =
        form::check(box, QStringLiteral("ScanBusSwitch"), QStringLiteral("Bus switch"), true);
    form::row(settings(), 0, 0, QStringLiteral("ScanFirstLabel"), QStringLiteral("From :"),
              m_first);
    form::row(settings(), 0, 2, QStringLiteral("ScanLastLabel"), QStringLiteral("To :"), m_last);
    form::row(settings(), 1, 0, QStringLiteral("ScanWaitLabel"),
              QStringLiteral("Wait per address :"), m_wait);
    settings()->addWidget(m_busSwitch, 1, 2, 1, 2);
    auto* addToSite = new QPushButton(QStringLiteral("Add to Site"), box);
    settings()->addWidget(addToSite, 0, 4);
    m_siteView = new SiteScanView(table(), addToSite, summary(), prompts, this);
    setColumns({QStringLiteral("Address"), QStringLiteral("Type"), QStringLiteral("Version")});
    connect(table(), &QTableWidget::cellDoubleClicked, this, [this](int row, int) {
        if (QTableWidgetItem* item = table()->item(row, 0))
            emit addressChosen(item->data(Qt::UserRole).toInt());
    });
    // A module's row also finds it in the cabinet.
    table()->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(table(), &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        QTableWidgetItem* item = table()->item(table()->rowAt(at.y()), 0);
        const int address = item ? item->data(Qt::UserRole).toInt() : 0;
        if (address < 1 || address > 32)
            return;
        QMenu menu(this);
        menu.setObjectName(QStringLiteral("ScanRowMenu"));
        QAction* identify = menu.addAction(QStringLiteral("Identify"));
        identify->setObjectName(QStringLiteral("ScanIdentify"));
        connect(identify, &QAction::triggered, this,
                [this, address] { emit identifyRequested(address); });
        menu.exec(table()->viewport()->mapToGlobal(at));
    });
}

ScanDialog::~ScanDialog() = default;

void ScanDialog::setSiteSession(SiteSession* session) {
    m_siteView->setSession(session);
}

BusJob* ScanDialog::createJob() {
    ModuleScan::Options o;
    o.first = m_first->value();
    o.last = std::max(m_first->value(), m_last->value());
    o.waitMs = m_wait->value();
    o.busSwitch = m_busSwitch->isChecked();
    m_options = o;
    setColumns(m_siteView->columns(
        {QStringLiteral("Address"), QStringLiteral("Type"), QStringLiteral("Version")}));
    m_scan = std::make_unique<ModuleScan>(m_bus, o);
    connect(m_scan.get(), &ModuleScan::found, this, &ScanDialog::addHit);
    summary()->setText(QStringLiteral("Scanning %1 address(es)…").arg(m_scan->addressCount()));
    return &m_scan->job();
}

void ScanDialog::addHit(const ScanHit& hit) {
    const int row = table()->rowCount();
    table()->insertRow(row);
    const QString address = hit.address == ModuleScan::kBusSwitch
                                ? QStringLiteral("255 (bus switch)")
                                : QString::number(hit.address);
    auto* first = new QTableWidgetItem(address);
    first->setData(Qt::UserRole, hit.address);
    table()->setItem(row, 0, first);
    table()->setItem(row, 1, new QTableWidgetItem(hit.type));
    table()->setItem(row, 2, new QTableWidgetItem(hit.version));
    m_siteView->markRow(row, hit);
}

void ScanDialog::jobEnded() {
    m_siteView->scanEnded(m_scan->hits(), sitescan::askedAddresses(m_options));
    const int found = int(m_scan->hits().size());
    QString text = QStringLiteral("%1 module(s) found.").arg(found);
    if (!m_scan->job().notSent().isEmpty())
        text = m_scan->job().notSent();
    else if (m_scan->job().end() == BusJob::End::Cancelled)
        text = QStringLiteral("Cancelled: ") + text;
    if (found > 0)
        text += QStringLiteral(" Double-click a module to put its address into the module "
                               "address fields.");
    summary()->setText(text);
}

#include "moc_scan_dialog.cpp"

#include "app/site_dialog.h"

#include "records/record_table.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {
enum SiteColumn { AddressColumn, TypeColumn, NameColumn, RoomColumn };

template <class W> W* siteControl(W* widget, const char* name) {
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}
} // namespace

SiteDialog::SiteDialog(const QString& title, const QString& folder, const SiteSettings& settings,
                       QWidget* parent)
    : QDialog(parent), m_settings(settings) {
    setObjectName(QStringLiteral("SiteDialog"));
    setWindowTitle(title);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Folder :"),
                 siteControl(new QLabel(QDir::toNativeSeparators(folder), this), "SiteFolder"));
    m_name = siteControl(new QLineEdit(settings.name, this), "SiteName");
    m_address = siteControl(new QLineEdit(settings.address, this), "SiteAddress");
    m_technician = siteControl(new QLineEdit(settings.technician, this), "SiteTechnician");
    m_notes = siteControl(new QPlainTextEdit(settings.notes, this), "SiteNotes");
    m_notes->setMaximumHeight(70);
    m_remember = siteControl(new QCheckBox(QStringLiteral("Remember password"), this),
                       "SiteRememberPassword");
    m_remember->setChecked(settings.rememberPassword);
    m_remember->setToolTip(QStringLiteral("Keeps the band's password in site.json, which only "
                                          "your user may then read."));
    form->addRow(QStringLiteral("Name :"), m_name);
    form->addRow(QStringLiteral("Address :"), m_address);
    form->addRow(QStringLiteral("Technician :"), m_technician);
    form->addRow(QStringLiteral("Notes :"), m_notes);
    form->addRow(QString(), m_remember);

    m_modules = siteControl(new QTableWidget(0, 4, this), "SiteModules");
    m_modules->setHorizontalHeaderLabels({QStringLiteral("Address"), QStringLiteral("Type"),
                                          QStringLiteral("Name"), QStringLiteral("Room")});
    m_modules->horizontalHeader()->setStretchLastSection(true);
    m_modules->verticalHeader()->hide();
    for (const ExpectedModule& m : settings.modules)
        addModuleRow(m);
    auto* add = siteControl(new QPushButton(QStringLiteral("Add Module"), this), "SiteAddModule");
    auto* remove =
        siteControl(new QPushButton(QStringLiteral("Remove Module"), this), "SiteRemoveModule");
    connect(add, &QPushButton::clicked, this, [this] {
        addModuleRow({});
        m_modules->setCurrentCell(m_modules->rowCount() - 1, AddressColumn);
    });
    connect(remove, &QPushButton::clicked, this, [this] {
        if (m_modules->currentRow() >= 0)
            m_modules->removeRow(m_modules->currentRow());
    });
    auto* moduleButtons = new QHBoxLayout;
    moduleButtons->addWidget(add);
    moduleButtons->addWidget(remove);
    moduleButtons->addStretch();

    m_problem = siteControl(new QLabel(this), "SiteProblem");
    m_problem->setWordWrap(true);
    m_problem->setStyleSheet(QStringLiteral("color: #a00000"));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    siteControl(buttons->button(QDialogButtonBox::Ok), "SiteOk");
    connect(buttons, &QDialogButtonBox::accepted, this, &SiteDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &SiteDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(new QLabel(QStringLiteral("Modules the site expects :"), this));
    layout->addWidget(m_modules, 1);
    layout->addLayout(moduleButtons);
    layout->addWidget(m_problem);
    layout->addWidget(buttons);
    resize(560, 520);
}

void SiteDialog::addModuleRow(const ExpectedModule& m) {
    const int row = m_modules->rowCount();
    m_modules->insertRow(row);
    m_modules->setItem(row, AddressColumn,
                       new QTableWidgetItem(m.address > 0 ? QString::number(m.address) : QString()));
    m_modules->setItem(row, TypeColumn, new QTableWidgetItem(m.type));
    m_modules->setItem(row, NameColumn, new QTableWidgetItem(m.name));
    m_modules->setItem(row, RoomColumn, new QTableWidgetItem(m.room));
}

SiteSettings SiteDialog::settings() const {
    SiteSettings s = m_settings;
    s.name = m_name->text().trimmed();
    s.address = m_address->text().trimmed();
    s.technician = m_technician->text().trimmed();
    s.notes = m_notes->toPlainText();
    s.rememberPassword = m_remember->isChecked();
    if (!s.rememberPassword)
        s.password.clear();
    s.modules.clear();
    auto cell = [this](int row, int column) {
        const QTableWidgetItem* item = m_modules->item(row, column);
        return item ? item->text().trimmed() : QString();
    };
    for (int row = 0; row < m_modules->rowCount(); ++row) {
        const QString address = cell(row, AddressColumn);
        if (address.isEmpty() && cell(row, NameColumn).isEmpty() && cell(row, TypeColumn).isEmpty())
            continue; // a row added and left empty
        bool ok = false;
        const int value = address.toInt(&ok);
        s.modules << ExpectedModule{ok ? value : -1, cell(row, TypeColumn).toUpper(),
                                    cell(row, NameColumn), cell(row, RoomColumn)};
    }
    return s;
}

void SiteDialog::accept() {
    // What the file would refuse on reading is refused here, with the same words.
    try {
        SiteSettings::fromJson(settings().toJson());
    } catch (const RecordError& e) {
        m_problem->setText(QString::fromStdString(e.what()));
        return;
    }
    QDialog::accept();
}

#include "moc_site_dialog.cpp"

#include "app/report_dialog.h"

#include "link/bus.h"
#include "records/record_table.h"
#include "report/live_reading.h"
#include "report_pdf/report_pdf.h"
#include "widgets/prompt_service.h"

#include <QAction>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {
constexpr const char* kFilter = "Installation report (*.html *.pdf)";

template <class W> W* named(W* widget, const char* name) {
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}
} // namespace

ReportDialog::ReportDialog(Bus& bus, PromptService& prompts, const QString& databaseFile,
                           QWidget* parent)
    : QDialog(parent), m_bus(bus), m_prompts(prompts),
      m_databaseFile(QFileInfo(databaseFile).absoluteFilePath()),
      m_dialogs(RecordsFileDialogs::standard()) {
    setObjectName(QStringLiteral("ReportDialog"));
    setWindowTitle(QStringLiteral("Installation Report"));
    auto* form = new QFormLayout;
    m_site = named(new QLineEdit(this), "ReportSite");
    m_technician = named(new QLineEdit(this), "ReportTechnician");
    m_live = named(new QCheckBox(QStringLiteral("Read the modules now"), this), "ReportLive");
    m_timerModule = named(new QSpinBox(this), "ReportTimerModule");
    m_timerModule->setRange(0, 33);
    m_timerModule->setSpecialValueText(QStringLiteral("none"));
    m_timerModule->setEnabled(false);
    m_html = named(new QCheckBox(QStringLiteral("HTML"), this), "ReportHtml");
    m_pdf = named(new QCheckBox(QStringLiteral("PDF"), this), "ReportPdf");
    m_html->setChecked(true);
    m_pdf->setChecked(true);
    auto* formats = new QHBoxLayout;
    formats->addWidget(m_html);
    formats->addWidget(m_pdf);
    formats->addStretch();
    form->addRow(QStringLiteral("Site :"), m_site);
    form->addRow(QStringLiteral("Technician :"), m_technician);
    form->addRow(QString(), m_live);
    form->addRow(QStringLiteral("Timer records of module :"), m_timerModule);
    form->addRow(QStringLiteral("Save as :"), formats);
    m_status = named(new QLabel(this), "ReportStatus");
    m_status->setWordWrap(true);
    auto* buttons = new QDialogButtonBox(this);
    m_save = named(buttons->addButton(QStringLiteral("Save…"), QDialogButtonBox::AcceptRole),
                   "ReportSave");
    m_cancel = named(buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole),
                     "ReportCancel");
    // The buttons do their own work: neither closes the dialog by itself.
    disconnect(buttons, nullptr, this, nullptr);
    connect(m_save, &QPushButton::clicked, this, &ReportDialog::save);
    connect(m_cancel, &QPushButton::clicked, this, [this] {
        if (m_reading && m_reading->running())
            m_reading->cancel();
        else
            close();
    });
    connect(m_live, &QCheckBox::toggled, m_timerModule, &QWidget::setEnabled);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(m_status);
    layout->addWidget(buttons);
}

ReportDialog::~ReportDialog() = default;

void ReportDialog::install(QMainWindow& window, RecordsMenu& fileMenu, Bus& bus,
                           PromptService& prompts, const QString& databaseFile) {
    auto* dialog = new ReportDialog(bus, prompts, databaseFile, &window);
    QMenu* menu = fileMenu.menu();
    auto* action = new QAction(QStringLiteral("Installation Report…"), menu);
    action->setObjectName(QStringLiteral("InstallationReport"));
    // Before the separator above Quit, after the records' own items.
    const QList<QAction*> items = menu->actions();
    menu->insertAction(items.size() >= 2 ? items.at(items.size() - 2) : nullptr, action);
    connect(action, &QAction::triggered, dialog, [dialog] {
        dialog->show();
        dialog->raise();
        dialog->activateWindow();
    });
}

void ReportDialog::setSite(const QString& dir, const QString& name, const QString& technician) {
    m_siteDir = dir;
    m_site->setText(name);
    m_technician->setText(technician);
}

void ReportDialog::closeEvent(QCloseEvent* event) {
    if (running())
        m_reading->cancel();
    QDialog::closeEvent(event);
}

void ReportDialog::reject() {
    if (running())
        m_reading->cancel();
    QDialog::reject();
}

bool ReportDialog::running() const {
    return m_reading && m_reading->running();
}

void ReportDialog::setRunning(bool on) {
    m_save->setEnabled(!on);
    if (on)
        m_cancel->setText(QStringLiteral("Cancel"));
    for (QWidget* w : {static_cast<QWidget*>(m_site), static_cast<QWidget*>(m_technician),
                       static_cast<QWidget*>(m_live), static_cast<QWidget*>(m_html),
                       static_cast<QWidget*>(m_pdf)})
        w->setEnabled(!on);
    m_timerModule->setEnabled(!on && m_live->isChecked());
}

void ReportDialog::save() {
    if (!m_html->isChecked() && !m_pdf->isChecked()) {
        m_prompts.message(QStringLiteral("Choose HTML, PDF or both."));
        return;
    }
    QString filter = QString::fromLatin1(kFilter);
    const QString file =
        m_dialogs.saveFile(this, QStringLiteral("Save Installation Report"), filter, &filter);
    if (file.isEmpty())
        return;
    const QFileInfo chosen(file);
    const QString suffix = chosen.suffix().toLower();
    m_base = suffix == QLatin1String("html") || suffix == QLatin1String("pdf")
                 ? chosen.absolutePath() + QLatin1Char('/') + chosen.completeBaseName()
                 : chosen.absoluteFilePath();
    ReportRequest request;
    request.databaseFile = m_databaseFile;
    request.siteDir = m_siteDir;
    request.site = m_site->text();
    request.technician = m_technician->text();
    request.live = m_live->isChecked();
    request.timerModule = request.live ? m_timerModule->value() : 0;
    ReportContent content;
    try {
        content = InstallationReport::fromRecords(request);
    } catch (const RecordError& e) {
        m_prompts.message(QStringLiteral("Can not read the records for the report"),
                          QString::fromStdString(e.what()));
        return;
    }
    if (!request.live) {
        write(content);
        return;
    }
    m_reading = std::make_unique<LiveReading>(m_bus, request, content);
    connect(m_reading.get(), &LiveReading::progress, this,
            [this](const QString& what, int done, int total) {
                m_status->setText(QStringLiteral("%1… %2 of %3").arg(what).arg(done).arg(total));
            });
    connect(m_reading.get(), &LiveReading::finished, this, &ReportDialog::readingEnded);
    setRunning(true);
    if (!m_reading->start()) {
        setRunning(false);
        m_prompts.message(QStringLiteral("The modules cannot be read now"), m_reading->failure());
    }
}

void ReportDialog::readingEnded() {
    setRunning(false);
    if (m_reading->failure() == QLatin1String("cancelled")) {
        m_status->setText(QStringLiteral("Cancelled: no report written."));
        return;
    }
    write(m_reading->content());
}

void ReportDialog::write(const ReportContent& content) {
    const QString html = m_html->isChecked() ? m_base + QStringLiteral(".html") : QString();
    const QString pdf = m_pdf->isChecked() ? m_base + QStringLiteral(".pdf") : QString();
    QString error;
    if (!InstallationReport::save(content, html, pdf, &error, reportpdf::write)) {
        m_prompts.message(QStringLiteral("Can not write the report"), error);
        return;
    }
    QStringList written{html, pdf};
    written.removeAll(QString());
    const QString where = written.join(QStringLiteral(", "));
    m_status->setText(QStringLiteral("Written: %1").arg(where));
    // Nothing is left to cancel: the dialog offers to close, and the window says where the
    // report went (over whatever a reading of the modules left there).
    m_cancel->setText(QStringLiteral("Close"));
    emit m_bus.requestNotice(QStringLiteral("Installation report written: %1").arg(where));
}

#include "moc_report_dialog.cpp"

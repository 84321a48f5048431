#include "app/job_dialog.h"

#include "jobs/bus_job.h"
#include "widgets/form_builder.h"
#include "widgets/prompt_service.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

JobDialog::JobDialog(const QString& prefix, const QString& title, PromptService& prompts,
                     QWidget* parent)
    : QDialog(parent), m_prefix(prefix), m_prompts(prompts) {
    setObjectName(prefix + QStringLiteral("Dialog"));
    setWindowTitle(title);
    setModal(false);
    resize(860, 520);

    auto* column = new QVBoxLayout(this);
    auto* top = new QWidget(this);
    top->setObjectName(prefix + QStringLiteral("Settings"));
    m_settings = new QGridLayout(top);
    m_settings->setContentsMargins(0, 0, 0, 0);
    column->addWidget(top);

    m_table = new QTableWidget(this);
    m_table->setObjectName(prefix + QStringLiteral("Table"));
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->verticalHeader()->hide();
    m_table->horizontalHeader()->setStretchLastSection(true);
    column->addWidget(m_table, 1);

    m_progress = new QProgressBar(this);
    m_progress->setObjectName(prefix + QStringLiteral("Progress"));
    m_progress->setRange(0, 1);
    m_progress->setValue(0);
    column->addWidget(m_progress);
    m_summary = form::label(this, prefix + QStringLiteral("Summary"), QString());
    m_summary->setWordWrap(true);
    column->addWidget(m_summary);

    auto* buttons = new QHBoxLayout;
    m_start = form::button(this, prefix + QStringLiteral("Start"), QStringLiteral("Start"));
    m_cancel = form::button(this, prefix + QStringLiteral("Cancel"), QStringLiteral("Cancel"));
    m_close = form::button(this, prefix + QStringLiteral("Close"), QStringLiteral("Close"));
    buttons->addStretch();
    buttons->addWidget(m_start);
    buttons->addWidget(m_cancel);
    buttons->addWidget(m_close);
    column->addLayout(buttons);
    m_cancel->setEnabled(false);

    connect(m_start, &QPushButton::clicked, this, &JobDialog::start);
    connect(m_cancel, &QPushButton::clicked, this, &JobDialog::cancel);
    connect(m_close, &QPushButton::clicked, this, &JobDialog::close);
}

bool JobDialog::running() const {
    return m_job && m_job->running();
}

void JobDialog::setColumns(const QStringList& titles) {
    m_table->setColumnCount(int(titles.size()));
    m_table->setHorizontalHeaderLabels(titles);
}

void JobDialog::start() {
    if (running())
        return;
    m_table->setRowCount(0);
    m_summary->clear();
    m_progress->setRange(0, 1);
    m_progress->setValue(0);
    m_job = nullptr; // createJob replaces the last job
    if (BusJob* job = createJob())
        runJob(job);
}

void JobDialog::runJob(BusJob* job) {
    m_job = job;
    connect(job, &BusJob::progress, this, [this](int done, int total) {
        m_progress->setRange(0, std::max(1, total));
        m_progress->setValue(done);
    });
    connect(job, &BusJob::finished, this, [this, job] {
        if (m_job != job)
            return;
        setRunning(false);
        jobEnded();
        m_table->resizeColumnsToContents();
    });
    if (!job->start()) {
        m_prompts.message(job->failure());
        m_job = nullptr;
        return;
    }
    setRunning(true);
}

void JobDialog::cancel() {
    if (running())
        m_job->cancel();
}

void JobDialog::setRunning(bool on) {
    m_start->setEnabled(!on);
    m_cancel->setEnabled(on);
    if (QWidget* top = findChild<QWidget*>(m_prefix + QStringLiteral("Settings")))
        top->setEnabled(!on);
}

void JobDialog::closeEvent(QCloseEvent* event) {
    // Closing the dialog ends its job: nothing keeps sending behind a closed window.
    cancel();
    event->accept();
}

void JobDialog::reject() {
    cancel();
    QDialog::reject();
}

#include "moc_job_dialog.cpp"

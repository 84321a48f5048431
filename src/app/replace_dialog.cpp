#include "app/replace_dialog.h"

#include "app/site_session.h"
#include "link/bus.h"
#include "protocol/module_kinds.h"
#include "records/record_table.h"
#include "records/site_history.h"
#include "widgets/form_builder.h"
#include "widgets/prompt_service.h"

#include <algorithm>

#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {
// The wizard's pages in the order the job takes them; the push and its audit share one.
const char* const kReplaceSteps[] = {
    "1. The failed module and its type", "2. Connect the spare alone and press Read",
    "3. The spare's type and version",   "4. Set the failed module's address, read it back",
    "5. A timer module's clock",         "6. Push the records, then audit",
    "7. What is left to do by hand",
};

int pageOf(ModuleReplace::Step step) {
    using S = ModuleReplace::Step;
    switch (step) {
    case S::Read:
        return 1;
    case S::Type:
        return 2;
    case S::Address:
        return 3;
    case S::Clock:
        return 4;
    case S::Push:
    case S::Audit:
        return 5;
    case S::Done:
        break;
    }
    return 6;
}
} // namespace

ReplaceDialog::ReplaceDialog(Bus& bus, PromptService& prompts, const QString& databaseFile,
                             QWidget* parent)
    : QDialog(parent), m_bus(bus), m_prompts(prompts), m_databaseFile(databaseFile) {
    setObjectName(QStringLiteral("ReplaceDialog"));
    setWindowTitle(QStringLiteral("Replace Module"));
    auto* layout = new QVBoxLayout(this);
    auto* top = new QGridLayout;
    m_failed = form::spin(this, QStringLiteral("ReplaceFailed"), 1, 32, 1);
    QStringList families{QString()};
    families << modulekind::names();
    m_type = form::combo(this, QStringLiteral("ReplaceType"), families);
    m_type->setEditable(true);
    m_type->setInsertPolicy(QComboBox::NoInsert);
    m_type->setToolTip(QStringLiteral("light, curtain, ir, input, timer or a type code; empty: "
                                      "the spare's type is not checked"));
    m_from = form::spin(this, QStringLiteral("ReplaceFrom"), -1, 254, -1);
    m_from->setSpecialValueText(QStringLiteral("any"));
    m_from->setToolTip(QStringLiteral("The address the spare should answer at (on its label, or "
                                      "as it came); any: wherever it answers"));
    m_timers = form::check(this, QStringLiteral("ReplaceTimers"),
                           QStringLiteral("Timer Records and Event Records belong to this module"));
    form::row(top, 0, 0, QStringLiteral("ReplaceFailedLabel"), QStringLiteral("Failed Module :"),
              m_failed);
    form::row(top, 0, 2, QStringLiteral("ReplaceTypeLabel"), QStringLiteral("Its Type :"), m_type);
    form::row(top, 1, 0, QStringLiteral("ReplaceFromLabel"), QStringLiteral("Spare's Address :"),
              m_from);
    top->addWidget(m_timers, 1, 2, 1, 2);
    layout->addLayout(top);

    auto* middle = new QHBoxLayout;
    m_steps = new QListWidget(this);
    m_steps->setObjectName(QStringLiteral("ReplaceSteps"));
    for (const char* page : kReplaceSteps)
        m_steps->addItem(QString::fromUtf8(page));
    m_steps->setSelectionMode(QAbstractItemView::NoSelection);
    m_steps->setFocusPolicy(Qt::NoFocus);
    // As wide as its longest step in bold (the current step's font), so no step is cut off.
    QFont bold = m_steps->font();
    bold.setBold(true);
    int widest = 0;
    for (const char* page : kReplaceSteps)
        widest = std::max(widest, QFontMetrics(bold).horizontalAdvance(QString::fromUtf8(page)));
    m_steps->setFixedWidth(widest + 2 * m_steps->frameWidth() + 4 * m_steps->spacing() + 16);
    m_steps->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    middle->addWidget(m_steps);
    m_table = new QTableWidget(0, 3, this);
    m_table->setObjectName(QStringLiteral("ReplaceTable"));
    m_table->setHorizontalHeaderLabels(
        {QStringLiteral("Step"), QStringLiteral("Outcome"), QStringLiteral("Detail")});
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_table->verticalHeader()->hide();
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    middle->addWidget(m_table, 1);
    layout->addLayout(middle, 1);

    m_spare = form::label(this, QStringLiteral("ReplaceSpare"), QString());
    layout->addWidget(m_spare);
    layout->addWidget(form::label(this, QStringLiteral("ReplaceClosingLabel"),
                                  QStringLiteral("To do by hand, and what the audit found "
                                                 "different :")));
    m_closing = new QListWidget(this);
    m_closing->setObjectName(QStringLiteral("ReplaceClosing"));
    m_closing->setMaximumHeight(110);
    layout->addWidget(m_closing);
    m_summary = form::label(this, QStringLiteral("ReplaceSummary"), QString());
    m_summary->setWordWrap(true);
    layout->addWidget(m_summary);

    auto* row = new QHBoxLayout;
    m_read = form::button(this, QStringLiteral("ReplaceRead"), QStringLiteral("Read"));
    m_cancel = form::button(this, QStringLiteral("ReplaceCancel"), QStringLiteral("Cancel"));
    // Return anywhere in the dialog presses Read, as the page says.
    m_read->setDefault(true);
    QPushButton* close =
        form::button(this, QStringLiteral("ReplaceClose"), QStringLiteral("Close"));
    row->addStretch(1);
    row->addWidget(m_read);
    row->addWidget(m_cancel);
    row->addWidget(close);
    layout->addLayout(row);

    connect(m_failed, &QSpinBox::valueChanged, this, &ReplaceDialog::fillType);
    connect(m_read, &QPushButton::clicked, this, &ReplaceDialog::read);
    connect(m_cancel, &QPushButton::clicked, this, [this] {
        if (m_job)
            m_job->cancel();
    });
    connect(close, &QPushButton::clicked, this, &ReplaceDialog::reject);
    resize(900, 520); // fits a 960 × 540 screen
    fillType();
    setRunning(false);
    showStep(ModuleReplace::Step::Read);
}

ReplaceDialog::~ReplaceDialog() = default;

void ReplaceDialog::setSiteSession(SiteSession* session) {
    m_site = session;
}

void ReplaceDialog::setModule(int address) {
    if (!running() && address >= 1 && address <= 32)
        m_failed->setValue(address);
}

bool ReplaceDialog::running() const {
    return m_job && m_job->running();
}

void ReplaceDialog::reject() {
    // Closing in the middle would leave the spare half done without a word: Cancel first.
    if (running())
        return;
    QDialog::reject();
}

void ReplaceDialog::fillType() {
    // What a scan heard there, else what the site expects; else the technician says.
    const QString known = m_bus.moduleTypes().typeOf(m_failed->value());
    m_type->setCurrentText(known);
}

void ReplaceDialog::read() {
    if (running())
        return;
    const QString given = m_type->currentText().trimmed();
    if (!given.isEmpty() && modulekind::expectation(given).isEmpty()) {
        m_prompts.message(QStringLiteral("Give the failed module's type as light, curtain, ir, "
                                         "input, timer or a type code of four hexadecimal "
                                         "digits, or leave it empty."));
        return;
    }
    ModuleRecords records;
    try {
        records = ModuleRecords::load(m_databaseFile, m_failed->value(), m_timers->isChecked());
    } catch (const RecordError& e) {
        m_prompts.message(QStringLiteral("The records cannot be read."),
                          QString::fromStdString(e.what()));
        return;
    }
    ModuleReplace::Options options;
    options.failed = m_failed->value();
    options.expected = given;
    options.from = m_from->value(); // -1, "any": wherever it answers
    options.waitMs = m_bus.replyWait();
    options.override = [this](const QString& question) { return m_prompts.confirm(question); };
    m_job = std::make_unique<ModuleReplace>(m_bus, records, options);
    connect(m_job.get(), &ModuleReplace::stepEnded, this, &ReplaceDialog::stepEnded);
    connect(m_job.get(), &ModuleReplace::finished, this, &ReplaceDialog::ended);
    if (!m_job->start()) {
        const QString why = m_job->failure();
        m_job.reset();
        m_prompts.message(why);
        return;
    }
    m_table->setRowCount(0);
    m_closing->clear();
    m_spare->clear();
    m_summary->setText(QStringLiteral("Reading the address of the module on the bus…"));
    showStep(ModuleReplace::Step::Read);
    setRunning(true);
}

void ReplaceDialog::stepEnded(ModuleReplace::Step step, bool ok, const QString& detail) {
    const int row = m_table->rowCount();
    m_table->insertRow(row);
    const QString name = ModuleReplace::stepName(step);
    m_table->setItem(row, 0, new QTableWidgetItem(name));
    m_table->setItem(row, 1,
                     new QTableWidgetItem(ok ? QStringLiteral("done") : QStringLiteral("stopped")));
    m_table->setItem(row, 2, new QTableWidgetItem(detail));
    // Where it answers, also when that is not where it should.
    if (step == ModuleReplace::Step::Read && m_job->spareAddress() >= 0)
        m_spare->setText(
            QStringLiteral("The spare answers at address %1.").arg(m_job->spareAddress()));
    if (ok)
        showStep(ModuleReplace::Step(int(step) + 1));
    if (m_site && m_site->isOpen())
        m_site->record(m_failed->value(), QStringLiteral("replace"),
                       QStringLiteral("%1: %2").arg(name, detail),
                       ok ? HistoryEntry::ok() : HistoryEntry::error(detail));
}

void ReplaceDialog::showStep(ModuleReplace::Step step) {
    const int current = pageOf(step);
    for (int i = 0; i < m_steps->count(); ++i) {
        QFont font = m_steps->item(i)->font();
        font.setBold(i == current);
        m_steps->item(i)->setFont(font);
    }
}

void ReplaceDialog::ended() {
    setRunning(false);
    if (m_job->completed())
        showStep(ModuleReplace::Step::Done);
    if (m_job->push())
        for (const QString& note : m_job->push()->notes)
            m_closing->addItem(QStringLiteral("note: ") + note);
    m_closing->addItems(m_job->closingList());
    m_summary->setText(m_job->summary());
}

void ReplaceDialog::setRunning(bool on) {
    m_read->setEnabled(!on);
    m_failed->setEnabled(!on);
    m_type->setEnabled(!on);
    m_from->setEnabled(!on);
    m_timers->setEnabled(!on);
    m_cancel->setEnabled(on);
}

#include "moc_replace_dialog.cpp"

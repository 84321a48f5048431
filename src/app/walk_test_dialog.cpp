#include "app/walk_test_dialog.h"

#include "app/site_session.h"
#include "jobs/walk_session.h"
#include "widgets/prompt_service.h"

#include <QApplication>
#include <QDir>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {
QPushButton* button(QWidget* parent, const char* name, const QString& caption) {
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(QString::fromLatin1(name));
    return b;
}

// "1, 2,5" → 1 2 5; nothing when a word is no module address 1..32.
std::optional<QList<int>> addressesOf(const QString& text) {
    QList<int> out;
    static const QRegularExpression separators(QStringLiteral("[,\\s]+"));
    for (const QString& word : text.split(separators, Qt::SkipEmptyParts)) {
        bool ok = false;
        const int a = word.toInt(&ok);
        if (!ok || a < 1 || a > 32)
            return std::nullopt;
        out << a;
    }
    return out;
}
} // namespace

WalkTestDialog::WalkTestDialog(Bus& bus, PromptService& prompts, const QString& databaseFile,
                               QWidget* parent)
    : QDialog(parent), m_bus(bus), m_prompts(prompts), m_databaseFile(databaseFile) {
    setObjectName(QStringLiteral("WalkTestDialog"));
    setWindowTitle(QStringLiteral("Walk Test"));
    auto* layout = new QVBoxLayout(this);
    auto* top = new QGridLayout;
    auto* label = new QLabel(QStringLiteral("Modules :"), this);
    m_modules = new QLineEdit(this);
    m_modules->setObjectName(QStringLiteral("WalkModules"));
    m_modules->setPlaceholderText(QStringLiteral("1, 2, 3"));
    label->setBuddy(m_modules);
    m_siteModules = button(this, "WalkSiteModules", QStringLiteral("Site's Modules"));
    m_start = button(this, "WalkStart", QStringLiteral("Start"));
    m_continue = button(this, "WalkContinue", QStringLiteral("Continue Last"));
    top->addWidget(label, 0, 0);
    top->addWidget(m_modules, 0, 1);
    top->addWidget(m_siteModules, 0, 2);
    top->addWidget(m_start, 0, 3);
    top->addWidget(m_continue, 0, 4);
    layout->addLayout(top);

    m_current = new QLabel(QStringLiteral("Choose the modules and press Start."), this);
    m_current->setObjectName(QStringLiteral("WalkCurrent"));
    QFont big = m_current->font();
    big.setPointSizeF(big.pointSizeF() * 1.4);
    big.setBold(true);
    m_current->setFont(big);
    m_current->setWordWrap(true);
    layout->addWidget(m_current);

    auto* answers = new QHBoxLayout;
    m_answers = {button(this, "WalkWorks", QStringLiteral("Works (Return)")),
                 button(this, "WalkDoesNot", QStringLiteral("Does Not (D)")),
                 button(this, "WalkSkip", QStringLiteral("Skip (S)")),
                 button(this, "WalkNote", QStringLiteral("Note (N)"))};
    m_stop = button(this, "WalkStop", QStringLiteral("Stop (Esc)"));
    // The answers take no focus: the keys answer whatever has it.
    for (QPushButton* b : m_answers + QList<QPushButton*>{m_stop}) {
        b->setFocusPolicy(Qt::NoFocus);
        b->setAutoDefault(false);
        answers->addWidget(b);
    }
    layout->addLayout(answers);
    m_note = new QLineEdit(this);
    m_note->setObjectName(QStringLiteral("WalkNoteEdit"));
    m_note->setPlaceholderText(QStringLiteral("Note for this output (N, then Return)"));
    layout->addWidget(m_note);

    m_table = new QTableWidget(0, 4, this);
    m_table->setObjectName(QStringLiteral("WalkTable"));
    m_table->setHorizontalHeaderLabels({QStringLiteral("Output"), QStringLiteral("Result"),
                                        QStringLiteral("Note"), QStringLiteral("Time")});
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_table->horizontalHeader()->setSectionResizeMode(2, QHeaderView::Stretch);
    m_table->setWordWrap(false);
    m_table->verticalHeader()->setVisible(false);
    layout->addWidget(m_table, 1);
    m_summary = new QLabel(this);
    m_summary->setObjectName(QStringLiteral("WalkSummary"));
    m_summary->setWordWrap(true);
    m_summary->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_summary->setMinimumHeight(m_summary->fontMetrics().lineSpacing() * 3);
    layout->addWidget(m_summary);
    auto* close = button(this, "WalkClose", QStringLiteral("Close"));
    close->setAutoDefault(false);
    layout->addWidget(close, 0, Qt::AlignRight);

    connect(m_start, &QPushButton::clicked, this, &WalkTestDialog::startWalk);
    connect(m_continue, &QPushButton::clicked, this, &WalkTestDialog::continueWalk);
    connect(m_siteModules, &QPushButton::clicked, this, &WalkTestDialog::fillFromSite);
    connect(m_answers[0], &QPushButton::clicked, this,
            [this] { answer(WalkResult::Verdict::Works); });
    connect(m_answers[1], &QPushButton::clicked, this,
            [this] { answer(WalkResult::Verdict::DoesNot); });
    connect(m_answers[2], &QPushButton::clicked, this,
            [this] { answer(WalkResult::Verdict::Skipped); });
    connect(m_answers[3], &QPushButton::clicked, this, &WalkTestDialog::editNote);
    connect(m_stop, &QPushButton::clicked, this, [this] {
        if (m_session)
            m_session->stop();
    });
    connect(close, &QPushButton::clicked, this, &WalkTestDialog::reject);
    resize(720, 560);
    setRunning(false);
    qApp->installEventFilter(this);
}

WalkTestDialog::~WalkTestDialog() {
    qApp->removeEventFilter(this);
}

void WalkTestDialog::setSiteSession(SiteSession* session) {
    m_site = session;
}

bool WalkTestDialog::running() const {
    return m_session && m_session->running();
}

QString WalkTestDialog::siteDir() const {
    return m_site && m_site->isOpen() ? m_site->site().dir() : QString();
}

void WalkTestDialog::fillFromSite() {
    QStringList addresses;
    if (m_site && m_site->isOpen())
        for (const ExpectedModule& m : m_site->settings().modules)
            if (m.address >= 1 && m.address <= 32)
                addresses << QString::number(m.address);
    if (addresses.isEmpty()) {
        m_prompts.message(QStringLiteral("No site is open, or it names no module."));
        return;
    }
    m_modules->setText(addresses.join(QStringLiteral(", ")));
}

bool WalkTestDialog::begin(const std::function<bool(WalkSession&)>& how) {
    WalkSession::Options o;
    o.recordFile = m_databaseFile;
    o.siteDir = siteDir();
    o.technician = m_site && m_site->isOpen() ? m_site->settings().technician : QString();
    o.program = QStringLiteral("window");
    o.waitMs = m_bus.replyWait();
    o.recorded = [site = m_site](const WalkResult& r) {
        if (site)
            site->record(r.output.module, QStringLiteral("walk"), r.historyDetail(),
                         r.historyOutcome());
    };
    m_session = std::make_unique<WalkSession>(m_bus, o);
    connect(m_session.get(), &WalkSession::asked, this, &WalkTestDialog::asked);
    connect(m_session.get(), &WalkSession::resultRecorded, this, &WalkTestDialog::showResult);
    connect(m_session.get(), &WalkSession::finished, this, &WalkTestDialog::ended);
    connect(m_session.get(), &WalkSession::reading, this, [this](int module) {
        m_current->setText(QStringLiteral("Reading the type of module %1…").arg(module));
    });
    m_table->setRowCount(0);
    m_summary->clear();
    setRunning(true);
    if (!how(*m_session)) {
        setRunning(false);
        m_prompts.message(QStringLiteral("The walk test cannot start."), m_session->failure());
        return false;
    }
    return true;
}

void WalkTestDialog::startWalk() {
    const std::optional<QList<int>> addresses = addressesOf(m_modules->text());
    if (!addresses || addresses->isEmpty()) {
        m_prompts.message(QStringLiteral("Modules : give module addresses 1..32, as 1, 2, 3."));
        return;
    }
    QList<WalkModule> modules;
    for (int a : *addresses) {
        const ExpectedModule* e =
            m_site && m_site->isOpen() ? m_site->settings().expected(a) : nullptr;
        modules << WalkModule{a, e ? e->type : QString()};
    }
    begin([&modules](WalkSession& s) { return s.start(modules); });
}

void WalkTestDialog::continueWalk() {
    const QStringList files = WalkRun::files(m_databaseFile, siteDir());
    if (files.isEmpty()) {
        m_prompts.message(QStringLiteral("No walk test was run here yet."));
        return;
    }
    WalkRun run;
    try {
        run = WalkRun::load(files.last());
    } catch (const RecordError& e) {
        m_prompts.message(QStringLiteral("The last walk test cannot be read."), e.what());
        return;
    }
    if (!begin([&run](WalkSession& s) { return s.resume(run); }))
        return;
    for (int i = 0; i < run.results.size(); ++i)
        if (run.results.at(i).verdict != WalkResult::Verdict::Untested)
            showResult(i);
    if (const QStringList on = run.leftOn(); !on.isEmpty())
        m_summary->setText(QStringLiteral("Left on when it stopped: %1")
                               .arg(on.join(QStringLiteral(", "))));
}

void WalkTestDialog::asked(int index) {
    const WalkOutput& out = m_session->run().results.at(index).output;
    QString text = QStringLiteral("%1: is it working?").arg(out.title());
    if (!out.hint().isEmpty())
        text += QStringLiteral("\n(%1)").arg(out.hint());
    m_current->setText(text);
    for (QPushButton* b : std::as_const(m_answers))
        b->setEnabled(true);
    m_note->setEnabled(true);
}

void WalkTestDialog::showResult(int index) {
    const WalkResult& r = m_session->run().results.at(index);
    const int row = m_table->rowCount();
    m_table->insertRow(row);
    const QStringList cells{r.output.title(), WalkResult::text(r.verdict), r.note,
                            r.time.toString(QStringLiteral("HH:mm:ss"))};
    for (int c = 0; c < cells.size(); ++c) {
        auto* item = new QTableWidgetItem(cells.at(c));
        if (r.failed())
            item->setForeground(QColor(0xa0, 0, 0));
        m_table->setItem(row, c, item);
    }
    m_table->scrollToBottom();
    m_current->setText(QStringLiteral("%1: %2").arg(cells.at(0), cells.at(1)));
    for (QPushButton* b : std::as_const(m_answers))
        b->setEnabled(false);
}

void WalkTestDialog::ended(bool stopped) {
    setRunning(false);
    const WalkRun& run = m_session->run();
    QStringList lines{run.summary()};
    lines << run.notes;
    if (const QStringList on = run.leftOn(); !on.isEmpty())
        lines << QStringLiteral("Left on: %1").arg(on.join(QStringLiteral(", ")));
    if (!m_session->failure().isEmpty())
        lines << m_session->failure();
    lines << QStringLiteral("Results: %1").arg(QDir::toNativeSeparators(run.file));
    m_summary->setText(lines.join(QLatin1Char('\n')));
    m_current->setText(stopped ? QStringLiteral("Stopped. \"Continue Last\" goes on from here.")
                               : QStringLiteral("Every output was tested."));
}

void WalkTestDialog::answer(WalkResult::Verdict verdict) {
    if (!m_session || !m_session->asking())
        return;
    const QString note = m_note->text().trimmed();
    m_note->clear();
    m_session->answer(verdict, note);
}

void WalkTestDialog::editNote() {
    if (!m_session || !m_session->asking())
        return;
    m_note->setFocus(Qt::ShortcutFocusReason);
}

void WalkTestDialog::setRunning(bool on) {
    m_modules->setEnabled(!on);
    m_siteModules->setEnabled(!on);
    m_start->setEnabled(!on);
    m_continue->setEnabled(!on);
    m_stop->setEnabled(on);
    for (QPushButton* b : std::as_const(m_answers))
        b->setEnabled(false);
    m_note->setEnabled(on);
    if (on)
        m_table->setFocus(); // never the module line: the keys answer from here on
}

bool WalkTestDialog::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress || !running())
        return QDialog::eventFilter(watched, event);
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget || widget->window() != this)
        return QDialog::eventFilter(watched, event);
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (widget == m_note) {
        // The note line takes its text; Return keeps it, Esc drops it.
        if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape) {
            if (key == Qt::Key_Escape)
                m_note->clear();
            m_table->setFocus();
            return true;
        }
        return false;
    }
    switch (key) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        answer(WalkResult::Verdict::Works);
        return true;
    case Qt::Key_D:
        answer(WalkResult::Verdict::DoesNot);
        return true;
    case Qt::Key_S:
        answer(WalkResult::Verdict::Skipped);
        return true;
    case Qt::Key_N:
        editNote();
        return true;
    case Qt::Key_Escape:
        m_session->stop();
        return true;
    default:
        return QDialog::eventFilter(watched, event);
    }
}

void WalkTestDialog::reject() {
    // Closing puts back what is on first, as Stop does.
    if (running())
        m_session->stop();
    QDialog::reject();
}

#include "moc_walk_test_dialog.cpp"

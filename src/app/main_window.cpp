#include "app/main_window.h"

#include "app/families.h"
#include "app/help_menu.h"
#include "app/link_panel.h"
#include "app/network_wait.h"
#include "app/new_record_file.h"
#include "app/page_layout.h"
#include "app/processing_dialog.h"
#include "app/records_menu.h"
#include "app/report_dialog.h"
#include "app/site_menu.h"
#include "app/tools_menu.h"
#include "link/bus.h"
#include "protocol/sequence_engine.h"
#include "records/access_record_file.h"
#include "records/leftover_parts.h"
#include "widgets/form_builder.h"
#include "widgets/prompt_service.h"
#include "widgets/return_presses_button.h"
#include "widgets/screen_fit.h"

#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace {
struct PageInfo {
    const char* name;
    const char* caption;
};
const PageInfo kPages[] = {
    {"TabSheet1", "Module Settings"}, {"TabSheet2", "Scene Settings"},
    {"TabSheet3", "Light Control"},   {"TabSheet4", "Curtain Control"},
    {"TabSheet5", "IR Control"},      {"TabSheet6", "Input Module Settings"},
    {"TabSheet7", "Timer Settings"},  {"TabSheet8", "Monitor Bindings"},
};

// Below this the tab sheets scroll, and the settings band's fields scroll sideways: the
// window fits a 960x540 screen.
constexpr int kMinimumHeight = 480;
} // namespace

TForm1::TForm1(PromptService& prompts, const QString& databaseFile) : m_prompts(prompts) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QString::fromLatin1(kCaption));
    setGeometry(385, 38, 1354, 739);

    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(4, 4, 4, 4);
    m_linkPanel = new LinkPanel(prompts, central);
    layout->addWidget(m_linkPanel);

    auto* splitter = new QSplitter(Qt::Vertical, central);
    splitter->setObjectName(QStringLiteral("Splitter1"));
    m_pages = new QTabWidget(splitter);
    m_pages->setObjectName(QStringLiteral("PageControl1"));
    buildPages();
    splitter->addWidget(m_pages);
    splitter->addWidget(buildLogBand());
    splitter->setStretchFactor(1, 1);
    layout->addWidget(splitter, 1);
    setCentralWidget(central);

    m_bus = std::make_unique<Bus>(*m_linkPanel);
    m_linkPanel->attach(m_bus.get());
    m_linkPanel->setStatusLabels(m_status, m_linkState);
    m_form2 = new TForm2(this);
    m_bus->setWaitView(new NetworkWait(this));
    connect(m_bus.get(), &Bus::logLine, this, &TForm1::appendLog);
    connect(m_bus.get(), &Bus::message, this, [this](const QString& text, const QString& detail) {
        m_prompts.message(text, detail);
    });

    m_context = std::make_unique<FamilyContext>(FamilyContext{*m_bus, m_records, prompts, m_pages});
    createFamilies();
    sequences().setOwner(m_form2);
    connect(m_form2, &TForm2::cancelled, &sequences(), &SequenceEngine::cancel);
    tabToLogBandLast();
    pagelayout::fitGrids(m_pages);
    // The sheets get the height they need, the log band the rest of the window.
    pagelayout::keepSheetsHeight(m_pages, splitter);
    setMinimumSize(minimumSizeHint().width(), kMinimumHeight);
    screenfit::keepOnScreen(this);
    ReturnPressesButton::install(this);
    FormCreate(databaseFile);
    // What velm-cli or a second window writes to the file shows in the grids within a second.
    auto* changedElsewhere = new QTimer(this);
    connect(changedElsewhere, &QTimer::timeout, this, &TForm1::reloadRecordsChangedElsewhere);
    changedElsewhere->start(1000);
    m_siteMenu = new SiteMenu(*this, prompts);
    installMenus(databaseFile);
}

void TForm1::installMenus(const QString& databaseFile) {
    m_recordFile = databaseFile;
    if (m_recordsMenu) {
        // The menus of another record file and their dialogs go; the menu bar goes once the
        // action that led here has returned.
        delete m_toolsMenu;
        delete m_recordsMenu;
        delete findChild<ReportDialog*>(QString(), Qt::FindDirectChildrenOnly);
        setMenuBar(new QMenuBar(this));
    }
    m_recordsMenu = RecordsMenu::install(*this, m_records, m_prompts, databaseFile);
    connect(m_recordsMenu, &RecordsMenu::recordFileCreated, this, &TForm1::showRecordFileState);
    connect(m_recordsMenu, &RecordsMenu::recordFileConverted, this, &TForm1::showRecordFileState);
    showRecordFileState();
    m_recordsMenu->setBusyCheck([this] { return busy(); });
    ReportDialog::install(*this, *m_recordsMenu, *m_bus, m_prompts, databaseFile);
    m_toolsMenu = ToolsMenu::install(this, *m_bus, m_prompts, databaseFile);
    helpmenu::install(*this, m_prompts, databaseFile);
    m_siteMenu->menusMade(*m_recordsMenu, *m_toolsMenu,
                          findChild<ReportDialog*>(QString(), Qt::FindDirectChildrenOnly));
}

void TForm1::useRecordFile(const QString& databaseFile) {
    openRecords(databaseFile);
    installMenus(databaseFile);
}

void TForm1::openRecords(const QString& databaseFile) {
    // A missing file is not made here: the boxes say which command makes it.
    const bool missing = !QFileInfo::exists(databaseFile);
    // What a killed write left beside the record file goes before the tables open.
    if (!missing)
        for (const QString& line : leftover_parts::sweep(databaseFile))
            m_prompts.message(line);
    m_records.openAll(databaseFile, [this, missing](const QString& message, const QString& cause) {
        m_prompts.message(message,
                          missing ? cause + QStringLiteral("; ") + newrecordfile::hint() : cause);
    });
}

// The start-up boxes are gone once read; what they said of the record file and the command
// that helps stays in sight.
void TForm1::showRecordFileState() {
    const QString file = QDir::toNativeSeparators(m_recordFile);
    QString note;
    if (!QFileInfo::exists(m_recordFile)) {
        note = QStringLiteral("No record file: %1 does not exist; %2.")
                   .arg(file, newrecordfile::hint());
    } else if (const auto format = AccessRecordFile::formatOf(m_recordFile);
               format != AccessRecordFile::Format::NotAccess) {
        note = AccessRecordFile::whatItIs(QFileInfo(m_recordFile).fileName(), format);
    }
    m_linkPanel->setRecordFileNote(note);
}

SequenceEngine& TForm1::sequences() {
    return *m_families->sequences;
}

bool TForm1::busy() const {
    return m_families->sequences->running() || !m_bus->runningJob().isEmpty();
}

TForm1::~TForm1() {
    // The families hold widgets of this window and references to the bus: let them go first.
    m_families.reset();
}

void TForm1::tabToLogBandLast() {
    // The families' controls were made after the log band, so the focus chain had the log
    // between the tab bar and every sheet's first control.
    QWidget* lastOnSheets = m_pages;
    for (QWidget* w = nextInFocusChain(); w != this; w = w->nextInFocusChain())
        if (m_pages->isAncestorOf(w))
            lastOnSheets = w;
    QWidget::setTabOrder(lastOnSheets, m_memo);
    QWidget::setTabOrder(m_memo, findChild<QPushButton*>(QStringLiteral("Button40")));
}

void TForm1::buildPages() {
    for (const PageInfo& p : kPages)
        m_pages->addTab(pagelayout::scrollingSheet(m_pages, p.name),
                        QString::fromLatin1(p.caption));
    m_pages->setCurrentIndex(0);
}

QWidget* TForm1::buildLogBand() {
    auto* band =
        form::group(nullptr, QStringLiteral("GroupBox9"), QStringLiteral("Communication Data"));
    m_memo = new QPlainTextEdit(band);
    m_memo->setObjectName(QStringLiteral("Memo1"));
    m_memo->setReadOnly(true);
    m_memo->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_memo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

    auto* panel = new QWidget(band);
    panel->setObjectName(QStringLiteral("Panel1"));
    auto* clear = form::button(panel, QStringLiteral("Button40"), QStringLiteral("Clear"));
    auto* panelLayout = new QVBoxLayout(panel);
    panelLayout->addWidget(clear);
    panelLayout->addStretch();
    connect(clear, &QPushButton::clicked, this, &TForm1::Button40Click);

    auto* statusBar = new QStatusBar(band);
    statusBar->setObjectName(QStringLiteral("StatusBar1"));
    statusBar->setSizeGripEnabled(false);
    m_status = new QLabel(statusBar);
    m_status->setObjectName(QStringLiteral("StatusPanel"));
    m_status->setMinimumWidth(50);
    statusBar->addWidget(m_status);
    m_linkState = new QLabel(statusBar);
    m_linkState->setObjectName(QStringLiteral("LinkStatePanel"));
    // A long state line is cut at the window's edge, never widens the window past the screen.
    m_linkState->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    statusBar->addWidget(m_linkState, 1);

    auto* grid = new QGridLayout(band);
    grid->addWidget(m_memo, 0, 0);
    grid->addWidget(panel, 0, 1);
    grid->addWidget(statusBar, 1, 0, 1, 2);
    return band;
}

void TForm1::FormCreate(const QString& databaseFile) {
    // 1. The six tables, one after the other; a table that cannot be opened is reported and
    //    the window still comes up.
    openRecords(databaseFile);
    // 2-6: the fields of the timer tab, "Local IP", the relay-delay controls.
    startUpFields();
}

void TForm1::reloadRecordsChangedElsewhere() {
    if (busy())
        return;
    for (int t = 0; t < RecordStore::Count; ++t)
        m_records.table(RecordStore::Table(t)).reloadIfChangedElsewhere();
}

void TForm1::Button40Click() {
    m_memo->clear();
}

void TForm1::appendLog(const QString& line) {
    m_memo->appendPlainText(line);
}

void TForm1::closeEvent(QCloseEvent* event) {
    m_bus->closeAll();
    event->accept();
}

#include "moc_main_window.cpp"

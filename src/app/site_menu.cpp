#include "app/site_menu.h"

#include "app/link_panel.h"
#include "app/main_window.h"
#include "app/push_dialog.h"
#include "app/replace_dialog.h"
#include "app/records_menu.h"
#include "app/report_dialog.h"
#include "app/scan_dialog.h"
#include "app/site_band.h"
#include "app/site_dialog.h"
#include "app/site_history_dialog.h"
#include "app/tools_menu.h"
#include "app/walk_test_dialog.h"
#include "link/bus.h"
#include "link/frames.h"
#include "protocol/operation_table.h"
#include "protocol/sequence_engine.h"
#include "records/database_file.h"
#include "records/record_table.h"
#include "widgets/prompt_service.h"
#include "widgets/record_grid.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <QPushButton>
#include <QSettings>

namespace {
constexpr int kRecentCount = 8;
const QString kRecentKey = QStringLiteral("recentSites");

QSettings userSettings() {
    return QSettings(QStringLiteral("velm"), QStringLiteral("velm"));
}

QString errorText(const RecordError& e) {
    return QString::fromStdString(e.what());
}
} // namespace

SiteMenu::SiteMenu(TForm1& window, PromptService& prompts)
    : QObject(&window), m_window(window), m_prompts(prompts) {
    setObjectName(QStringLiteral("SiteMenu"));
    m_chooseFolder = [](QWidget* parent, const QString& caption) {
        return QFileDialog::getExistingDirectory(parent, caption);
    };
    connect(&window.bus(), &Bus::setAnswered, this, &SiteMenu::setAnswered);
    connect(&window.sequences(), &SequenceEngine::ended, this, &SiteMenu::sequenceEnded);
    // After the band's own handler: a link that opened saves its settings into the site.
    for (const char* button : {"Button10", "Button32"})
        if (auto* b = window.findChild<QPushButton*>(QString::fromLatin1(button)))
            connect(b, &QPushButton::clicked, this, [this, button] { linkButtonClicked(button); });
    connect(&m_session, &SiteSession::changed, this, &SiteMenu::refreshActions);
    for (RecordGrid* grid : window.findChildren<RecordGrid*>())
        connect(grid, &RecordGrid::deletedAll, this, [this](const QString& table, int rows) {
            m_session.record(-1, QStringLiteral("delete-all"),
                             QStringLiteral("Delete All on %1, %2 row(s)").arg(table).arg(rows),
                             HistoryEntry::ok());
        });
}

void SiteMenu::menusMade(RecordsMenu& fileMenu, ToolsMenu& tools, ReportDialog* report) {
    QMenu* menu = fileMenu.menu();
    QAction* first = menu->actions().value(0);
    m_siteOnly.clear();
    struct Item {
        const char* name;
        const char* caption;
        void (SiteMenu::*handler)();
        bool siteOnly;
    };
    for (const Item& item : {Item{"NewSite", "New Site…", &SiteMenu::newSite, false},
                             Item{"OpenSite", "Open Site…", nullptr, false},
                             Item{"RecentSites", "Recent Sites", nullptr, false},
                             Item{"SiteDetails", "Site Details…", &SiteMenu::siteDetails, true},
                             Item{"MakeSite", "Make This Folder a Site…",
                                  &SiteMenu::makeThisFolderASite, false},
                             Item{"SiteHistory", "Site History…", &SiteMenu::siteHistory, true}}) {
        QAction* action = nullptr;
        if (QLatin1String(item.name) == QLatin1String("RecentSites")) {
            m_recent = new QMenu(QString::fromUtf8(item.caption), menu);
            m_recent->setObjectName(QStringLiteral("RecentSitesMenu"));
            action = m_recent->menuAction();
            menu->insertAction(first, action);
            connect(m_recent, &QMenu::aboutToShow, this, &SiteMenu::fillRecentMenu);
        } else {
            action = new QAction(QString::fromUtf8(item.caption), menu);
            menu->insertAction(first, action);
        }
        action->setObjectName(QString::fromLatin1(item.name));
        if (item.handler)
            connect(action, &QAction::triggered, this, item.handler);
        else if (QLatin1String(item.name) == QLatin1String("OpenSite"))
            connect(action, &QAction::triggered, this, [this] {
                const QString dir = m_chooseFolder(&m_window, QStringLiteral("Open Site"));
                if (!dir.isEmpty())
                    openSite(dir);
            });
        if (item.siteOnly)
            m_siteOnly << action;
    }
    menu->insertSeparator(first);
    fillRecentMenu();

    connect(&fileMenu, &RecordsMenu::imported, this,
            [this](const QString& detail, const QString& outcome) {
                m_session.record(-1, QStringLiteral("import"), detail, outcome);
            });
    connect(&fileMenu, &RecordsMenu::restored, this,
            [this](const QString& detail, const QString& outcome) {
                m_session.record(-1, QStringLiteral("restore"), detail, outcome);
            });
    connect(tools.pushDialog(), &PushDialog::pushEnded, this,
            [this](int module, bool complete, const QString& summary) {
                m_session.record(module, QStringLiteral("push"), summary,
                                 complete ? QStringLiteral("ok") : HistoryEntry::error(summary));
            });
    tools.scanDialog()->setSiteSession(&m_session);
    tools.walkTestDialog()->setSiteSession(&m_session);
    tools.replaceDialog()->setSiteSession(&m_session);
    m_report = report;
    refreshActions();
}

void SiteMenu::refreshActions() {
    for (QAction* a : std::as_const(m_siteOnly))
        if (a)
            a->setEnabled(m_session.isOpen());
    const SiteSettings& s = m_session.settings();
    m_window.linkPanel().setSiteName(m_session.isOpen() ? s.name : QString());
    QHash<int, QString> expectedTypes;
    if (m_session.isOpen())
        for (const ExpectedModule& m : s.modules)
            expectedTypes.insert(m.address, m.type);
    m_window.bus().moduleTypes().setExpected(expectedTypes);
    if (m_report && m_session.isOpen())
        m_report->setSite(m_session.site().dir(), s.name, s.technician);
}

QStringList SiteMenu::recentSites() {
    return userSettings().value(kRecentKey).toStringList();
}

void SiteMenu::fillRecentMenu() {
    if (!m_recent)
        return;
    m_recent->clear();
    const QStringList sites = recentSites();
    for (const QString& dir : sites) {
        QAction* a = m_recent->addAction(QDir::toNativeSeparators(dir));
        connect(a, &QAction::triggered, this, [this, dir] { openSite(dir); });
    }
    m_recent->setEnabled(!sites.isEmpty());
    m_recent->menuAction()->setEnabled(!sites.isEmpty());
}

void SiteMenu::remember(const QString& dir) {
    QSettings settings = userSettings();
    QStringList sites = settings.value(kRecentKey).toStringList();
    sites.removeAll(dir);
    sites.prepend(dir);
    settings.setValue(kRecentKey, sites.mid(0, kRecentCount));
    // The menu entry starts the site opened last from it.
    const QString lastSite = qEnvironmentVariable("VELM_LAST_SITE_FILE");
    if (!lastSite.isEmpty()) {
        QFile f(lastSite);
        if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            f.write(QFile::encodeName(dir) + '\n');
    }
}

void SiteMenu::closeLinks() {
    // As at start-up: no link open. Each button closes its own link as a click would.
    if (auto* b = m_window.findChild<QPushButton*>(QStringLiteral("Button10"));
        b && b->text() == QLatin1String("Close"))
        m_window.linkPanel().Button10Click();
    if (auto* b = m_window.findChild<QPushButton*>(QStringLiteral("Button32"));
        b && b->text() == QLatin1String("Close"))
        m_window.linkPanel().Button32Click();
}

void SiteMenu::adopt(const SiteFolder& site) {
    m_session.setSite(site);
    siteband::fill(&m_window, site.settings());
    remember(site.dir());
}

void SiteMenu::startIn(const SiteFolder& site) {
    adopt(site);
}

bool SiteMenu::openSite(const QString& dir) {
    if (m_window.busy()) {
        m_prompts.message(QStringLiteral("A sequence or job is running"),
                          QStringLiteral("Open the site once it has ended."));
        return false;
    }
    SiteFolder site;
    try {
        site = SiteFolder::open(dir);
    } catch (const RecordError& e) {
        m_prompts.message(QStringLiteral("Can not open the site"), errorText(e));
        return false;
    }
    closeLinks();
    m_window.useRecordFile(site.recordFile());
    adopt(site);
    return true;
}

void SiteMenu::newSite() {
    if (m_window.busy()) {
        m_prompts.message(QStringLiteral("A sequence or job is running"),
                          QStringLiteral("Make the site once it has ended."));
        return;
    }
    const QString dir =
        m_chooseFolder(&m_window, QStringLiteral("New Site: choose a new or empty folder"));
    if (dir.isEmpty())
        return;
    SiteSettings settings;
    settings.name = QFileInfo(dir).fileName();
    siteband::take(&m_window, settings);
    SiteDialog dialog(QStringLiteral("New Site"), dir, settings, &m_window);
    if (dialog.exec() != QDialog::Accepted)
        return;
    settings = dialog.settings();
    siteband::take(&m_window, settings);
    try {
        SiteFolder::create(dir, settings);
    } catch (const RecordError& e) {
        m_prompts.message(QStringLiteral("Can not make the site"), errorText(e));
        return;
    }
    openSite(dir);
}

void SiteMenu::makeThisFolderASite() {
    const QString dir = QFileInfo(m_window.recordFile()).absolutePath();
    if (SiteFolder::isSite(dir)) {
        m_prompts.message(QStringLiteral("This folder is a site already"),
                          QDir::toNativeSeparators(dir));
        return;
    }
    SiteSettings settings;
    settings.name = QFileInfo(dir).fileName();
    siteband::take(&m_window, settings);
    SiteDialog dialog(QStringLiteral("Make This Folder a Site"), dir, settings, &m_window);
    if (dialog.exec() != QDialog::Accepted)
        return;
    settings = dialog.settings();
    siteband::take(&m_window, settings);
    try {
        adopt(SiteFolder::adopt(dir, settings));
    } catch (const RecordError& e) {
        m_prompts.message(QStringLiteral("Can not make this folder a site"), errorText(e));
    }
}

void SiteMenu::siteDetails() {
    if (!m_session.isOpen())
        return;
    SiteDialog dialog(QStringLiteral("Site Details"), m_session.site().dir(), m_session.settings(),
                      &m_window);
    if (dialog.exec() != QDialog::Accepted)
        return;
    SiteSettings settings = dialog.settings();
    // A password remembered from now on is the band's.
    siteband::take(&m_window, settings);
    QString error;
    if (!m_session.save(settings, &error))
        m_prompts.message(QStringLiteral("Can not write the site"), error);
}

void SiteMenu::siteHistory() {
    if (!m_session.isOpen())
        return;
    if (!m_history)
        m_history = new SiteHistoryDialog(m_session.site().historyFile(), &m_window);
    m_history->reload();
    m_history->show();
    m_history->raise();
    m_history->activateWindow();
}

void SiteMenu::linkButtonClicked(const char* button) {
    auto* b = m_window.findChild<QPushButton*>(QString::fromLatin1(button));
    if (!m_session.isOpen() || !b || b->text() != QLatin1String("Close"))
        return;
    SiteSettings settings = m_session.settings();
    siteband::take(&m_window, settings);
    // The link that opened is the one the band's mode uses next time.
    settings.link.network = QLatin1String(button) == QLatin1String("Button32");
    QString error;
    if (!m_session.save(settings, &error))
        m_prompts.message(QStringLiteral("Can not write the site"), error);
}

void SiteMenu::setAnswered(const Reply& reply) {
    const quint8 command = reply[4] & 0x7F;
    const operations::Operation* op =
        operations::findReply(command, reply[5], reply.busSwitchReply);
    const QString what =
        op ? QString::fromLatin1(op->name)
           : QStringLiteral("command %1 %2").arg(command, 2, 16, QLatin1Char('0')).arg(reply[5], 2, 16, QLatin1Char('0'));
    m_session.record(reply[3], QStringLiteral("set"), what,
                     reply[6] == 1 ? HistoryEntry::ok()
                                   : HistoryEntry::error(frames::statusText(reply[6])));
}

void SiteMenu::sequenceEnded(const SequenceResult& r) {
    const SequenceSpec& steps = sequenceSpec(r.kind);
    const bool deleting = steps.deleting;
    QString outcome = HistoryEntry::ok();
    switch (r.end) {
    case SequenceEnd::Finished:
        break;
    case SequenceEnd::Cancelled:
        outcome = HistoryEntry::error(QStringLiteral("cancelled at %1 %2").arg(
            QLatin1String(steps.record)).arg(r.step));
        break;
    case SequenceEnd::TimedOut:
        outcome = HistoryEntry::error(QStringLiteral("Timeout！ at %1 %2").arg(
            QLatin1String(steps.record)).arg(r.step));
        break;
    case SequenceEnd::Refused:
        outcome = HistoryEntry::error(frames::statusText(r.status));
        break;
    }
    m_session.record(r.module, deleting ? QStringLiteral("delete-all") : QStringLiteral("read-all"),
                     QStringLiteral("%1 (%2), %3 row(s)")
                         .arg(QLatin1String(steps.record), QLatin1String(steps.recordTable))
                         .arg(r.rows),
                     outcome);
}

#include "moc_site_menu.cpp"

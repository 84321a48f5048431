#pragma once

#include "app/site_session.h"

#include <QObject>
#include <QPointer>

#include <functional>

class PromptService;
class QMenu;
class RecordsMenu;
class ReportDialog;
class SiteHistoryDialog;
class TForm1;
class ToolsMenu;
struct Reply;
struct SequenceResult;

// The site items of the File menu: "New Site…", "Open Site…", "Recent Sites", "Site
// Details…", "Make This Folder a Site…" and "Site History…". Opening a site makes the window
// what it is when started there: the six tables from the site's record file, the band from
// its site.json, the link state naming it. A link that opens saves its settings into the
// site, and what the window does to the modules and records goes into its history.
class SiteMenu : public QObject {
    Q_OBJECT
public:
    // The folder dialog; tests put their own in place. Empty: cancelled.
    using ChooseFolder = std::function<QString(QWidget* parent, const QString& caption)>;

    SiteMenu(TForm1& window, PromptService& prompts);

    SiteSession& session() { return m_session; }
    void setChooseFolder(ChooseFolder choose) { m_chooseFolder = std::move(choose); }

    // The menus were made (again) for a record file: the site items go on top of the File
    // menu, and the new menus' dialogs report to the history.
    void menusMade(RecordsMenu& fileMenu, ToolsMenu& tools, ReportDialog* report);
    // The window was started in the site (--site-dir): its tables are the site's already.
    void startIn(const SiteFolder& site);

    // False, with a box saying why, when a sequence or job runs or the folder is no site.
    bool openSite(const QString& dir);
    void newSite();
    void makeThisFolderASite();
    void siteDetails();
    void siteHistory();

    static QStringList recentSites();

private:
    void adopt(const SiteFolder& site);
    void remember(const QString& dir);
    void fillRecentMenu();
    void refreshActions();
    void closeLinks();
    void linkButtonClicked(const char* button);
    void setAnswered(const Reply& reply);
    void sequenceEnded(const SequenceResult& result);

    TForm1& m_window;
    PromptService& m_prompts;
    SiteSession m_session;
    ChooseFolder m_chooseFolder;
    QPointer<QMenu> m_recent;
    QPointer<ReportDialog> m_report;
    QPointer<SiteHistoryDialog> m_history;
    QList<QPointer<QAction>> m_siteOnly; // enabled while a site is open
};

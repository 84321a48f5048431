#pragma once

#include "jobs/site_scan.h"

#include <QObject>

class PromptService;
class QLabel;
class QPushButton;
class QTableWidget;
class SiteSession;

// The scan dialog's rows held against the open site: a "Site" column (expected, expected
// type ..., expected but silent, not expected) with the site's name and room, the silent
// modules added at the end of a scan, and "Add to Site" ("ScanAddToSite"), which takes the
// modules that answered into the site's list. Without a site the dialog stays as it is.
class SiteScanView : public QObject {
    Q_OBJECT
public:
    SiteScanView(QTableWidget* table, QPushButton* addToSite, QLabel* summary,
                 PromptService& prompts, QObject* parent);

    void setSession(SiteSession* session);
    // Whether the rows are held against a site in this scan.
    bool active() const { return m_active; }

    // A scan starts: the columns it shows.
    QStringList columns(const QStringList& scanColumns);
    // One row (the scan's own cells filled) of the module that answered.
    void markRow(int row, const ScanHit& hit);
    // The scan ended: the expected modules that stayed silent get their rows.
    void scanEnded(const QList<ScanHit>& hits, const QList<int>& asked);

private:
    void addToSite();
    void setMark(int row, const SiteScanRow& mark);

    QTableWidget* m_table;
    QPushButton* m_addToSite;
    QLabel* m_summary;
    PromptService& m_prompts;
    SiteSession* m_session = nullptr;
    bool m_active = false;
    int m_firstColumn = 0;
    QList<ScanHit> m_hits;
};

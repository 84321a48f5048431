#pragma once

#include "records/site_folder.h"

#include <QObject>

// The site the window works on, if any, for the whole run: its folder and settings, and the
// one place the window writes its history. Without a site it does nothing.
class SiteSession : public QObject {
    Q_OBJECT
public:
    explicit SiteSession(QObject* parent = nullptr) : QObject(parent) {}

    bool isOpen() const { return !m_site.isNull(); }
    const SiteFolder& site() const { return m_site; }
    const SiteSettings& settings() const { return m_site.settings(); }

    void setSite(const SiteFolder& site);
    // Writes these settings into the open site's site.json; false (with `error`) when it
    // could not be written, and the site keeps what it had.
    bool save(const SiteSettings& settings, QString* error = nullptr);

    // One line in the open site's history: an action that changed a module (-1: none, only
    // the records) or the records, and its outcome ("ok", "error: ..."). Every action of
    // the window that does so comes through here. False when it could not be written.
    bool record(int module, const QString& action, const QString& detail,
                const QString& outcome);

signals:
    void changed();

private:
    SiteFolder m_site;
};

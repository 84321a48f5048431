#include "app/site_session.h"

#include "records/record_table.h"
#include "records/site_history.h"

void SiteSession::setSite(const SiteFolder& site) {
    m_site = site;
    emit changed();
}

bool SiteSession::save(const SiteSettings& settings, QString* error) {
    if (!isOpen())
        return false;
    SiteFolder next(m_site.dir(), settings);
    try {
        next.save();
    } catch (const RecordError& e) {
        if (error)
            *error = QString::fromStdString(e.what());
        return false;
    }
    m_site = next;
    emit changed();
    return true;
}

bool SiteSession::record(int module, const QString& action, const QString& detail,
                         const QString& outcome) {
    if (!isOpen())
        return false;
    HistoryEntry e;
    e.time = QDateTime::currentDateTime();
    e.technician = m_site.settings().technician;
    e.program = QStringLiteral("window");
    e.module = module;
    e.action = action;
    e.detail = detail;
    e.outcome = outcome;
    return site_history::append(m_site.historyFile(), e);
}

#include "moc_site_session.cpp"

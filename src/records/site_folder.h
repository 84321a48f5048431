#pragma once

#include "records/site_settings.h"

#include <QString>

// A site is a folder: its record file VELM.mdb, site.json (the installation, its link and
// its modules) and history.jsonl (what was done to it). Without one the tool works on the
// record file it was given, as always.
class SiteFolder {
public:
    static constexpr const char* kSiteFile = "site.json";
    static constexpr const char* kRecordFile = "VELM.mdb";
    static constexpr const char* kHistoryFile = "history.jsonl";

    SiteFolder() = default;
    // The folder's files, with settings of its own (nothing is read or written).
    explicit SiteFolder(const QString& dir, const SiteSettings& settings = {});
    // Reads DIR/site.json. Throws RecordError naming the file: none there, not readable,
    // or what is wrong in it.
    static SiteFolder open(const QString& dir);
    // Whether DIR holds a site.json.
    static bool isSite(const QString& dir);
    // Makes DIR (and the folders above it) a new site: a record file as velm-initdb makes it
    // and site.json. Refuses a folder that already holds either. Throws RecordError; a
    // failure leaves no record file behind.
    static SiteFolder create(const QString& dir, const SiteSettings& settings);
    // Makes a folder that already holds its record file a site: writes only site.json.
    static SiteFolder adopt(const QString& dir, const SiteSettings& settings);

    bool isNull() const { return m_dir.isEmpty(); }
    QString dir() const { return m_dir; }
    QString siteFile() const;
    QString recordFile() const;
    QString historyFile() const;

    SiteSettings& settings() { return m_settings; }
    const SiteSettings& settings() const { return m_settings; }
    // Writes site.json whole (a temporary file renamed over it). With the password in it,
    // the file is readable by its owner alone before the password is written. Throws
    // RecordError.
    void save() const;

private:
    QString m_dir; // absolute, clean
    SiteSettings m_settings;
};

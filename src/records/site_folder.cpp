#include "records/site_folder.h"

#include "records/database_file.h"
#include "records/record_table.h"
#include "records/schema.h"
#include "records/whole_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {
QString inFolder(const QString& dir, const char* name) {
    return QDir(dir).filePath(QString::fromLatin1(name));
}

QString cleanDir(const QString& dir) {
    return QDir::cleanPath(QFileInfo(dir).absoluteFilePath());
}

// Owner read and write only: the file may hold the gateway password.
constexpr int kPrivateMode = 0600;
} // namespace

SiteFolder::SiteFolder(const QString& dir, const SiteSettings& settings)
    : m_dir(cleanDir(dir)), m_settings(settings) {}

QString SiteFolder::siteFile() const {
    return inFolder(m_dir, kSiteFile);
}
QString SiteFolder::recordFile() const {
    return inFolder(m_dir, kRecordFile);
}
QString SiteFolder::historyFile() const {
    return inFolder(m_dir, kHistoryFile);
}

bool SiteFolder::isSite(const QString& dir) {
    return QFileInfo(inFolder(dir, kSiteFile)).isFile();
}

SiteFolder SiteFolder::open(const QString& dir) {
    const QString file = inFolder(cleanDir(dir), kSiteFile);
    if (!QFileInfo(dir).isDir())
        throw RecordError(
            QStringLiteral("%1 is not a folder").arg(database_file::shown(cleanDir(dir))));
    QFile f(file);
    if (!QFileInfo(file).exists())
        throw RecordError(QStringLiteral("%1 is not a site: it holds no %2")
                              .arg(database_file::shown(cleanDir(dir)), QLatin1String(kSiteFile)));
    if (!f.open(QIODevice::ReadOnly))
        throw RecordError(
            QStringLiteral("Can not read %1: %2").arg(database_file::shown(file), f.errorString()));
    try {
        return SiteFolder(dir, SiteSettings::fromJson(f.readAll()));
    } catch (const RecordError& e) {
        throw RecordError(QStringLiteral("%1: %2").arg(database_file::shown(file),
                                                       QString::fromStdString(e.what())));
    }
}

SiteFolder SiteFolder::create(const QString& dir, const SiteSettings& settings) {
    const SiteFolder site(dir, settings);
    if (QFileInfo::exists(site.siteFile()))
        throw RecordError(
            QStringLiteral("%1 is a site already").arg(database_file::shown(site.m_dir)));
    if (QFileInfo::exists(site.recordFile()) || QFileInfo(site.recordFile()).isSymLink())
        throw RecordError(QStringLiteral("%1 already exists: make that folder a site instead")
                              .arg(database_file::shown(site.recordFile())));
    if (!QDir().mkpath(site.m_dir))
        throw RecordError(
            QStringLiteral("Can not make the folder %1").arg(database_file::shown(site.m_dir)));
    schema::createDatabase(site.recordFile());
    try {
        site.save();
    } catch (const RecordError&) {
        // Half a site is none: the folder stays as it was found.
        QFile::remove(site.recordFile());
        throw;
    }
    return site;
}

SiteFolder SiteFolder::adopt(const QString& dir, const SiteSettings& settings) {
    const SiteFolder site(dir, settings);
    if (QFileInfo::exists(site.siteFile()))
        throw RecordError(
            QStringLiteral("%1 is a site already").arg(database_file::shown(site.m_dir)));
    database_file::checkReadable(site.recordFile());
    site.save();
    return site;
}

void SiteFolder::save() const {
    WholeFile::save({siteFile()}, {m_settings.toJson()},
                    m_settings.rememberPassword ? kPrivateMode : -1);
}

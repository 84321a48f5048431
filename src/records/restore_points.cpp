#include "records/restore_points.h"

#include "records/database_file.h"
#include "records/record_table.h"
#include "records/records_backup.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>
#include <optional>

namespace restore_points {

namespace {

// "VELM.mdb.backup-20140818-093000", then "-ACTION" (words that start with a letter), then
// "-2" for a second one in the same second. A journal beside a backup is no backup.
std::optional<Backup> parse(const QFileInfo& database, const QFileInfo& file) {
    static const QRegularExpression pattern(QStringLiteral(
        "^\\.backup-(\\d{8}-\\d{6})(?:-([a-z][a-z0-9]*(?:-[a-z][a-z0-9]*)*))?(?:-(\\d+))?$"));
    const QString lead = database.fileName();
    const QString name = file.fileName();
    if (!name.startsWith(lead) || !file.isFile())
        return std::nullopt;
    const QRegularExpressionMatch m = pattern.match(QStringView(name).mid(lead.size()));
    if (!m.hasMatch() || m.captured(2).endsWith(QLatin1String("journal")))
        return std::nullopt;
    Backup b;
    b.path = file.absoluteFilePath();
    b.name = name;
    b.time = QDateTime::fromString(m.captured(1), QStringLiteral("yyyyMMdd-HHmmss"));
    if (!b.time.isValid())
        return std::nullopt;
    b.action = m.captured(2);
    b.sequence = m.captured(3).isEmpty() ? 1 : m.captured(3).toInt();
    b.size = file.size();
    b.written = file.lastModified();
    return b;
}

bool newerFirst(const Backup& a, const Backup& b) {
    if (a.time != b.time)
        return a.time > b.time;
    if (a.written != b.written)
        return a.written > b.written;
    return a.sequence > b.sequence;
}

QString failed(const QString& action, const RecordError& e) {
    return QStringLiteral("Can not make a restore point before %1: %2")
        .arg(action, QString::fromStdString(e.what()));
}

} // namespace

QString actionName(const QString& words) {
    static const QRegularExpression gaps(QStringLiteral("[^a-z0-9]+"));
    QString name = words.toLower();
    name.replace(gaps, QStringLiteral("-"));
    while (name.startsWith(QLatin1Char('-')))
        name.remove(0, 1);
    while (name.endsWith(QLatin1Char('-')))
        name.chop(1);
    return name;
}

QString make(const QString& databaseFile, const QString& action, const QDateTime& when) {
    const QString name = actionName(action);
    QString path;
    try {
        path = records_backup::backUp(databaseFile, when, name);
    } catch (const RecordError& e) {
        throw RecordError(failed(name, e));
    }
    prune(databaseFile);
    return path;
}

QString beforeWriting(const RecordTable& table, const QString& action) {
    if (!table.isOpen() || table.isReadOnly())
        return QString();
    return make(table.databaseFile(), action);
}

QList<Backup> list(const QString& databaseFile, bool withRows) {
    const QFileInfo database(databaseFile);
    QList<Backup> out;
    const QFileInfoList files = database.absoluteDir().entryInfoList(
        {database.fileName() + QStringLiteral(".backup-*")}, QDir::Files | QDir::Hidden);
    for (const QFileInfo& file : files) {
        std::optional<Backup> b = parse(database, file);
        if (!b)
            continue;
        if (withRows) {
            try {
                b->rows = records_backup::rowCounts(b->path);
            } catch (const RecordError& e) {
                b->problem = QString::fromStdString(e.what());
            }
        }
        out << *b;
    }
    std::sort(out.begin(), out.end(), newerFirst);
    return out;
}

qint64 folderSize(const QString& databaseFile) {
    qint64 total = 0;
    const QFileInfoList files =
        QFileInfo(databaseFile).absoluteDir().entryInfoList(QDir::Files | QDir::Hidden);
    for (const QFileInfo& f : files)
        total += f.size();
    return total;
}

int prune(const QString& databaseFile, int keep) {
    int kept = 0;
    int removed = 0;
    for (const Backup& b : list(databaseFile, false)) {
        if (!b.isRestorePoint())
            continue;
        if (kept < keep) {
            ++kept;
            continue;
        }
        if (QFile::remove(b.path))
            ++removed;
    }
    return removed;
}

QString restore(const QString& databaseFile, const QString& name, const QDateTime& when) {
    const QFileInfo database(databaseFile);
    const QString path = database.absoluteDir().filePath(name);
    // Only a backup of this file, by its bare name: never a path that leads elsewhere.
    if (name.contains(QLatin1Char('/')) || name.contains(QLatin1Char('\\')) ||
        !parse(database, QFileInfo(path)))
        throw RecordError(
            QStringLiteral("%1 is no backup of %2").arg(name, database_file::shown(databaseFile)));
    // A backup that cannot be restored is refused before the restore point is made.
    records_backup::rowCounts(path);
    QString point;
    try {
        point = records_backup::backUp(databaseFile, when, QStringLiteral("restore"));
    } catch (const RecordError& e) {
        throw RecordError(failed(QStringLiteral("restore"), e));
    }
    records_backup::restoreInto(path, databaseFile);
    // Pruned only now: the backup restored may have been the oldest restore point kept.
    prune(databaseFile);
    return point;
}

} // namespace restore_points

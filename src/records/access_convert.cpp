#include "records/access_convert.h"

#include "platform/file_system.h"

#include "records/access_record_file.h"
#include "records/database_file.h"
#include "records/record_table.h"
#include "records/records_backup.h"
#include "records/schema.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstdio>
#include <filesystem>
#include <system_error>

namespace access_convert {

namespace {

// Everything named after the part: the part itself, its journal, the temporary files its
// making and its import's backup write beside it.
void removeConvertPart(const QString& part) {
    const QFileInfo info(part);
    const QDir folder = info.absoluteDir();
    for (const QString& name :
         folder.entryList({info.fileName() + u'*'}, QDir::Files | QDir::Hidden | QDir::System)) {
        const QString f = folder.filePath(name);
        if (!QFile::remove(f))
            throw RecordError(
                QStringLiteral("%1, left by a convert that was cut short, can not be removed")
                    .arg(database_file::shown(f)));
    }
}

// The Access file under its second name as well: a hard link where the disk has them, so
// that not a byte of it is written; a copy elsewhere.
void keepUnderSecondName(const QString& file, const QString& kept) {
    std::error_code error;
    std::filesystem::create_hard_link(QFile::encodeName(file).toStdString(),
                                      QFile::encodeName(kept).toStdString(), error);
    if (!error)
        return;
    if (!QFile::copy(file, kept))
        throw RecordError(QStringLiteral("Can not keep %1 as %2")
                              .arg(database_file::shown(file), database_file::shown(kept)));
}

// Puts the new record file in place of the Access file in one step. POSIX rename() replaces
// an existing target atomically; Windows' does not (it fails while VELM.mdb exists), so the
// Windows build needs the platform's replacing rename here: this is the only place that does it.
SystemError replaceFile(const QString& from, const QString& to) {
    const SystemError error = file_system::replace(from, to);
    if (!error)
        file_system::syncFolderOf(to);
    return error;
}

} // namespace

QString partPath(const QString& file) {
    return QFileInfo(file).absoluteFilePath() + QStringLiteral(".convert-part");
}

QString keptPath(const QString& file, const QDateTime& when) {
    const QFileInfo info(file);
    return records_backup::stampedPath(info.absolutePath(),
                                       info.completeBaseName() + QStringLiteral(".access-"), when,
                                       QStringLiteral(".mdb"));
}

Result convert(const QString& file, const QDateTime& when) {
    const QString shown = database_file::shown(file);
    if (AccessRecordFile::formatOf(file) == AccessRecordFile::Format::NotAccess &&
        database_file::readProblem(file).isEmpty())
        throw RecordError(
            QStringLiteral("%1 is a record file already (not in the Access format)").arg(shown));
    Result result{QString(), ImportSource::fromAccess(AccessRecordFile::read(file), shown), {}};
    if (const QString why = database_file::folderWriteProblem(QFileInfo(file).absolutePath());
        !why.isEmpty())
        throw RecordError(QStringLiteral("Can not convert %1: %2").arg(shown, why));

    const QString part = partPath(file);
    removeConvertPart(part);
    try {
        schema::createDatabase(part);
        result.outcome =
            import_source::run(result.source, part, result.source.options({}, false), when, file);
        // The new file starts from nothing: its backup holds nothing worth keeping.
        QFile::remove(result.outcome.result.backup);
        result.outcome.result.backup.clear();
        result.kept = keptPath(file, when);
        keepUnderSecondName(file, result.kept);
    } catch (const RecordError&) {
        QFile::remove(part);
        throw;
    }
    SystemError error;
    if (QFile::exists(part + QStringLiteral("-journal")))
        error = SystemError{SystemError::Cause::Other,
                            QStringLiteral("the new file holds an unfinished write")};
    else if (!(error = replaceFile(part, file)))
        return result;
    QFile::remove(result.kept);
    QFile::remove(part);
    if (!result.outcome.setAsideFile.isEmpty())
        QFile::remove(result.outcome.setAsideFile);
    throw RecordError(QStringLiteral("Can not put the new record file in place of %1: %2")
                          .arg(shown, database_file::writeError(error, file)));
}

} // namespace access_convert

#include "records/whole_file.h"

#include "platform/file_system.h"
#include "records/database_file.h"
#include "records/record_table.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUuid>

namespace {

// The temporary files of a target: its name, ".part-" and a random token.
const QString kPartMark = QStringLiteral(".part-");

// Where the bytes for `path` go: a symbolic link to a file is written through, so that the
// link stays.
QString writtenPath(const QString& path) {
    const QFileInfo info(path);
    return info.isSymLink() ? info.canonicalFilePath() : info.absoluteFilePath();
}

void removeLeftoverParts(const QString& target) {
    const QFileInfo info(target);
    const QDir dir = info.absoluteDir();
    const QString lead = info.fileName() + kPartMark;
    for (const QString& name : dir.entryList(QDir::Files | QDir::Hidden | QDir::System)) {
        if (name.startsWith(lead))
            QFile::remove(dir.filePath(name));
    }
}

} // namespace

WholeFile::~WholeFile() {
    discard();
}

void WholeFile::checkTarget(const QString& file) {
    const QString problem = database_file::targetProblem(file);
    if (!problem.isEmpty())
        throw RecordError(problem);
}

void WholeFile::open(const QString& target, int mode) {
    discard();
    checkTarget(target);
    m_target = target;
    m_final = writtenPath(target);
    removeLeftoverParts(m_final);
    const QString temp = m_final + kPartMark + QUuid::createUuid().toString(QUuid::Id128);
    qintptr handle = -1;
    if (const SystemError error = file_system::createNew(temp, m_final, mode, &handle))
        throw RecordError(database_file::writeError(error, m_target));
    m_temp = temp;
    m_handle = handle;
}

void WholeFile::write(const QByteArray& piece) {
    if (m_handle < 0)
        throw RecordError(QStringLiteral("%1 is not open").arg(database_file::shown(m_target)));
    if (const SystemError error =
            file_system::writePiece(m_handle, piece.constData(), piece.size()))
        fail(error);
}

void WholeFile::finish() {
    const qintptr handle = m_handle;
    m_handle = -1;
    if (const SystemError error = file_system::finishNew(handle))
        fail(error);
}

void WholeFile::replaceTarget() {
    if (const SystemError error = file_system::replace(m_temp, m_final))
        fail(error);
    m_temp.clear();
}

void WholeFile::commit() {
    finish();
    replaceTarget();
    file_system::syncFolderOf(m_final);
}

void WholeFile::fail(const SystemError& error) {
    discard();
    throw RecordError(database_file::writeError(error, m_target));
}

void WholeFile::discard() {
    if (!m_temp.isEmpty())
        file_system::discardNew(m_handle, m_temp);
    m_temp.clear();
    m_handle = -1;
}

void WholeFile::save(const QStringList& targets, const QList<QByteArray>& contents, int mode) {
    for (const QString& target : targets)
        checkTarget(target);
    std::vector<std::unique_ptr<WholeFile>> files;
    for (int i = 0; i < targets.size(); ++i) {
        files.push_back(std::make_unique<WholeFile>());
        files.back()->open(targets[i], mode);
        files.back()->write(contents[i]);
        files.back()->finish();
    }
    replaceAll(files);
}

void WholeFile::replaceAll(const std::vector<std::unique_ptr<WholeFile>>& files) {
    for (size_t i = 0; i < files.size(); ++i) {
        try {
            files[i]->replaceTarget();
        } catch (const RecordError& e) {
            if (i == 0)
                throw;
            throw RecordError(QStringLiteral("%1 (%2 of the %3 files were replaced before)")
                                  .arg(QString::fromStdString(e.what()))
                                  .arg(i)
                                  .arg(files.size()));
        }
    }
    if (!files.empty())
        file_system::syncFolderOf(files.front()->m_final);
}

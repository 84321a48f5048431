#include "records/database_file.h"

#include "platform/file_system.h"
#include "records/access_record_file.h"
#include "records/record_table.h"
#include "records/visible_text.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sqlite3.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace database_file {

namespace {

constexpr int kLongestName = 60;
constexpr qint64 kHeaderSize = 16;

using Cause = SystemError::Cause;

// The system's words, or what the cause says where a message has no words of its own for it.
QString systemText(const SystemError& error) {
    if (!error.text.isEmpty())
        return error.text;
    switch (error.cause) {
    case Cause::Denied:
        return QStringLiteral("permission denied");
    case Cause::InUse:
        return QStringLiteral("it is in use by another program");
    case Cause::LinkLoop:
        return QStringLiteral("a symbolic link loop");
    case Cause::Missing:
    case Cause::DanglingLink:
        return QStringLiteral("it does not exist");
    default:
        return QStringLiteral("the system refused it");
    }
}

// What stands at a path that is not a regular file, as a message names it.
QString kindOf(file_system::Kind kind) {
    switch (kind) {
    case file_system::Kind::Folder:
        return QStringLiteral("a folder");
    case file_system::Kind::Fifo:
        return QStringLiteral("a FIFO (named pipe)");
    case file_system::Kind::Device:
        return QStringLiteral("a device");
    case file_system::Kind::Socket:
        return QStringLiteral("a socket");
    default:
        return QStringLiteral("a special file");
    }
}

// Why nothing can be found at a path, or empty for a plain missing name, which is for the
// caller to judge.
QString lookProblem(const SystemError& error, const QString& file) {
    switch (error.cause) {
    case Cause::None:
    case Cause::Missing:
        return QString();
    case Cause::DanglingLink:
        return QStringLiteral("%1 is a symbolic link to a missing file").arg(file);
    case Cause::LinkLoop:
        return QStringLiteral("%1 is a symbolic link loop").arg(file);
    case Cause::Denied:
        return QStringLiteral("%1 can not be reached: permission denied").arg(file);
    case Cause::PathNotFolder:
    case Cause::NoFolder:
        return QStringLiteral("%1 does not exist: a part of its path is not a folder").arg(file);
    default:
        return QStringLiteral("%1: %2").arg(file, error.text);
    }
}

} // namespace

QString shown(const QString& path) {
    return QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
}

QString shortName(const QString& name) {
    if (name.size() <= kLongestName)
        return name;
    // Never between the two halves of a character outside the basic plane.
    const int cut = name.at(kLongestName - 1).isHighSurrogate() ? kLongestName - 1 : kLongestName;
    return name.left(cut) + u'…';
}

QString shortenQuoted(const QString& message) {
    QString out;
    qsizetype from = 0;
    while (from < message.size()) {
        const qsizetype open = message.indexOf(u'"', from);
        const qsizetype close = open < 0 ? -1 : message.indexOf(u'"', open + 1);
        if (close < 0)
            break;
        out += QStringView(message).mid(from, open + 1 - from);
        out += shortName(message.mid(open + 1, close - open - 1));
        out += u'"';
        from = close + 1;
    }
    out += QStringView(message).mid(from);
    return visible_text::escaped(out);
}

namespace {

// One file opened through SQLite's default file layer, read-only.
class SqliteFile {
public:
    explicit SqliteFile(const QString& path) : m_vfs(sqlite3_vfs_find(nullptr)) {
        if (!m_vfs) {
            m_error = ENOSYS;
            return;
        }
        m_file = static_cast<sqlite3_file*>(sqlite3_malloc(m_vfs->szOsFile));
        if (!m_file) {
            m_error = ENOMEM;
            return;
        }
        std::memset(m_file, 0, m_vfs->szOsFile);
        const QByteArray name = QFile::encodeName(QFileInfo(path).absoluteFilePath());
        int flags = 0;
        if (m_vfs->xOpen(m_vfs, name.constData(), m_file,
                         SQLITE_OPEN_READONLY | SQLITE_OPEN_MAIN_DB, &flags) != SQLITE_OK) {
            m_error = lastError();
            // A failed open leaves nothing to close.
            sqlite3_free(m_file);
            m_file = nullptr;
        }
    }
    ~SqliteFile() {
        if (!m_file)
            return;
        if (m_file->pMethods)
            m_file->pMethods->xClose(m_file);
        sqlite3_free(m_file);
    }
    SqliteFile(const SqliteFile&) = delete;
    SqliteFile& operator=(const SqliteFile&) = delete;

    bool isOpen() const { return m_file != nullptr; }
    int error() const { return m_error; }

    // Up to `length` bytes from the start (-1: all of it); false with error() set on failure.
    bool read(qint64 length, QByteArray* out) {
        sqlite3_int64 size = 0;
        if (m_file->pMethods->xFileSize(m_file, &size) != SQLITE_OK) {
            m_error = lastError();
            return false;
        }
        if (length < 0 || length > size)
            length = size;
        out->resize(length);
        // The file layer fills a short read with zeros: the size read above bounds it.
        if (length > 0 &&
            m_file->pMethods->xRead(m_file, out->data(), int(length), 0) != SQLITE_OK) {
            m_error = lastError();
            return false;
        }
        return true;
    }

    // The whole file, a block at a time.
    bool readAll(const std::function<void(QByteArrayView)>& take) {
        sqlite3_int64 size = 0;
        if (m_file->pMethods->xFileSize(m_file, &size) != SQLITE_OK) {
            m_error = lastError();
            return false;
        }
        constexpr int kBlock = 1 << 20;
        QByteArray block(kBlock, Qt::Uninitialized);
        for (sqlite3_int64 at = 0; at < size; at += kBlock) {
            const int length = int(std::min<sqlite3_int64>(kBlock, size - at));
            if (m_file->pMethods->xRead(m_file, block.data(), length, at) != SQLITE_OK) {
                m_error = lastError();
                return false;
            }
            take(QByteArrayView(block.constData(), length));
        }
        return true;
    }

private:
    int lastError() const {
        // The default file layer on this system answers with the errno of the failed call.
        const int error = m_vfs->xGetLastError ? m_vfs->xGetLastError(m_vfs, 0, nullptr) : 0;
        return error != 0 ? error : EIO;
    }

    sqlite3_vfs* m_vfs;
    sqlite3_file* m_file = nullptr;
    int m_error = 0;
};

QString unreadable(const QString& file, int error) {
    if (error == EACCES || error == EPERM)
        return QStringLiteral("%1 can not be read: permission denied").arg(file);
    return QStringLiteral("%1 can not be read: %2").arg(file, qt_error_string(error));
}

// Whether `path` is a regular file; `error` says what stands there otherwise.
bool isRegularFile(const QString& path, QString* error) {
    const QString file = shown(path);
    const file_system::PathInfo info = file_system::look(path);
    if (info.kind == file_system::Kind::Missing) {
        const QString problem = lookProblem(info.error, file);
        *error = problem.isEmpty() ? QStringLiteral("%1 does not exist").arg(file) : problem;
        return false;
    }
    if (info.kind != file_system::Kind::File) {
        *error =
            QStringLiteral("%1 is %2, not a record database file").arg(file, kindOf(info.kind));
        return false;
    }
    return true;
}

} // namespace

QByteArray readBytes(const QString& path, qint64 length, QString* error) {
    SqliteFile file(path);
    QByteArray bytes;
    if (!file.isOpen() || !file.read(length, &bytes)) {
        if (error)
            *error = unreadable(shown(path), file.error());
        return QByteArray();
    }
    return bytes;
}

bool readBlocks(const QString& path, const std::function<void(QByteArrayView)>& take,
                QString* error) {
    SqliteFile file(path);
    if (!file.isOpen() || !file.readAll(take)) {
        if (error)
            *error = unreadable(shown(path), file.error());
        return false;
    }
    return true;
}

FileKind fileKind(const QString& path, QString* error) {
    QString why;
    // Never opened unless it is a file: a FIFO would wait for a writer.
    if (!isRegularFile(path, &why)) {
        if (error)
            *error = why;
        return FileKind::Unreadable;
    }
    const QByteArray header = readBytes(path, 100, &why);
    if (!why.isEmpty()) {
        if (error)
            *error = why;
        return FileKind::Unreadable;
    }
    if (header.isEmpty())
        return FileKind::Empty;
    if (header.size() >= 20 && header.startsWith(QByteArray("SQLite format 3\0", 16)))
        return header[18] == 2 && header[19] == 2 ? FileKind::SqliteWal : FileKind::Sqlite;
    if (header.size() >= 19 &&
        (header.mid(4, 15) == "Standard Jet DB" || header.mid(4, 15) == "Standard ACE DB"))
        return FileKind::Access;
    return FileKind::Other;
}

QString readProblem(const QString& path) {
    const QString file = shown(path);
    QString error;
    switch (fileKind(path, &error)) {
    case FileKind::Unreadable:
        return error;
    // SQLite takes an empty file for an empty database; the tool never makes one.
    case FileKind::Empty:
        return QStringLiteral("%1 is empty: velm-initdb FILE makes a record database").arg(file);
    case FileKind::Sqlite:
    case FileKind::SqliteWal:
        return QString();
    case FileKind::Access:
        return AccessRecordFile::whatItIs(
            file, AccessRecordFile::formatOfHeader(readBytes(path, 32, nullptr)));
    case FileKind::Other:
        break;
    }
    return QStringLiteral("%1 is not a record database (not an SQLite file)").arg(file);
}

void checkReadable(const QString& path) {
    const QString problem = readProblem(path);
    if (!problem.isEmpty())
        throw RecordError(problem);
}

QString writeProblem(const QString& path) {
    const QString file = shown(path);
    if (const SystemError error = file_system::writable(path))
        return error.cause == Cause::ReadOnlyDisk
                   ? QStringLiteral("%1 can not be written: the disk is read-only").arg(file)
                   : QStringLiteral("%1 is read-only").arg(file);
    // Each commit writes a journal beside the file first.
    if (const SystemError folder = file_system::writable(QFileInfo(path).absolutePath()))
        return folder.cause == Cause::ReadOnlyDisk
                   ? QStringLiteral("the folder of %1 can not be written: the disk is read-only")
                         .arg(file)
                   : QStringLiteral("the folder of %1 is read-only").arg(file);
    return QString();
}

QString folderWriteProblem(const QString& folder) {
    const SystemError error = file_system::writable(folder);
    if (!error)
        return QString();
    return error.cause == Cause::ReadOnlyDisk
               ? QStringLiteral("its folder can not be written: the disk is read-only")
               : QStringLiteral("its folder is read-only");
}

QString targetProblem(const QString& path) {
    const QString file = shown(path);
    const file_system::PathInfo info = file_system::look(path);
    if (info.kind == file_system::Kind::Missing)
        return lookProblem(info.error, file);
    if (info.kind != file_system::Kind::File)
        return QStringLiteral("%1 is %2, not a file").arg(file, kindOf(info.kind));
    if (info.writeProtected)
        return QStringLiteral("%1 is write-protected (no write permission): not replaced")
            .arg(file);
    return QString();
}

void rollBackLeftoverJournal(const QString& path) {
    const QFileInfo info(path);
    if (!QFileInfo::exists(path + QStringLiteral("-journal")) || !info.isFile() ||
        !info.isWritable() || !QFileInfo(info.absolutePath()).isWritable())
        return;
    sqlite3* db = nullptr;
    // No busy timeout: a journal another program is writing is live, not left over.
    if (sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READWRITE, nullptr) ==
        SQLITE_OK)
        sqlite3_exec(db, "PRAGMA schema_version", nullptr, nullptr, nullptr);
    sqlite3_close(db);
}

QString unfinishedWrite(const QString& path) {
    return QStringLiteral("%1 has an unfinished write (%2): open it once with write permission to "
                          "roll it back")
        .arg(shown(path), shown(path + QStringLiteral("-journal")));
}

bool isUnfinishedWrite(int sqliteCode) {
    return sqliteCode == SQLITE_READONLY_ROLLBACK;
}

QString diskFull(const QString& path) {
    return QStringLiteral("disk full: no room for %1 (free some space and try again)")
        .arg(shown(path));
}

QString writeError(const SystemError& error, const QString& path) {
    const QString file = shown(path);
    switch (error.cause) {
    case Cause::DiskFull:
        return diskFull(path);
    case Cause::Denied:
        return QStringLiteral("%1 can not be written: permission denied").arg(file);
    case Cause::ReadOnlyDisk:
        return QStringLiteral("%1 can not be written: the disk is read-only").arg(file);
    case Cause::Missing:
    case Cause::NoFolder:
        return QStringLiteral("the folder of %1 does not exist").arg(file);
    case Cause::InUse:
        return QStringLiteral("%1 is open in another program, which does not let it be "
                              "replaced: close it there and try again")
            .arg(file);
    default:
        return QStringLiteral("%1 can not be written: %2").arg(file, systemText(error));
    }
}

} // namespace database_file

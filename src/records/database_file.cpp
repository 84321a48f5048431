#include "records/database_file.h"

#include "records/record_table.h"
#include "records/visible_text.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace database_file {

namespace {

constexpr int kLongestName = 60;

QString systemText(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

// What stands at a path that is not a regular file, as a message names it.
QString kindOf(mode_t mode) {
    if (S_ISDIR(mode))
        return QStringLiteral("a folder");
    if (S_ISFIFO(mode))
        return QStringLiteral("a FIFO (named pipe)");
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return QStringLiteral("a device");
    if (S_ISSOCK(mode))
        return QStringLiteral("a socket");
    return QStringLiteral("a special file");
}

// Why nothing can be found at `path` (stat failed with `error`), or empty for a plain missing
// name, which is for the caller to judge.
QString statProblem(const QByteArray& native, int error, const QString& file) {
    switch (error) {
    case ENOENT: {
        struct stat link {};
        if (::lstat(native.constData(), &link) == 0 && S_ISLNK(link.st_mode))
            return QStringLiteral("%1 is a symbolic link to a missing file").arg(file);
        return QString();
    }
    case ELOOP:
        return QStringLiteral("%1 is a symbolic link loop").arg(file);
    case EACCES:
    case EPERM:
        return QStringLiteral("%1 can not be reached: permission denied").arg(file);
    case ENOTDIR:
        return QStringLiteral("%1 does not exist: a part of its path is not a folder").arg(file);
    default:
        return QStringLiteral("%1: %2").arg(file, systemText(error));
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
    return QStringLiteral("%1 can not be read: %2").arg(file, systemText(error));
}

// Whether `path` is a regular file; `error` says what stands there otherwise.
bool isRegularFile(const QString& path, QString* error) {
    const QString file = shown(path);
    const QByteArray native = QFile::encodeName(path);
    struct stat st {};
    if (::stat(native.constData(), &st) != 0) {
        const int failure = errno;
        const QString problem = statProblem(native, failure, file);
        *error = problem.isEmpty() ? QStringLiteral("%1 does not exist").arg(file) : problem;
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        *error =
            QStringLiteral("%1 is %2, not a record database file").arg(file, kindOf(st.st_mode));
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
    if (::access(QFile::encodeName(path).constData(), W_OK) != 0)
        return errno == EROFS
                   ? QStringLiteral("%1 can not be written: the disk is read-only").arg(file)
                   : QStringLiteral("%1 is read-only").arg(file);
    // Each commit writes a journal beside the file first.
    const QString folder = QFileInfo(path).absolutePath();
    if (::access(QFile::encodeName(folder).constData(), W_OK) != 0)
        return errno == EROFS ? QStringLiteral("the folder of %1 can not be written: the disk is "
                                               "read-only")
                                    .arg(file)
                              : QStringLiteral("the folder of %1 is read-only").arg(file);
    return QString();
}

QString folderWriteProblem(const QString& folder) {
    if (::access(QFile::encodeName(folder).constData(), W_OK) == 0)
        return QString();
    return errno == EROFS ? QStringLiteral("its folder can not be written: the disk is read-only")
                          : QStringLiteral("its folder is read-only");
}

QString targetProblem(const QString& path) {
    const QString file = shown(path);
    const QByteArray native = QFile::encodeName(path);
    struct stat st {};
    if (::stat(native.constData(), &st) == 0) {
        if (!S_ISREG(st.st_mode))
            return QStringLiteral("%1 is %2, not a file").arg(file, kindOf(st.st_mode));
        if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
            return QStringLiteral("%1 is write-protected (no write permission): not replaced")
                .arg(file);
        return QString();
    }
    return statProblem(native, errno, file);
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

QString writeError(int error, const QString& path) {
    const QString file = shown(path);
    switch (error) {
    case ENOSPC:
    case EDQUOT:
        return diskFull(path);
    case EACCES:
    case EPERM:
        return QStringLiteral("%1 can not be written: permission denied").arg(file);
    case EROFS:
        return QStringLiteral("%1 can not be written: the disk is read-only").arg(file);
    case ENOENT:
        return QStringLiteral("the folder of %1 does not exist").arg(file);
    default:
        return QStringLiteral("%1 can not be written: %2").arg(file, systemText(error));
    }
}

} // namespace database_file

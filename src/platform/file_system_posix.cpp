#include "platform/file_system.h"

#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace file_system {

namespace {

SystemError fromErrno(int error) {
    using C = SystemError::Cause;
    switch (error) {
    case 0:
        return {};
    case ENOENT:
        return {C::Missing, {}};
    case ELOOP:
        return {C::LinkLoop, {}};
    case EACCES:
    case EPERM:
        return {C::Denied, {}};
    case ENOTDIR:
        return {C::PathNotFolder, {}};
    case ENOSPC:
    case EDQUOT:
        return {C::DiskFull, {}};
    case EROFS:
        return {C::ReadOnlyDisk, {}};
    case EBUSY:
    case ETXTBSY:
        return {C::InUse, {}};
    default:
        return {C::Other, QString::fromLocal8Bit(std::strerror(error))};
    }
}

Kind kindOf(mode_t mode) {
    if (S_ISREG(mode))
        return Kind::File;
    if (S_ISDIR(mode))
        return Kind::Folder;
    if (S_ISFIFO(mode))
        return Kind::Fifo;
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return Kind::Device;
    if (S_ISSOCK(mode))
        return Kind::Socket;
    return Kind::Special;
}

} // namespace

PathInfo look(const QString& path) {
    const QByteArray native = QFile::encodeName(path);
    struct stat st {};
    PathInfo info;
    if (::stat(native.constData(), &st) != 0) {
        const int error = errno;
        info.error = fromErrno(error);
        if (error == ENOENT) {
            struct stat link {};
            const bool dangling = ::lstat(native.constData(), &link) == 0 && S_ISLNK(link.st_mode);
            info.error =
                dangling ? SystemError{SystemError::Cause::DanglingLink, {}} : SystemError{};
        }
        return info;
    }
    info.kind = kindOf(st.st_mode);
    info.writeProtected = (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
    return info;
}

SystemError writable(const QString& path) {
    if (::access(QFile::encodeName(path).constData(), W_OK) == 0)
        return {};
    return errno == EROFS ? SystemError{SystemError::Cause::ReadOnlyDisk, {}}
                          : SystemError{SystemError::Cause::Denied, {}};
}

SystemError readHead(const QString& path, qint64 size, QByteArray* bytes) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return fromErrno(errno);
    bytes->resize(size);
    const ssize_t got = ::read(fd, bytes->data(), size_t(size));
    const int error = errno;
    ::close(fd);
    if (got < 0) {
        bytes->clear();
        return fromErrno(error);
    }
    bytes->resize(got);
    return {};
}

SystemError createNew(const QString& path, const QString& permissionsOf, int mode,
                      qintptr* handle) {
    const QByteArray native = QFile::encodeName(path);
    const int fd = ::open(native.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                          mode >= 0 ? mode_t(mode) : mode_t(0666));
    if (fd < 0) {
        // The file goes in an existing folder, or there is no folder for it.
        return errno == ENOENT ? SystemError{SystemError::Cause::NoFolder, {}} : fromErrno(errno);
    }
    // Held while it is written, so that a sweep of leftovers by another program (or a second
    // start) sees it as another's and lets it be.
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    (void)::fcntl(fd, F_OFD_SETLK, &lock);
    struct stat old {};
    if (mode >= 0) {
        // The umask may have taken bits away; a file that must stay private gets exactly these.
        if (::fchmod(fd, mode_t(mode)) != 0) {
            const int error = errno;
            ::close(fd);
            ::unlink(native.constData());
            return fromErrno(error);
        }
    } else if (!permissionsOf.isEmpty() &&
               ::stat(QFile::encodeName(permissionsOf).constData(), &old) == 0) {
        (void)::fchmod(fd, old.st_mode & 07777);
    }
    *handle = fd;
    return {};
}

SystemError writePiece(qintptr handle, const char* data, qint64 size) {
    for (qint64 done = 0; done < size;) {
        const ssize_t n = ::write(int(handle), data + done, size_t(size - done));
        if (n > 0)
            done += n;
        else if (n == 0)
            return fromErrno(ENOSPC);
        else if (errno != EINTR)
            return fromErrno(errno);
    }
    return {};
}

SystemError finishNew(qintptr handle) {
    int error = ::fsync(int(handle)) != 0 ? errno : 0;
    if (::close(int(handle)) != 0 && error == 0)
        error = errno;
    return fromErrno(error);
}

void discardNew(qintptr handle, const QString& path) {
    if (handle >= 0)
        ::close(int(handle));
    ::unlink(QFile::encodeName(path).constData());
}

SystemError appendLine(const QString& path, QByteArray line) {
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return errno == ENOENT ? SystemError{SystemError::Cause::NoFolder, {}} : fromErrno(errno);
    const off_t size = ::lseek(fd, 0, SEEK_END);
    char last = '\n';
    if (size > 0 && ::pread(fd, &last, 1, size - 1) == 1 && last != '\n')
        line.prepend('\n');
    ssize_t n = 0;
    do
        n = ::write(fd, line.constData(), size_t(line.size()));
    while (n < 0 && errno == EINTR);
    int error = n < 0 ? errno : (n == line.size() ? 0 : ENOSPC);
    if (::close(fd) != 0 && error == 0)
        error = errno;
    return fromErrno(error);
}

SystemError replace(const QString& from, const QString& to) {
    if (::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0)
        return {};
    return errno == ENOENT ? SystemError{SystemError::Cause::NoFolder, {}} : fromErrno(errno);
}

void syncFolderOf(const QString& file) {
    const int fd = ::open(QFile::encodeName(QFileInfo(file).absolutePath()).constData(),
                          O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        (void)::fsync(fd);
        ::close(fd);
    }
}

// Open-file-description locks see the locks of this process too.
bool heldByAnother(const QString& path) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return false;
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    const bool held = ::fcntl(fd, F_OFD_GETLK, &lock) == 0 && lock.l_type != F_UNLCK;
    ::close(fd);
    return held;
}

} // namespace file_system

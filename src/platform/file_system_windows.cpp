#include "platform/file_system.h"

#include <QDir>
#include <QFileInfo>

#include <windows.h>

namespace file_system {

namespace {

std::wstring nativeOf(const QString& path) {
    return QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath()).toStdWString();
}

QString systemText(DWORD error) {
    wchar_t* text = nullptr;
    const DWORD n = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    QString out = n > 0 ? QString::fromWCharArray(text, int(n)).trimmed()
                        : QStringLiteral("system error %1").arg(error);
    LocalFree(text);
    return out;
}

SystemError fromCode(DWORD error) {
    using C = SystemError::Cause;
    switch (error) {
    case ERROR_SUCCESS:
        return {};
    case ERROR_FILE_NOT_FOUND:
        return {C::Missing, {}};
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
        return {C::NoFolder, {}};
    case ERROR_ACCESS_DENIED:
    case ERROR_PRIVILEGE_NOT_HELD:
        return {C::Denied, {}};
    case ERROR_CANT_RESOLVE_FILENAME:
        return {C::LinkLoop, {}};
    case ERROR_DIRECTORY:
        return {C::PathNotFolder, {}};
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return {C::DiskFull, {}};
    case ERROR_WRITE_PROTECT:
        return {C::ReadOnlyDisk, {}};
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_USER_MAPPED_FILE:
        return {C::InUse, {}};
    default:
        return {C::Other, systemText(error)};
    }
}

// A handle that asks for nothing but to be opened, shared with every other one.
HANDLE openShared(const std::wstring& native, DWORD access, DWORD share, DWORD flags = 0) {
    return CreateFileW(native.c_str(), access, share, nullptr, OPEN_EXISTING,
                       FILE_FLAG_BACKUP_SEMANTICS | flags, nullptr);
}

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// Whether an existing file can not be replaced because someone has it open without sharing
// its deletion (a PDF viewer, a spreadsheet).
bool heldOpen(const std::wstring& native) {
    const HANDLE h = openShared(native, DELETE, kShareAll);
    if (h != INVALID_HANDLE_VALUE) {
        CloseHandle(h);
        return false;
    }
    return GetLastError() == ERROR_SHARING_VIOLATION;
}

} // namespace

PathInfo look(const QString& path) {
    const std::wstring native = nativeOf(path);
    PathInfo info;
    const DWORD attributes = GetFileAttributesW(native.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = GetLastError();
        info.error = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND
                         ? SystemError{}
                         : fromCode(error);
        return info;
    }
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        info.kind = Kind::Folder;
        return info;
    }
    // A link is followed: the file it names counts, and a link to nothing is said so.
    const HANDLE h = openShared(native, 0, kShareAll);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        info.error = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) && error == ERROR_FILE_NOT_FOUND
                         ? SystemError{SystemError::Cause::DanglingLink, {}}
                         : fromCode(error);
        return info;
    }
    switch (GetFileType(h)) {
    case FILE_TYPE_DISK:
        info.kind = Kind::File;
        break;
    case FILE_TYPE_CHAR:
        info.kind = Kind::Device;
        break;
    case FILE_TYPE_PIPE:
        info.kind = Kind::Fifo;
        break;
    default:
        info.kind = Kind::Special;
    }
    CloseHandle(h);
    info.writeProtected = (attributes & FILE_ATTRIBUTE_READONLY) != 0;
    return info;
}

SystemError writable(const QString& path) {
    const std::wstring native = nativeOf(path);
    const DWORD attributes = GetFileAttributesW(native.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return fromCode(GetLastError());
    // A folder's read-only attribute means nothing to the files in it: try one.
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        wchar_t probe[MAX_PATH + 1] = {};
        if (GetTempFileNameW(native.c_str(), L"vlm", 0, probe) == 0)
            return fromCode(GetLastError());
        DeleteFileW(probe);
        return {};
    }
    if (attributes & FILE_ATTRIBUTE_READONLY)
        return {SystemError::Cause::Denied, {}};
    const HANDLE h = openShared(native, GENERIC_WRITE, kShareAll);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        // Open elsewhere without sharing is not a permission: the write waits for the owner.
        return error == ERROR_SHARING_VIOLATION ? SystemError{} : fromCode(error);
    }
    CloseHandle(h);
    return {};
}

SystemError readHead(const QString& path, qint64 size, QByteArray* bytes) {
    const HANDLE h = openShared(nativeOf(path), GENERIC_READ, kShareAll);
    if (h == INVALID_HANDLE_VALUE)
        return fromCode(GetLastError());
    bytes->resize(size);
    DWORD got = 0;
    const bool ok = ReadFile(h, bytes->data(), DWORD(size), &got, nullptr);
    const DWORD error = GetLastError();
    CloseHandle(h);
    if (!ok) {
        bytes->clear();
        return fromCode(error);
    }
    bytes->resize(got);
    return {};
}

SystemError createNew(const QString& path, const QString& /*permissionsOf*/, int /*mode*/,
                      qintptr* handle) {
    // The file inherits the folder's access list, which on Windows is the user's own profile;
    // Windows keeps no permission bits: the read-only attribute is refused before a write.
    const HANDLE h = CreateFileW(nativeOf(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return fromCode(GetLastError());
    *handle = reinterpret_cast<qintptr>(h);
    return {};
}

SystemError writePiece(qintptr handle, const char* data, qint64 size) {
    const HANDLE h = reinterpret_cast<HANDLE>(handle);
    for (qint64 done = 0; done < size;) {
        DWORD n = 0;
        const DWORD chunk = DWORD(std::min<qint64>(size - done, 1 << 20));
        if (!WriteFile(h, data + done, chunk, &n, nullptr))
            return fromCode(GetLastError());
        if (n == 0)
            return fromCode(ERROR_DISK_FULL);
        done += n;
    }
    return {};
}

SystemError finishNew(qintptr handle) {
    const HANDLE h = reinterpret_cast<HANDLE>(handle);
    DWORD error = FlushFileBuffers(h) ? ERROR_SUCCESS : GetLastError();
    if (!CloseHandle(h) && error == ERROR_SUCCESS)
        error = GetLastError();
    return fromCode(error);
}

void discardNew(qintptr handle, const QString& path) {
    if (handle != -1)
        CloseHandle(reinterpret_cast<HANDLE>(handle));
    DeleteFileW(nativeOf(path).c_str());
}

SystemError appendLine(const QString& path, QByteArray line) {
    // FILE_APPEND_DATA alone: every write goes to the end, whoever else appends.
    const HANDLE h = CreateFileW(nativeOf(path).c_str(), FILE_APPEND_DATA | GENERIC_READ,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return fromCode(GetLastError());
    LARGE_INTEGER size{};
    if (GetFileSizeEx(h, &size) && size.QuadPart > 0) {
        OVERLAPPED at{};
        at.Offset = DWORD((size.QuadPart - 1) & 0xffffffff);
        at.OffsetHigh = DWORD((size.QuadPart - 1) >> 32);
        char last = '\n';
        DWORD got = 0;
        if (ReadFile(h, &last, 1, &got, &at) && got == 1 && last != '\n')
            line.prepend('\n');
    }
    DWORD n = 0;
    DWORD error = ERROR_SUCCESS;
    if (!WriteFile(h, line.constData(), DWORD(line.size()), &n, nullptr))
        error = GetLastError();
    else if (n != DWORD(line.size()))
        error = ERROR_DISK_FULL;
    if (!CloseHandle(h) && error == ERROR_SUCCESS)
        error = GetLastError();
    return fromCode(error);
}

SystemError replace(const QString& from, const QString& to) {
    const std::wstring target = nativeOf(to);
    if (MoveFileExW(nativeOf(from).c_str(), target.c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return {};
    const DWORD error = GetLastError();
    // A viewer that has the file open makes the rename fail with "access denied": say who.
    if ((error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION) && heldOpen(target))
        return {SystemError::Cause::InUse, {}};
    return fromCode(error);
}

void syncFolderOf(const QString&) {
    // The rename writes through (MOVEFILE_WRITE_THROUGH): nothing more to wait for.
}

// SQLite locks byte ranges with LockFileEx, which another handle can not see without taking
// them: a program that has the file open and will not share it for writing is writing it.
bool heldByAnother(const QString& path) {
    const HANDLE h = openShared(nativeOf(path), GENERIC_READ | GENERIC_WRITE, 0);
    if (h != INVALID_HANDLE_VALUE) {
        CloseHandle(h);
        return false;
    }
    return GetLastError() == ERROR_SHARING_VIOLATION;
}

} // namespace file_system

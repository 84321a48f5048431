#include "support/odd_files.h"

#include <QDir>
#include <QFileInfo>

#include <windows.h>

namespace odd_files {

namespace {
std::wstring nativeOf(const QString& path) {
    return QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath()).toStdWString();
}
} // namespace

bool make(Kind kind, const QString& path, const QString& target) {
    if (kind != Kind::LinkTo)
        return false;
    return CreateSymbolicLinkW(nativeOf(path).c_str(), nativeOf(target).c_str(),
                               SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE) != 0;
}

QString fingerprint(const QString& path) {
    const DWORD attributes = GetFileAttributesW(nativeOf(path).c_str());
    return attributes == INVALID_FILE_ATTRIBUTES ? QStringLiteral("missing")
                                                 : QString::number(attributes, 16);
}

std::shared_ptr<void> holdOpen(const QString& path) {
    const HANDLE h = CreateFileW(nativeOf(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return nullptr;
    return std::shared_ptr<void>(h, [](void* handle) { CloseHandle(handle); });
}

} // namespace odd_files

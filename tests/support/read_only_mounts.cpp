#include "support/read_only_mounts.h"

#include <sched.h>
#include <sys/mount.h>

#include <cerrno>
#include <cstring>

namespace {
bool g_inNamespace = false;

QString systemError(const char* what, const QString& path) {
    return QStringLiteral("%1 %2: %3 (needs root in a system that allows mount namespaces)")
        .arg(QLatin1StringView(what), path, QString::fromLocal8Bit(std::strerror(errno)));
}
} // namespace

ReadOnlyMounts::~ReadOnlyMounts() {
    release();
}

bool ReadOnlyMounts::enterNamespace() {
    if (g_inNamespace)
        return true;
    // Only this thread changes namespace; nothing mounted here propagates back to the host.
    if (::unshare(CLONE_NEWNS) != 0) {
        m_error = systemError("unshare", QStringLiteral("CLONE_NEWNS"));
        return false;
    }
    if (::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
        m_error = systemError("mount --make-rprivate", QStringLiteral("/"));
        return false;
    }
    g_inNamespace = true;
    return true;
}

bool ReadOnlyMounts::bind(const QString& path, bool readOnly) {
    if (!enterNamespace())
        return false;
    const QByteArray p = path.toLocal8Bit();
    if (::mount(p.constData(), p.constData(), nullptr, MS_BIND, nullptr) != 0) {
        m_error = systemError("mount --bind", path);
        return false;
    }
    m_mounted << path;
    // A bind mount inherits the flags of the mount it sits in; a remount sets them.
    const unsigned long flags = MS_BIND | MS_REMOUNT | (readOnly ? MS_RDONLY : 0);
    if (::mount(nullptr, p.constData(), nullptr, flags, nullptr) != 0) {
        m_error = systemError("mount -o remount", path);
        return false;
    }
    return true;
}

bool ReadOnlyMounts::readOnly(const QString& path) {
    return bind(path, true);
}

bool ReadOnlyMounts::writable(const QString& path) {
    return bind(path, false);
}

bool ReadOnlyMounts::smallDisk(const QString& path, int kib) {
    if (!enterNamespace())
        return false;
    const QByteArray p = path.toLocal8Bit();
    const QByteArray options = "size=" + QByteArray::number(kib) + "k";
    if (::mount("tmpfs", p.constData(), "tmpfs", 0, options.constData()) != 0) {
        m_error = systemError("mount -t tmpfs", path);
        return false;
    }
    m_mounted << path;
    return true;
}

void ReadOnlyMounts::release() {
    while (!m_mounted.isEmpty())
        ::umount2(m_mounted.takeLast().toLocal8Bit().constData(), MNT_DETACH);
}

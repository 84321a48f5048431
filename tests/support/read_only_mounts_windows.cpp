#include "support/read_only_mounts.h"

// Windows has no mount namespaces: the tests that need one skip with this message.
ReadOnlyMounts::~ReadOnlyMounts() = default;

bool ReadOnlyMounts::readOnly(const QString&) {
    m_error = QStringLiteral("no mount namespaces on Windows");
    return false;
}

bool ReadOnlyMounts::writable(const QString& path) {
    return readOnly(path);
}

bool ReadOnlyMounts::smallDisk(const QString& path, int) {
    return readOnly(path);
}

void ReadOnlyMounts::release() {}

#include "platform/user_folders.h"

#include <QDir>

namespace user_folders {
QString data() {
    QString base = qEnvironmentVariable("LOCALAPPDATA");
    if (base.isEmpty())
        base = QDir::homePath() + QStringLiteral("/AppData/Local");
    return QDir::cleanPath(QDir::fromNativeSeparators(base) + QStringLiteral("/VELM"));
}
void provideRuntimeFolder() {}

} // namespace user_folders

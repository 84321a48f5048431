#include "platform/user_folders.h"

#include <QDir>

namespace user_folders {
QString data() {
    const QString xdg = qEnvironmentVariable("XDG_DATA_HOME");
    QString base = xdg;
    if (!xdg.startsWith(QLatin1Char('/'))) {
        QString home = qEnvironmentVariable("HOME");
        if (home.isEmpty())
            home = QStringLiteral("/tmp");
        base = home + QStringLiteral("/.local/share");
    }
    return QDir::cleanPath(base + QStringLiteral("/velm"));
}
} // namespace user_folders

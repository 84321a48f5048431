#include "platform/user_folders.h"

#include <QDir>
#include <QFile>

#include <sys/stat.h>
#include <unistd.h>

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
void provideRuntimeFolder() {
    if (!qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR"))
        return;
    const QByteArray dir =
        QFile::encodeName(QDir::tempPath()) + "/velm-runtime-" + QByteArray::number(::getuid());
    ::mkdir(dir.constData(), 0700);
    struct stat st {};
    if (::lstat(dir.constData(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid() ||
        (st.st_mode & 0777) != 0700)
        return;
    qputenv("XDG_RUNTIME_DIR", dir);
}

} // namespace user_folders

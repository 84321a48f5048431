#include "records/leftover_parts.h"

#include "platform/file_system.h"
#include "records/database_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

namespace leftover_parts {

QStringList find(const QString& databaseFile) {
    const QFileInfo database(databaseFile);
    const QDir dir = database.absoluteDir();
    // A whole-file write's and a backup's temporary names end in ".part-" and 32 hex digits
    // (SQLite may add its journal): nothing a person names a file.
    static const QRegularExpression part(QStringLiteral("\\.part-[0-9a-f]{32}(-journal)?$"));
    // A convert's new file is not one of them: it holds no lock between its transactions, so
    // another program's convert in progress would look left over. The next convert removes it.
    QStringList found;
    for (const QString& name : dir.entryList(QDir::Files | QDir::Hidden | QDir::System)) {
        if (part.match(name).hasMatch())
            found << dir.filePath(name);
    }
    return found;
}

QStringList sweep(const QString& databaseFile) {
    QStringList kept;
    for (const QString& path : find(databaseFile)) {
        // A journal goes with its file: it is looked at through the file's lock.
        const QString owner = path.endsWith(QLatin1String("-journal")) ? path.chopped(8) : path;
        if (file_system::heldByAnother(owner) || file_system::heldByAnother(path))
            continue;
        QFile file(path);
        if (!file.remove() && file.exists())
            kept << QStringLiteral("could not remove %1, left by a write that was cut short: %2")
                        .arg(database_file::shown(path), file.errorString());
    }
    return kept;
}

} // namespace leftover_parts

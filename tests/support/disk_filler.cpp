#include "support/disk_filler.h"

#include <QDir>
#include <QFile>
#include <QStorageInfo>

void fillDisk(const QString& folder, qint64 leaveBytes) {
    QFile filler(QDir(folder).filePath(QStringLiteral("filler")));
    if (!filler.open(QIODevice::WriteOnly))
        return;
    const QByteArray block(4096, 'x');
    const qint64 leave = (leaveBytes + block.size() - 1) / block.size() * block.size();
    const auto room = [&folder] {
        QStorageInfo disk(folder);
        disk.refresh();
        return disk.bytesAvailable();
    };
    while ((leave == 0 || room() > leave) && filler.write(block) == block.size() &&
           filler.flush()) {
    }
    if (leave > 0)
        return;
    const QByteArray byte(1, 'x');
    while (filler.write(byte) == 1 && filler.flush()) {
    }
}

#include "protocol/refusal_line.h"

#include "link/frames.h"
#include "link/reply.h"
#include "protocol/operation_table.h"

QString refusalLine(const Reply& r, const QString& type) {
    const bool bindReply = r[0] == 0xAE && r[1] == 0xD0;
    if (bindReply || r[6] == 1)
        return QString();
    const quint8 command = quint8(r[4] & 0x7F);
    const operations::Operation* op = operations::findReply(command, r[5], r.busSwitchReply);
    const QString request =
        op ? QString::fromLatin1(op->name) +
                 QStringLiteral(" (%1)").arg(operations::bytesText(r.data() + 4, 2))
           : QStringLiteral("request %1").arg(operations::bytesText(r.data() + 4, 2));
    QString module =
        r.busSwitchReply ? QStringLiteral("The bus switch") : QStringLiteral("Module %1").arg(r[3]);
    if (!type.isEmpty())
        module += QStringLiteral(" (type %1)").arg(type);
    return QStringLiteral("%1 refused %2: %3").arg(module, request, frames::statusText(r[6]));
}

#include "records/site_history.h"

#include "platform/file_system.h"
#include "records/database_file.h"
#include "records/record_table.h"
#include "records/strict_json.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

#include <optional>

namespace site_history {

namespace {
QString timeText(const QDateTime& time) {
    // The offset is written out, so that lines from machines in other zones still sort.
    QDateTime t = time.toLocalTime();
    t.setOffsetFromUtc(t.offsetFromUtc());
    return t.toString(Qt::ISODate);
}

std::optional<HistoryEntry> entryOf(const QByteArray& line) {
    QJsonParseError error{};
    const QJsonDocument doc =
        QJsonDocument::fromJson(strict_json::byteOrderMarksEscaped(line), &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        return std::nullopt;
    const QJsonObject o = doc.object();
    HistoryEntry e;
    e.time = QDateTime::fromString(o.value(QStringLiteral("time")).toString(), Qt::ISODate);
    if (!e.time.isValid())
        return std::nullopt;
    e.technician = o.value(QStringLiteral("technician")).toString();
    e.program = o.value(QStringLiteral("program")).toString();
    e.module = o.value(QStringLiteral("module")).toInt(-1);
    e.action = o.value(QStringLiteral("action")).toString();
    e.detail = o.value(QStringLiteral("detail")).toString();
    e.outcome = o.value(QStringLiteral("outcome")).toString();
    return e;
}
} // namespace

QByteArray line(const HistoryEntry& e) {
    QJsonObject o{{"time", timeText(e.time)},
                  {"technician", e.technician},
                  {"program", e.program},
                  {"module", e.module >= 0 ? QJsonValue(e.module) : QJsonValue()},
                  {"action", e.action},
                  {"detail", e.detail},
                  {"outcome", e.outcome}};
    return strict_json::byteOrderMarksEscaped(QJsonDocument(o).toJson(QJsonDocument::Compact));
}

QStringList cells(const HistoryEntry& e) {
    return {e.time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
            e.technician,
            e.program,
            e.module < 0 ? QString() : QString::number(e.module),
            e.action,
            e.detail,
            e.outcome};
}

bool append(const QString& file, const HistoryEntry& entry, QString* error) {
    // A line before it that a crash cut short gets its own end first: the cut line stays
    // unreadable, this one does not.
    const SystemError failure = file_system::appendLine(file, line(entry) + '\n');
    if (failure && error)
        *error = database_file::writeError(failure, file);
    return !failure;
}

Read read(const QString& file, const QDate& since) {
    Read out;
    QFile f(file);
    if (!f.exists())
        return out;
    if (!f.open(QIODevice::ReadOnly))
        throw RecordError(
            QStringLiteral("Can not read %1: %2").arg(database_file::shown(file), f.errorString()));
    const QList<QByteArray> lines = f.readAll().split('\n');
    for (const QByteArray& l : lines) {
        if (l.trimmed().isEmpty())
            continue;
        const std::optional<HistoryEntry> e = entryOf(l);
        if (!e) {
            ++out.skipped;
            continue;
        }
        if (since.isNull() || e->time.toLocalTime().date() >= since)
            out.entries << *e;
    }
    return out;
}

} // namespace site_history

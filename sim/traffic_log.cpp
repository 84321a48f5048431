#include "sim/traffic_log.h"

#include "link/frames.h"

#include <cstdio>

TrafficLog::TrafficLog(Sink sink) : m_sink(sink ? std::move(sink) : Sink(&TrafficLog::toStdout)) {}

void TrafficLog::toStdout(const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    std::fwrite(utf8.constData(), 1, size_t(utf8.size()), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

void TrafficLog::line(const QString& text) const {
    m_sink(text);
}

void TrafficLog::frame(const QString& direction, const QString& where, const QByteArray& bytes,
                       const QString& note) const {
    QString text = direction + ' ' + where + ' ' + frames::hexText(bytes).trimmed();
    if (!note.isEmpty())
        text += QStringLiteral(" (") + note + ')';
    m_sink(text);
}

#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

// The simulator's own traffic log: one line per frame, on stdout unless told otherwise.
class TrafficLog {
public:
    using Sink = std::function<void(const QString&)>;

    explicit TrafficLog(Sink sink = {});
    void line(const QString& text) const;
    // "rx udp 127.0.0.1:2002 55 AA ..." and the like; a note goes in brackets at the end.
    void frame(const QString& direction, const QString& where, const QByteArray& bytes,
               const QString& note = {}) const;

    static void toStdout(const QString& text);

private:
    Sink m_sink;
};

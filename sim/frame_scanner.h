#pragma once

#include <QByteArray>
#include <QList>

// Cuts a serial byte stream into frames: finds a 55 AA or AE D0 header, waits for the length
// the header announces, checks the sum. Garbage and bad frames come out marked, so the log can
// show them, and scanning resumes after them.
class FrameScanner {
public:
    struct Item {
        QByteArray bytes;
        bool ok = false;
    };

    QList<Item> feed(const QByteArray& data);
    // Drops a partial frame (the line went quiet in the middle of it).
    QByteArray takePartial();
    bool hasPartial() const { return !m_buffer.isEmpty(); }

private:
    QByteArray m_buffer;
};

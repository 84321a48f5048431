#pragma once

// Helpers for the link tests: records what a Bus reports, stands in for the processing
// dialog, and spells byte strings the way the traffic log does.
#include "link/bus.h"
#include "protocol/sequence_owner.h"

#include <QByteArray>
#include <QStringList>

// Collects the log lines and messages of one Bus.
struct LinkProbe {
    QStringList log;
    QStringList messages;

    explicit LinkProbe(Bus& bus) {
        QObject::connect(&bus, &Bus::logLine, &bus, [this](const QString& l) { log << l; });
        QObject::connect(&bus, &Bus::message, &bus, [this](const QString& m) { messages << m; });
    }
    void clear() {
        log.clear();
        messages.clear();
    }
};

// The processing dialog, reduced to its visibility.
struct FakeProcessing : SequenceOwner {
    bool visible = false;
    void sequenceStarted() override { visible = true; }
    void sequenceEnded() override { visible = false; }
    bool keepGoing() const override { return visible; }
};

// "55 AA 08" -> bytes.
inline QByteArray bytesOf(const char* hex) {
    return QByteArray::fromHex(QByteArray(hex).replace(' ', ""));
}

// The reply area's bytes first..last as a byte string.
inline QByteArray replyBytes(const FrameBuffer& buffer, int first, int last) {
    return QByteArray(reinterpret_cast<const char*>(buffer.replyArea()) + first, last - first + 1);
}

#pragma once

#include "protocol/frame_decoder.h"
#include "support/build_paths.h"

#include <QFile>
#include <QList>
#include <QStringList>

// tests/data/frame_samples.tsv: sample frames and how the bus monitor reads them. The decoder's
// test and the Wireshark dissector's test both read it.
namespace framesamples {

struct Sample {
    int line = 0;
    QByteArray bytes;
    framedecoder::Hints hints;
    QString summary;
    bool linkKnown = false;
    bool layoutKnown = false;
    bool received = false;
};

inline QList<Sample> load() {
    using namespace framedecoder;
    QList<Sample> out;
    QFile file(buildpaths::source("tests/data/frame_samples.tsv"));
    if (!file.open(QIODevice::ReadOnly))
        qFatal("cannot read %s", qPrintable(file.fileName()));
    int line = 0;
    for (const QByteArray& raw : file.readAll().split('\n')) {
        ++line;
        if (raw.trimmed().isEmpty() || raw.startsWith('#'))
            continue;
        const QList<QByteArray> cells = raw.split('\t');
        if (cells.size() != 5)
            qFatal("frame_samples.tsv:%d: five cells expected", line);
        Sample s;
        s.line = line;
        s.bytes = QByteArray::fromHex(cells[0]);
        s.hints.link = cells[1] == "serial"    ? Link::Serial
                       : cells[1] == "network" ? Link::Network
                                               : Link::Unknown;
        s.hints.direction = cells[2] == "sent"       ? Direction::Sent
                            : cells[2] == "received" ? Direction::Received
                                                     : Direction::Unknown;
        s.hints.layout = cells[3] == "short"  ? Layout::Short
                         : cells[3] == "long" ? Layout::Long
                                              : Layout::Unknown;
        s.linkKnown = s.hints.link != Link::Unknown;
        s.layoutKnown = s.hints.layout != Layout::Unknown;
        s.received = s.hints.direction == Direction::Received;
        s.summary = QString::fromUtf8(cells[4]);
        out << s;
    }
    return out;
}

} // namespace framesamples

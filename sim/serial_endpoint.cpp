#include "sim/serial_endpoint.h"

#include "sim/fault_injector.h"
#include "sim/installation.h"
#include "sim/traffic_log.h"
#include "sim/wire_format.h"

#include "link/capture_writer.h"
#include "link/frame_tap.h"

#include <QPointer>

namespace {
const QString kWhere = QStringLiteral("serial");
} // namespace

SerialEndpoint::SerialEndpoint(Installation& installation, FaultInjector& faults,
                               const TrafficLog& log, bool longForm, int baud, QObject* parent)
    : QObject(parent), m_installation(installation), m_faults(faults), m_log(log),
      m_longForm(longForm), m_byteNs(baud > 0 ? 10'000'000'000LL / baud : 0) {
    m_pump.setTimerType(Qt::PreciseTimer);
    m_pump.setInterval(1);
    connect(&m_pump, &QTimer::timeout, this, &SerialEndpoint::pump);
    m_clock.start();
    m_sinceRx.start();
}

void SerialEndpoint::receive(const QByteArray& bytes) {
    // A frame left half-done by a quiet line is not completed by what comes much later.
    if (m_scanner.hasPartial() && m_sinceRx.elapsed() > kStaleMs) {
        const QByteArray partial = m_scanner.takePartial();
        m_log.frame(QStringLiteral("rx"), kWhere, partial, QStringLiteral("incomplete, dropped"));
        if (m_capture)
            m_capture->writeSerial(FrameTap::nowUs(), CaptureWriter::kToBus, partial);
    }
    m_sinceRx.restart();
    for (const FrameScanner::Item& item : m_scanner.feed(bytes)) {
        if (m_capture)
            m_capture->writeSerial(FrameTap::nowUs(), CaptureWriter::kToBus, item.bytes);
        if (!item.ok) {
            m_log.frame(QStringLiteral("rx"), kWhere, item.bytes, QStringLiteral("garbage"));
            continue;
        }
        const wire::Parsed p = wire::parseSerial(item.bytes, m_longForm, m_installation.subnet());
        if (p.kind == wire::Parsed::Request && !m_installation.acceptsSubnet(p.request)) {
            m_log.frame(QStringLiteral("rx"), kWhere, item.bytes,
                        QStringLiteral("other subnet, ignored"));
            continue;
        }
        m_log.frame(QStringLiteral("rx"), kWhere, item.bytes,
                    p.kind == wire::Parsed::Rejected ? p.reason : QString());
        QPointer<SerialEndpoint> self(this);
        const ReplySink sink = [self](const SimReply& r) {
            if (self)
                self->send(r);
        };
        if (p.kind == wire::Parsed::Request)
            m_installation.handleRequest(p.request, sink);
        else if (p.kind == wire::Parsed::Bind)
            m_installation.handleBindTest(p.bindPayload, sink);
    }
}

void SerialEndpoint::send(SimReply reply) {
    const FaultInjector::Plan plan = m_faults.take(reply, true);
    QByteArray frame = wire::frameReply(reply, m_longForm, m_installation.subnet());
    if (plan.drop) {
        m_log.frame(QStringLiteral("tx"), kWhere, frame, QStringLiteral("dropped"));
        return;
    }
    if (plan.corrupt)
        FaultInjector::corrupt(frame);
    QList<Chunk> chunks;
    if (plan.split) {
        const qsizetype half = frame.size() / 2;
        chunks = {{frame.left(half), plan.delayMs}, {frame.mid(half), kSplitPauseMs}};
    } else {
        chunks = {{frame, plan.delayMs}};
    }
    m_log.frame(QStringLiteral("tx"), kWhere, frame,
                plan.split ? QStringLiteral("split, %1 ms pause").arg(kSplitPauseMs) : QString());
    if (m_capture)
        for (const Chunk& chunk : chunks)
            m_capture->writeSerial(FrameTap::nowUs(), CaptureWriter::kFromBus, chunk.bytes);
    m_queue.append(chunks);
    if (!m_pump.isActive())
        m_pump.start();
    pump();
}

void SerialEndpoint::pump() {
    const qint64 now = m_clock.nsecsElapsed();
    if (m_lineFreeAt < now)
        m_lineFreeAt = now; // an idle line banks no time
    QByteArray out;
    while (m_lineFreeAt <= now) {
        if (m_current.isEmpty()) {
            if (m_queue.isEmpty())
                break;
            Chunk& next = m_queue.first();
            if (next.pauseBeforeMs > 0) {
                m_lineFreeAt = std::max(m_lineFreeAt, now) + qint64(next.pauseBeforeMs) * 1'000'000;
                next.pauseBeforeMs = 0;
                continue;
            }
            m_current = m_queue.takeFirst().bytes;
        }
        // Without pacing the whole chunk goes at once.
        const qsizetype count = m_byteNs > 0 ? 1 : m_current.size();
        out.append(m_current.left(count));
        m_current.remove(0, count);
        m_lineFreeAt += m_byteNs;
    }
    if (!out.isEmpty() && isOpen()) {
        const qsizetype n = writeLine(out);
        if (n < 0) {
            m_queue.clear(); // the line is gone
            m_current.clear();
        } else if (n < out.size()) {
            m_current.prepend(out.mid(n)); // buffer full: the rest next tick
        }
    }
    if (m_current.isEmpty() && m_queue.isEmpty())
        m_pump.stop();
}

#include "moc_serial_endpoint.cpp"

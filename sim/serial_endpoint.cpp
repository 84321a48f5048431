#include "sim/serial_endpoint.h"

#include "sim/fault_injector.h"
#include "sim/installation.h"
#include "sim/traffic_log.h"
#include "sim/wire_format.h"

#include "link/capture_writer.h"
#include "link/frame_tap.h"

#include <QPointer>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace {
const QString kWhere = QStringLiteral("serial");

speed_t speedOf(int baud) {
    switch (baud) {
    case 1200:
        return B1200;
    case 2400:
        return B2400;
    case 4800:
        return B4800;
    case 9600:
        return B9600;
    case 19200:
        return B19200;
    case 38400:
        return B38400;
    case 57600:
        return B57600;
    case 115200:
        return B115200;
    default:
        return B9600;
    }
}
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

SerialEndpoint::~SerialEndpoint() {
    m_notifier.reset();
    if (m_fd >= 0)
        ::close(m_fd);
    if (m_slaveFd >= 0)
        ::close(m_slaveFd);
}

bool SerialEndpoint::openPty(QString* error) {
    char name[256] = {};
    termios raw{};
    cfmakeraw(&raw);
    int master = -1;
    if (::openpty(&master, &m_slaveFd, name, &raw, nullptr) != 0) {
        *error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    // The slave stays open here too, so the line stays up while the tool closes and reopens.
    m_path = QString::fromLocal8Bit(name);
    attach(master);
    return true;
}

bool SerialEndpoint::openDevice(const QString& path, QString* error) {
    const int fd = ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
    if (fd < 0) {
        *error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    termios t{};
    if (::tcgetattr(fd, &t) == 0) {
        cfmakeraw(&t);
        const speed_t speed = speedOf(m_byteNs > 0 ? int(10'000'000'000LL / m_byteNs) : 9600);
        cfsetispeed(&t, speed);
        cfsetospeed(&t, speed);
        ::tcsetattr(fd, TCSANOW, &t);
    }
    m_path = path;
    attach(fd);
    return true;
}

void SerialEndpoint::attach(int fd) {
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    m_fd = fd;
    m_notifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &SerialEndpoint::onReadable);
}

void SerialEndpoint::onReadable() {
    char buf[512];
    const ssize_t n = ::read(m_fd, buf, sizeof buf);
    if (n <= 0) {
        if (n < 0 && errno != EAGAIN && errno != EINTR)
            m_notifier->setEnabled(false); // the line is gone
        return;
    }
    receive(QByteArray(buf, qsizetype(n)));
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
    if (!out.isEmpty() && m_fd >= 0) {
        const ssize_t n = ::write(m_fd, out.constData(), size_t(out.size()));
        if (n < 0 && errno != EAGAIN && errno != EINTR) {
            m_queue.clear(); // the line is gone
            m_current.clear();
        } else if (n < out.size()) {
            m_current.prepend(out.mid(n < 0 ? 0 : n)); // buffer full: the rest next tick
        }
    }
    if (m_current.isEmpty() && m_queue.isEmpty())
        m_pump.stop();
}

#include "moc_serial_endpoint.cpp"

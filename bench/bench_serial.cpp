// Measures the serial driver on a pseudo-terminal: the delay from the last byte of a burst to its
// delivery on the main thread (floor: the 100 ms of quiet that ends a block), with an idle and
// with a busy main thread, and the time a queued block takes to reach the line.
// Prints figures; asserts nothing.
#include "link/tcomm.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QRandomGenerator>

#include <algorithm>
#include <cstdio>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace {

constexpr int kBursts = 20;
constexpr int kBusyChunkMs = 50;

struct Pty {
    int master = -1;
    int slave = -1;
    QString slavePath;

    Pty() {
        char name[256] = {};
        termios raw{};
        cfmakeraw(&raw);
        if (openpty(&master, &slave, name, &raw, nullptr) != 0) {
            master = slave = -1;
            return;
        }
        slavePath = QString::fromLocal8Bit(name);
        ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
    }
    ~Pty() {
        if (master >= 0)
            ::close(master);
        if (slave >= 0)
            ::close(slave);
    }
    void write(const QByteArray& bytes) const {
        qsizetype done = 0;
        while (done < bytes.size()) {
            const ssize_t n =
                ::write(master, bytes.constData() + done, size_t(bytes.size() - done));
            if (n > 0)
                done += n;
            else {
                pollfd p{master, POLLOUT, 0};
                ::poll(&p, 1, 100);
            }
        }
    }
    // Reads until `size` bytes came; returns the ns (on clock) when the last one was seen.
    qint64 readAll(qsizetype size, const QElapsedTimer& clock) const {
        char buf[4096];
        qsizetype got = 0;
        while (got < size) {
            pollfd p{master, POLLIN, 0};
            if (::poll(&p, 1, 2000) <= 0)
                return -1;
            const ssize_t n = ::read(master, buf, sizeof buf);
            if (n > 0)
                got += n;
        }
        return clock.nsecsElapsed();
    }
};

void busyFor(int ms) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) {
    }
}

void report(const char* what, std::vector<double> ms) {
    if (ms.empty()) {
        std::printf("%-44s no samples\n", what);
        return;
    }
    std::sort(ms.begin(), ms.end());
    std::printf("%-44s n=%2zu  min %7.2f  median %7.2f  max %7.2f ms\n", what, ms.size(),
                ms.front(), ms[ms.size() / 2], ms.back());
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    Pty pty;
    if (pty.master < 0) {
        std::printf("openpty failed; nothing measured\n");
        return 0;
    }
    TComm comm;
    comm.CommName = pty.slavePath;
    try {
        comm.OpenPort();
    } catch (const ECommsError& e) {
        std::printf("OpenPort failed: %s\n", qPrintable(e.message()));
        return 0;
    }

    QElapsedTimer clock;
    clock.start();
    qint64 arrivedNs = -1;
    std::vector<int> sizes;
    comm.OnReceiveData = [&](TComm*, const quint8*, quint16 length) {
        arrivedNs = clock.nsecsElapsed();
        sizes.push_back(length);
    };
    auto waitDelivery = [&](bool busy) {
        QElapsedTimer limit;
        limit.start();
        while (arrivedNs < 0 && limit.elapsed() < 3000) {
            if (busy)
                busyFor(kBusyChunkMs);
            QCoreApplication::processEvents(QEventLoop::AllEvents, busy ? 0 : 1);
        }
    };
    const QByteArray burst = QByteArray::fromHex("aed00a01020304050607");

    for (const bool busy : {false, true}) {
        std::vector<double> delays;
        for (int i = 0; i < kBursts; ++i) {
            arrivedNs = -1;
            // Vary where the burst falls within a busy chunk.
            if (busy)
                busyFor(int(QRandomGenerator::global()->bounded(kBusyChunkMs)));
            pty.write(burst);
            const qint64 sentNs = clock.nsecsElapsed();
            waitDelivery(busy);
            if (arrivedNs >= 0)
                delays.push_back(double(arrivedNs - sentNs) / 1e6);
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        }
        report(busy ? "10-byte burst to delivery, main busy (50 ms)"
                    : "10-byte burst to delivery, main idle",
               delays);
    }

    sizes.clear();
    arrivedNs = -1;
    QByteArray stream(5000, 'x');
    pty.write(stream);
    const qint64 streamSentNs = clock.nsecsElapsed();
    QElapsedTimer limit;
    limit.start();
    while (limit.elapsed() < 500)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    std::printf("5000-byte burst delivered as:");
    for (int s : sizes)
        std::printf(" %d", s);
    std::printf("  (last block %.2f ms after the burst)\n",
                arrivedNs < 0 ? -1.0 : double(arrivedNs - streamSentNs) / 1e6);

    std::vector<double> writes;
    for (int i = 0; i < kBursts; ++i) {
        const qint64 queuedNs = clock.nsecsElapsed();
        comm.QueueWrite(reinterpret_cast<const quint8*>(burst.constData()), quint16(burst.size()));
        const qint64 seenNs = pty.readAll(burst.size(), clock);
        if (seenNs >= 0)
            writes.push_back(double(seenNs - queuedNs) / 1e6);
    }
    report("QueueWrite to bytes on the line", writes);

    QElapsedTimer closing;
    closing.start();
    comm.ClosePort();
    std::printf("ClosePort took %.2f ms\n", double(closing.nsecsElapsed()) / 1e6);
    return 0;
}

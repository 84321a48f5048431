// How many replies a second the reply intake and the dispatcher take on one core: network
// datagrams through takeDatagram, serial blocks through takeSerialBlock, each with a log
// line and a handler call per accepted reply; then the same with the bus monitor's share (the
// frame tap with a listener), and how many frames a second the bus monitor's decoder reads.
// Prints figures; asserts nothing.
#include "app/bus_monitor_model.h"
#include "link/bus.h"
#include "link/frames.h"
#include "protocol/frame_decoder.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <cstdio>
#include <functional>

namespace {

constexpr int kReplies = 200000;

QByteArray frameOf(std::initializer_list<int> body) {
    QByteArray b;
    for (int v : body)
        b.append(char(v));
    return frames::busReply(b);
}

void report(const char* what, qint64 ns, int count) {
    const double seconds = double(ns) / 1e9;
    std::printf("%-44s %8d replies in %7.1f ms: %10.0f replies/s, %6.2f us each\n", what, count,
                seconds * 1e3, count / seconds, ns / 1e3 / count);
}

void run(const char* what, const QList<QByteArray>& mix,
         const std::function<void(const QByteArray&)>& feed) {
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < kReplies; ++i)
        feed(mix[i % mix.size()]);
    report(what, clock.nsecsElapsed(), kReplies);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    PlainLinkSettings settings;
    Bus bus(settings);
    long lines = 0;
    long handled = 0;
    QObject::connect(&bus, &Bus::logLine, &bus, [&](const QString&) { ++lines; });
    for (int sub = 0; sub <= 0x10; ++sub)
        bus.registerReply(0x80, quint8(sub), [&](const Reply& r) { handled += r[7] + 1; });
    bus.registerReply(0x84, 0x03, [&](const Reply& r) { handled += r[7] + 1; });
    bus.registerBindReply([&](const Reply&) { ++handled; });

    // Long form as the gateway sends it; short form as a module answers on the line.
    const QList<QByteArray> network = {
        frameOf(
            {0x00, 0x01, 0x03, 0x80, 0x08, 0x01, 0x01, 0x00, 0x01, 0x00, 0x01, 0x00, 0x01, 0x00}),
        frameOf({0xFF, 0xFF, 0xFF, 0x80, 0x05, 0x01, 0x0A, 0x00, 0x01}),
        frameOf({0x00, 0x01, 0x04, 0x84, 0x03, 0x01, 0x02, 0x01, 0x00, 0x08, 0x1E, 0x02, 0x01}),
        frameOf({0x00, 0x01, 0x05, 0x82, 0x01, 0x01}),
        frames::bindFrameFromPayload(QByteArray::fromHex("8200000001")),
    };
    const QList<QByteArray> serial = {
        frameOf({0x03, 0x80, 0x08, 0x01, 0x01, 0x00, 0x01, 0x00, 0x01, 0x00, 0x01, 0x00}),
        frameOf({0x04, 0x80, 0x05, 0x01, 0x04}),
        frameOf({0x04, 0x84, 0x03, 0x01, 0x02, 0x01, 0x00, 0x08, 0x1E, 0x02, 0x01}),
        frameOf({0x05, 0x82, 0x01, 0x01}),
        frames::bindFrameFromPayload(QByteArray::fromHex("8300000000")),
    };
    QByteArray bad = network[0];
    bad[bad.size() - 1] = char(bad[bad.size() - 1] ^ 1);

    std::printf("bench_intake: %d replies per run, masked log on\n", kReplies);
    run("takeDatagram + dispatcher (network mix)", network,
        [&](const QByteArray& d) { bus.takeDatagram(d); });
    run("takeSerialBlock + dispatcher (serial mix)", serial, [&](const QByteArray& d) {
        bus.takeSerialBlock(reinterpret_cast<const quint8*>(d.constData()), quint16(d.size()));
    });
    run("takeDatagram, wrong checksum (dropped)", {bad},
        [&](const QByteArray& d) { bus.takeDatagram(d); });
    settings.masked = false;
    run("takeDatagram + dispatcher, hexadecimal log", network,
        [&](const QByteArray& d) { bus.takeDatagram(d); });
    settings.masked = true;

    // The decoder alone, then the tap with a listener, then the whole monitor: tap, decoder
    // and the monitor's rows (a frame each, the oldest dropping out past its limit).
    long words = 0;
    using framedecoder::Link;
    run("decode (network mix)", network, [&](const QByteArray& d) {
        words += framedecoder::decode(d, {Link::Network}).what().size();
    });
    run("decode (serial mix)", serial, [&](const QByteArray& d) {
        words += framedecoder::decode(d, {Link::Serial}).what().size();
    });
    long tapped = 0;
    const QMetaObject::Connection tap =
        QObject::connect(&bus.tap(), &FrameTap::frame, &bus, [&](const TappedFrame&) { ++tapped; });
    run("takeDatagram + dispatcher + tap listener", network,
        [&](const QByteArray& d) { bus.takeDatagram(d); });
    QObject::disconnect(tap);
    BusMonitorModel monitor;
    QObject::connect(&bus.tap(), &FrameTap::frame, &monitor, &BusMonitorModel::add);
    run("takeDatagram + dispatcher + monitor rows", network,
        [&](const QByteArray& d) { bus.takeDatagram(d); });
    std::printf("log lines %ld, handler sum %ld, decoded words %ld, tapped %ld, rows %d\n", lines,
                handled, words, tapped, monitor.rowCount());
    return 0;
}

// The read-all sequences over loopback UDP against an in-test gateway that, before each
// answer, sends what else may come from its own address and port (nothing, garbage, another
// module's answer, another command's answer, another module's error reply) and a copy of the
// previous step's answer from another port. Every run must store
// exactly the rows of a quiet run. A gateway that refuses for a missing module ends a read-all
// at once, and a scan over a closed serial link stops at once, saying why.
#include "jobs/module_scan.h"
#include "link/bus_internals.h"
#include "link/bus.h"
#include "link/frames.h"
#include "protocol/sequence_engine.h"
#include "records/record_table.h"
#include "records/schema.h"
#include "support/link_probe.h"
#include "support/table_rows.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <memory>
#include <thread>

namespace {

constexpr int kRuns = 20;
constexpr int kModule = 6;

int boundSocket(quint16 port) {
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    ::inet_pton(AF_INET, "127.0.0.1", &a.sin_addr);
    timeval tv{0, 20000};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    if (fd >= 0 && ::bind(fd, reinterpret_cast<const sockaddr*>(&a), sizeof a) == 0)
        return fd;
    if (fd >= 0)
        ::close(fd);
    return -1;
}

quint16 portOf(int fd) {
    sockaddr_in a{};
    socklen_t size = sizeof a;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &size);
    return ntohs(a.sin_port);
}

// A long-form reply of `module` (0xFF: the gateway itself, subnet FF FF).
QByteArray answer(quint8 module, quint8 command, quint8 sub, quint8 status,
                  const QByteArray& data) {
    QByteArray body = module == 0xFF ? QByteArray::fromHex("ffff") : QByteArray::fromHex("0001");
    body.append(char(module)).append(char(command)).append(char(sub)).append(char(status));
    return frames::busReply(body + data);
}

// What a module holds, different for every record so that a shifted row shows.
QByteArray recordData(quint8 command, quint8 sub, const QByteArray& params) {
    const quint8 n = params.isEmpty() ? 0 : quint8(params.back());
    if (command == 0x04 && sub == 0x03) // timer n: mode, seconds .. year
        return QByteArray::fromHex("03") + char(n) + QByteArray::fromHex("3012240102") + char(n);
    if (command == 0x04) // event n of a timer: light on, module n + 1, channel 0, scene 0
        return QByteArray::fromHex("0201") + char(n + 1) + QByteArray::fromHex("0000");
    if (sub == 0x0F) // binding of channel n: light on at module n + 1
        return QByteArray::fromHex("000201") + char(n + 1) + QByteArray::fromHex("00007f");
    return QByteArray(1, char(n + 1)) + char(n % 8); // a monitor slot: module, channel
}

// The gateway and its modules on 127.0.0.1, with the strays or without.
class Gateway {
public:
    Gateway() : m_fd(boundSocket(0)), m_other(boundSocket(0)) {
        m_thread = std::thread([this] { run(); });
    }
    ~Gateway() {
        m_stop = true;
        m_thread.join();
        ::close(m_fd);
        ::close(m_other);
    }
    bool ready() const { return m_fd >= 0 && m_other >= 0; }
    quint16 port() const { return portOf(m_fd); }
    enum Mode { Quiet, Strays, NoModule, Copies };
    std::atomic<int> mode{Quiet};

private:
    void run() {
        QByteArray previous;
        while (!m_stop) {
            char in[256];
            sockaddr_in from{};
            socklen_t size = sizeof from;
            const ssize_t n =
                ::recvfrom(m_fd, in, sizeof in, 0, reinterpret_cast<sockaddr*>(&from), &size);
            if (n < 24)
                continue;
            // 55 AA L, the password block, subnet (2), module, command, sub-command, parameters.
            const QByteArray frame(in, int(n));
            const quint8 module = quint8(frame[21]);
            const quint8 command = quint8(frame[22]);
            const quint8 sub = quint8(frame[23]);
            const QByteArray params = frame.mid(24, frame.size() - 26);
            const quint8 reply = quint8(command | 0x80);
            const QByteArray real = answer(module, reply, sub, 1, recordData(command, sub, params));
            auto send = [&](int fd, const QByteArray& d) {
                ::sendto(fd, d.constData(), size_t(d.size()), 0,
                         reinterpret_cast<const sockaddr*>(&from), size);
            };
            if (mode == NoModule) {
                send(m_fd, answer(0xFF, reply, sub, 2, {})); // "Module Address Error!"
                continue;
            }
            if (mode == Strays) {
                const quint8 stranger = module == 0xFF ? 5 : quint8(module + 1);
                send(m_fd, QByteArray());
                send(m_fd, QByteArray::fromHex("0102030405060708090a0b"));
                send(m_fd, answer(stranger, reply, sub, 1, recordData(command, sub, "\x1f")));
                send(m_fd, answer(module, reply, quint8(sub ^ 0x20), 1, real.mid(9, 8)));
                send(m_fd, answer(stranger, reply, sub, 5, {}));
                send(m_fd, answer(stranger, 0x82, 0x01, 5, {}));
                if (!previous.isEmpty())
                    send(m_other, previous);
            }
            send(m_fd, real);
            // A gateway or a network that delivers every answer twice.
            if (mode == Copies)
                send(m_fd, real);
            previous = real;
        }
    }

    const int m_fd;
    const int m_other;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

} // namespace

class TestSequenceStrays : public QObject {
    Q_OBJECT
private slots:
    void readAllsStoreTheQuietRows_data();
    void readAllsStoreTheQuietRows();
    void gatewaysErrorEndsTheReadAll();
    void closedSerialLinkStopsTheScan();

private:
    void openLink(Bus& bus, const Gateway& gateway);
};

void TestSequenceStrays::openLink(Bus& bus, const Gateway& gateway) {
    UdpTransport& udp = BusInternals::udp(bus);
    udp.remoteHost = QStringLiteral("127.0.0.1");
    udp.remotePort = gateway.port();
    udp.localPort = 0;
    QVERIFY(udp.open());
}

void TestSequenceStrays::readAllsStoreTheQuietRows_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("noise");
    const QList<std::pair<const char*, int>> noises = {{"strays", Gateway::Strays},
                                                        {"copies", Gateway::Copies}};
    const QList<std::tuple<const char*, int, int>> kinds = {
        {"timers", int(SequenceKind::ReadTimers), 32},
        {"events", int(SequenceKind::ReadEvents), 16},
        {"bindings", int(SequenceKind::ReadBindings), 14},
        {"monitor slots", int(SequenceKind::ReadMonitorSlots), 64}};
    for (const auto& [name, noise] : noises)
        for (const auto& [what, kind, rows] : kinds)
            QTest::addRow("%s, %s", what, name) << kind << rows << noise;
}

void TestSequenceStrays::readAllsStoreTheQuietRows() {
    QFETCH(int, kind);
    QFETCH(int, rows);
    QFETCH(int, noise);
    const SequenceKind sequence = SequenceKind(kind);
    Gateway gateway;
    QVERIFY(gateway.ready());
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("VELM.mdb"));
    schema::createDatabase(file);
    RecordTable table{QString::fromLatin1(sequenceSpec(sequence).recordTable)};
    table.open(file);

    PlainLinkSettings settings;
    settings.network = true;
    Bus bus(settings);
    FakeProcessing dialog;
    openLink(bus, gateway);
    SequenceEngine engine(bus);
    engine.setOwner(&dialog);
    // A copy follows its answer at once; the step's pause (as the tool keeps it) lets it in
    // before the next request goes, however loaded the machine.
    const bool copies = noise == Gateway::Copies;
    engine.setPauseMs(copies ? 100 : 1);
    std::optional<SequenceResult> result;
    connect(&engine, &SequenceEngine::ended, this,
            [&result](const SequenceResult& r) { result = r; });
    SequenceTarget target{kModule, 3};
    target.deviceType = QStringLiteral("Light");

    QStringList quiet;
    for (int run = 0; run <= (copies ? 1 : kRuns); ++run) {
        gateway.mode = run > 0 ? noise : Gateway::Quiet;
        result.reset();
        engine.start(sequence, table, [target] { return target; });
        QTRY_VERIFY_WITH_TIMEOUT(result.has_value(), 5000);
        QCOMPARE(int(result->end), int(SequenceEnd::Finished));
        QCOMPARE(result->rows, rows);
        const QStringList got = probe::tableRows(table);
        if (run == 0)
            quiet = got;
        else
            QCOMPARE(got, quiet);
    }
    QVERIFY(!quiet.isEmpty());
}

// The gateway's error from 0xFF for a module that is not there ends the step it answers, with
// its status, long before the watchdog would.
void TestSequenceStrays::gatewaysErrorEndsTheReadAll() {
    Gateway gateway;
    QVERIFY(gateway.ready());
    gateway.mode = Gateway::NoModule;
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("VELM.mdb"));
    schema::createDatabase(file);
    RecordTable table{QString::fromLatin1(sequenceSpec(SequenceKind::ReadTimers).recordTable)};
    table.open(file);
    PlainLinkSettings settings;
    settings.network = true;
    Bus bus(settings);
    FakeProcessing dialog;
    openLink(bus, gateway);
    SequenceEngine engine(bus);
    engine.setOwner(&dialog);
    std::optional<SequenceResult> result;
    connect(&engine, &SequenceEngine::ended, this,
            [&result](const SequenceResult& r) { result = r; });
    QElapsedTimer clock;
    clock.start();
    engine.start(SequenceKind::ReadTimers, table, [] { return SequenceTarget{kModule, 3}; });
    QTRY_VERIFY_WITH_TIMEOUT(result.has_value(), 4000);
    QVERIFY2(clock.elapsed() < 2500, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(int(result->end), int(SequenceEnd::Refused));
    QCOMPARE(frames::statusText(result->status), QStringLiteral("Module Address Error!"));
    QCOMPARE(result->rows, 0);
}

// Serial mode with the serial link closed and the network link open: each request writes
// its log line and goes nowhere; the scan stops at its first request and says why.
void TestSequenceStrays::closedSerialLinkStopsTheScan() {
    Gateway gateway;
    QVERIFY(gateway.ready());
    PlainLinkSettings settings;
    settings.network = false;
    Bus bus(settings);
    openLink(bus, gateway);
    LinkProbe probe(bus);
    ModuleScan::Options options;
    options.first = 1;
    options.last = 3;
    ModuleScan scan(bus, options);
    QElapsedTimer clock;
    clock.start();
    QVERIFY(scan.job().runHere());
    QVERIFY2(clock.elapsed() < 1000, qPrintable(QString::number(clock.elapsed())));
    QVERIFY2(scan.job().notSent().startsWith(QStringLiteral("Not sent: the serial link is not open")),
             qPrintable(scan.job().notSent()));
    QCOMPARE(probe.log, QStringList{QStringLiteral("Send ：X")});
    QVERIFY(scan.hits().isEmpty());
}

QTEST_GUILESS_MAIN(TestSequenceStrays)
#include "test_sequence_strays.moc"

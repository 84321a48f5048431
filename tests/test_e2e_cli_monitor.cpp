// End to end: the bus monitor of velm-cli. decode over the sample frames, --trace and --pcap
// of a command against velm-sim, watch with a capture, ended by SIGINT.
#include "records/schema.h"
#include "support/build_paths.h"
#include "support/capture_reader.h"
#include "support/frame_samples.h"
#include "support/sim_process.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QUdpSocket>

#include <csignal>

namespace {

struct Run {
    int exitCode = -1;
    QString out;
    QString err;
};

Run cli(const QStringList& args) {
    QProcess p;
    p.start(buildpaths::bin("velm-cli"), args);
    Run r;
    if (!p.waitForFinished(30000)) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.exitCode = p.exitCode();
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

// The gateway password "418273" as it goes over the wire.
const QString kPasswordHex = QStringLiteral("34 31 38 32 37 33");

} // namespace

class TestE2eCliMonitor : public QObject {
    Q_OBJECT
private slots:
    void decodeSamples_data();
    void decodeSamples();
    void decodeRefusesWhatIsNoHex_data();
    void decodeRefusesWhatIsNoHex();
    void traceAndCaptureOfACommand();
    void watchCapturesUntilInterrupted();
    void readAllInterruptedKeepsItsCapture();
};

void TestE2eCliMonitor::decodeSamples_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("summary");
    QTest::addColumn<int>("exitCode");
    // The rows that need no direction: what the bytes, the link and the layout say.
    bool spaced = false;
    for (const framesamples::Sample& s : framesamples::load()) {
        if (s.hints.direction != framedecoder::Direction::Unknown)
            continue;
        QStringList args{QStringLiteral("decode")};
        spaced = !spaced;
        const QString hex = QString::fromLatin1(s.bytes.toHex(spaced ? ' ' : '\0'));
        args << (spaced ? hex.split(QLatin1Char(' ')) : QStringList{hex});
        if (s.linkKnown)
            args << (s.hints.link == framedecoder::Link::Serial ? QStringLiteral("--serial")
                                                                : QStringLiteral("--network"));
        if (s.layoutKnown)
            args << QStringLiteral("--layout")
                 << (s.hints.layout == framedecoder::Layout::Long ? QStringLiteral("long")
                                                                  : QStringLiteral("short"));
        // What the intake drops reads as its problem alone ("bad checksum"): no frame.
        const bool noFrame = !s.summary.contains(QLatin1Char(':'));
        QTest::addRow("line %d", s.line) << args << s.summary << (noFrame ? 1 : 0);
    }
}

void TestE2eCliMonitor::decodeSamples() {
    QFETCH(QStringList, args);
    QFETCH(QString, summary);
    QFETCH(int, exitCode);
    const Run r = cli(args);
    QCOMPARE(r.exitCode, exitCode);
    QCOMPARE(r.out.section(QLatin1Char('\n'), 0, 0), summary);
    QVERIFY2(!r.out.contains(kPasswordHex, Qt::CaseInsensitive), qPrintable(r.out));
}

void TestE2eCliMonitor::decodeRefusesWhatIsNoHex_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("message");
    QTest::newRow("not hex") << QStringList{"decode", "55", "AA", "0G"} << "'G'";
    QTest::newRow("half a byte") << QStringList{"decode", "55AA0"} << "whole bytes";
    QTest::newRow("nothing") << QStringList{"decode"} << "HEX is missing";
    QTest::newRow("both links") << QStringList{"decode", "--serial", "--network", "55AA"}
                                << "not both";
    QTest::newRow("layout") << QStringList{"decode", "55AA", "--layout", "wide"} << "'wide'";
}

void TestE2eCliMonitor::decodeRefusesWhatIsNoHex() {
    QFETCH(QStringList, args);
    QFETCH(QString, message);
    const Run r = cli(args);
    QCOMPARE(r.exitCode, 2);
    QVERIFY(r.out.isEmpty());
    QCOMPARE(r.err.count(QLatin1Char('\n')), 1);
    QVERIFY2(r.err.contains(message), qPrintable(r.err));
}

void TestE2eCliMonitor::traceAndCaptureOfACommand() {
    SimProcess sim;
    QVERIFY2(sim.start(), qPrintable(sim.errorString()));
    QTemporaryDir dir;
    const QString capture = dir.filePath(QStringLiteral("light.pcapng"));
    const Run r = cli({"--udp", QStringLiteral("127.0.0.1:%1").arg(sim.udpPort()), "--db",
                       dir.filePath(QStringLiteral("VELM.mdb")), "--trace", "--pcap", capture,
                       "light", "on", "2", "3"});
    QCOMPARE(r.exitCode, 0);
    const QStringList lines = r.err.split(QLatin1Char('\n'));
    const auto line = [&lines](const QString& words) {
        for (const QString& l : lines)
            if (l.contains(words))
                return l;
        return QString();
    };
    const QString sent = line(QStringLiteral("request to module 2 in subnet 1: Light On"));
    QVERIFY2(sent.contains(QStringLiteral(" sent ")), qPrintable(r.err));
    QVERIFY(sent.contains(QStringLiteral("network")));
    QVERIFY(sent.contains(QStringLiteral("password hidden")));
    QVERIFY(sent.contains(QStringLiteral("55 AA 1C XX XX")));
    const QString received = line(QStringLiteral("reply from module 2 in subnet 1: Light On; OK!"));
    QVERIFY2(received.contains(QStringLiteral(" received ")), qPrintable(r.err));
    QVERIFY(!r.err.contains(kPasswordHex));
    QVERIFY(r.err.contains(QStringLiteral("password is in it")));
    // The capture holds the frames as they went over the wire, the password included.
    const CaptureFile file = readCapture(capture);
    QVERIFY2(file.ok, qPrintable(file.error));
    QCOMPARE(file.packets.size(), 2);
    QVERIFY(file.packets[0].frame.contains(QByteArrayLiteral("418273")));
    QCOMPARE(file.packets[1].sourcePort, sim.udpPort());
}

void TestE2eCliMonitor::watchCapturesUntilInterrupted() {
    QUdpSocket gateway;
    QVERIFY(gateway.bind(QHostAddress::LocalHost, 0));
    const quint16 localPort = SimProcess::freeUdpPort();
    QTemporaryDir dir;
    const QString capture = dir.filePath(QStringLiteral("watch.pcapng"));
    QProcess p;
    p.start(buildpaths::bin("velm-cli"),
            {"--udp", QStringLiteral("127.0.0.1:%1").arg(gateway.localPort()), "--local-port",
             QString::number(localPort), "watch", "--pcap", capture});
    QString err;
    QTRY_VERIFY_WITH_TIMEOUT((err += QString::fromUtf8(p.readAllStandardError()))
                                 .contains(QStringLiteral("listening on UDP port")),
                             10000);
    // A light module's reply as the gateway passes it on.
    const QByteArray frame = QByteArray::fromHex("55AA0B00010281020154 3B");
    QString out;
    QElapsedTimer clock;
    clock.start();
    // Once is enough on loopback; again now and then in case the first came too early.
    while (!out.contains(QStringLiteral("reply from module 2 in subnet 1: Curtain Close; OK!")) &&
           clock.elapsed() < 10000) {
        gateway.writeDatagram(frame, QHostAddress::LocalHost, localPort);
        QTest::qWait(200);
        out += QString::fromUtf8(p.readAllStandardOutput());
    }
    QVERIFY2(out.contains(QStringLiteral("Curtain Close")), qPrintable(out + err));
    // Under its own name only once it is whole.
    QVERIFY(QFile::exists(capture + ".part") && !QFile::exists(capture));
    ::kill(pid_t(p.processId()), SIGINT);
    QVERIFY(p.waitForFinished(10000));
    QCOMPARE(p.exitStatus(), QProcess::NormalExit);
    QCOMPARE(p.exitCode(), 0);
    QVERIFY(!QFile::exists(capture + ".part"));
    QFile raw(capture);
    QVERIFY(raw.open(QIODevice::ReadOnly));
    const QByteArray bytes = raw.readAll();
    QCOMPARE(bytes.left(4), QByteArray::fromHex("0A0D0D0A"));
    QVERIFY(bytes.contains(frame));
    const CaptureFile file = readCapture(capture);
    QVERIFY2(file.ok, qPrintable(file.error));
    QVERIFY(!file.packets.isEmpty());
    QCOMPARE(file.packets[0].frame, frame);
    QCOMPARE(file.packets[0].destinationPort, localPort);
}

// Ctrl+C in the middle of a read-all: the capture up to there stands under its own name, whole.
void TestE2eCliMonitor::readAllInterruptedKeepsItsCapture() {
    SimProcess sim;
    QVERIFY2(sim.start(), qPrintable(sim.errorString()));
    QTemporaryDir dir;
    const QString capture = dir.filePath(QStringLiteral("timers.pcapng"));
    schema::createDatabase(dir.filePath(QStringLiteral("VELM.mdb")));
    QProcess p;
    p.start(buildpaths::bin("velm-cli"),
            {"--udp", QStringLiteral("127.0.0.1:%1").arg(sim.udpPort()), "--db",
             dir.filePath(QStringLiteral("VELM.mdb")), "--trace", "--pcap", capture, "timers",
             "read", "6"});
    QString err;
    QTRY_VERIFY_WITH_TIMEOUT(
        (err += QString::fromUtf8(p.readAllStandardError())).count(QStringLiteral(" received ")) >=
            3,
        20000);
    QVERIFY(QFile::exists(capture + ".part"));
    ::kill(pid_t(p.processId()), SIGINT);
    QVERIFY(p.waitForFinished(10000));
    QCOMPARE(p.exitStatus(), QProcess::NormalExit);
    QCOMPARE(p.exitCode(), 128 + SIGINT);
    QVERIFY(!QFile::exists(capture + ".part"));
    const CaptureFile file = readCapture(capture);
    QVERIFY2(file.ok, qPrintable(file.error));
    // Cut short: not every timer's request and reply is in it.
    QVERIFY(file.packets.size() >= 6 && file.packets.size() < 64);
}

QTEST_GUILESS_MAIN(TestE2eCliMonitor)
#include "test_e2e_cli_monitor.moc"

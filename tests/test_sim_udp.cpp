// The velm-sim program end to end: started as a process, reached on loopback UDP, on its own
// pseudo-terminal and through its control commands on stdin.
#include "link/frames.h"
#include "link/request_layout.h"
#include "support/build_paths.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkDatagram>
#include <QNetworkInterface>
#include <QProcess>
#include <QTest>
#include <QUdpSocket>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {

quint16 freeUdpPort() {
    QUdpSocket probe;
    probe.bind(QHostAddress::LocalHost, 0);
    return probe.localPort();
}

QByteArray requestFrame(const RequestLayout& layout, const Request& r, bool password) {
    const QByteArray area = layout.bytes(r);
    return frames::BusFrame(reinterpret_cast<const quint8*>(area.constData()), password,
                            QStringLiteral("418273"));
}

// Reads stdout lines until one starts with `prefix`.
QString waitForLine(QProcess& p, const QString& prefix, int ms = 5000) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms) {
        while (p.canReadLine()) {
            const QString line = QString::fromUtf8(p.readLine()).trimmed();
            if (line.startsWith(prefix))
                return line;
        }
        p.waitForReadyRead(100);
    }
    return {};
}

} // namespace

class TestSimUdp : public QObject {
    Q_OBJECT
private slots:
    void udpExchangeAndDump();
    void serialExchange();
    void refusesNonLoopback();
    void refusesBroadcastBesideARealNetwork();
};

void TestSimUdp::udpExchangeAndDump() {
    const quint16 port = freeUdpPort();
    QProcess sim;
    sim.start(buildpaths::bin("velm-sim"),
              {"--udp-port", QString::number(port), "--light", "1,2", "--curtain", "3"});
    QVERIFY(sim.waitForStarted());
    QCOMPARE(waitForLine(sim, "udp:"), QStringLiteral("udp: 127.0.0.1:%1").arg(port));
    QVERIFY(!waitForLine(sim, "ready").isEmpty());

    QUdpSocket client;
    QVERIFY(client.bind(QHostAddress::LocalHost, 0));
    client.writeDatagram(
        requestFrame(RequestLayout::longForm(1), Request(2, 2, 1, {4, 0xFF}), true),
        QHostAddress::LocalHost, port);
    QVERIFY(client.waitForReadyRead(3000));
    const QByteArray reply = client.receiveDatagram().data();
    QCOMPARE(reply.left(9), QByteArray::fromHex("55AA0B000102820101"));
    QVERIFY(!waitForLine(sim, "tx udp 127.0.0.1:").isEmpty());

    sim.write("dump\n");
    const QString dump = waitForLine(sim, "{");
    const QJsonObject state = QJsonDocument::fromJson(dump.toUtf8()).object();
    const QJsonArray modules = state["modules"].toArray();
    QCOMPARE(modules.size(), 3);
    QCOMPARE(modules[1].toObject()["states"].toArray()[4].toInt(), 1);

    sim.write("quit\n");
    QVERIFY(sim.waitForFinished(5000));
    QCOMPARE(sim.exitCode(), 0);
}

void TestSimUdp::serialExchange() {
    QProcess sim;
    sim.start(buildpaths::bin("velm-sim"), {"--no-udp", "--serial", "--baud", "19200"});
    QVERIFY(sim.waitForStarted());
    const QString line = waitForLine(sim, "serial:");
    QVERIFY(line.startsWith("serial: /dev/"));
    const QByteArray path = line.mid(8).toLocal8Bit();
    const int fd = ::open(path.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    QVERIFY(fd >= 0);
    termios raw{};
    ::tcgetattr(fd, &raw);
    cfmakeraw(&raw);
    ::tcsetattr(fd, TCSANOW, &raw);

    const QByteArray request = requestFrame(RequestLayout::shortForm(), Request(0xFF, 0, 5), false);
    QCOMPARE(request, QByteArray::fromHex("55AA08FF000557A1"));
    QVERIFY(::write(fd, request.constData(), size_t(request.size())) == request.size());
    QByteArray reply;
    QElapsedTimer clock;
    clock.start();
    while (reply.size() < 10 && clock.elapsed() < 3000) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 100) > 0) {
            char buf[64];
            const ssize_t n = ::read(fd, buf, sizeof buf);
            if (n > 0)
                reply.append(buf, qsizetype(n));
        }
    }
    ::close(fd);
    // Short form: the module on the bench (the first light module) gives its address.
    QCOMPARE(reply.left(8), QByteArray::fromHex("55AA0A0180050101"));
    sim.write("quit\n");
    QVERIFY(sim.waitForFinished(5000));
}

void TestSimUdp::refusesNonLoopback() {
    QProcess sim;
    sim.start(buildpaths::bin("velm-sim"), {"--udp-host", "192.0.2.1"});
    QVERIFY(sim.waitForFinished(5000));
    QVERIFY(sim.exitCode() != 0);
    QVERIFY(sim.readAllStandardError().contains("loopback"));
}

// Taking broadcasts is only for a namespace that has nothing but loopback.
void TestSimUdp::refusesBroadcastBesideARealNetwork() {
    bool realInterface = false;
    for (const QNetworkInterface& i : QNetworkInterface::allInterfaces())
        realInterface |= !i.flags().testFlag(QNetworkInterface::IsLoopBack);
    if (!realInterface)
        QSKIP("only loopback here: the simulator would take broadcasts");
    QProcess sim;
    sim.start(buildpaths::bin("velm-sim"),
              {"--udp-broadcast", "--udp-port", QString::number(freeUdpPort())});
    QVERIFY(sim.waitForFinished(5000));
    QVERIFY(sim.exitCode() != 0);
    QVERIFY(sim.readAllStandardError().contains("not loopback"));
}

QTEST_GUILESS_MAIN(TestSimUdp)
#include "test_sim_udp.moc"

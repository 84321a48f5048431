// The simulated installation's own behaviour, driven through its UDP and serial endpoints with
// frames built by the link layer's frame code.
#include "link/frames.h"
#include "link/request_layout.h"
#include "sim/control_interface.h"
#include "sim/control_server.h"
#include "sim/fault_injector.h"
#include "sim/installation.h"
#include "sim/serial_endpoint.h"
#include "sim/traffic_log.h"
#include "sim/udp_endpoint.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonObject>
#include <QNetworkDatagram>
#include <QSignalSpy>
#include <QTcpSocket>
#include <QTest>
#include <QUdpSocket>

#include <fcntl.h>
#include <memory>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {

struct Reply {
    QByteArray raw;
    quint8 address = 0;
    quint8 command = 0;
    quint8 sub = 0;
    quint8 status = 0;
    QByteArray data;
};

// One simulated installation with a UDP endpoint on an ephemeral loopback port and a client.
class SimRig {
public:
    explicit SimRig(SimConfig config = {}) {
        if (config.modules.isEmpty())
            config.modules = SimConfig::defaultModules();
        installation = std::make_unique<Installation>(config);
        endpoint = std::make_unique<UdpEndpoint>(*installation, faults, log);
        QString error;
        listening = endpoint->listen(QHostAddress::LocalHost, 0, &error);
        client.bind(QHostAddress::LocalHost, 0);
        control = std::make_unique<ControlInterface>(*installation, faults);
    }

    void sendRaw(const QByteArray& datagram) {
        client.writeDatagram(datagram, QHostAddress::LocalHost, endpoint->port());
    }
    void send(const Request& r, const QString& password = QStringLiteral("418273"),
              quint16 subnet = 1) {
        const QByteArray area = RequestLayout::longForm(subnet).bytes(r);
        sendRaw(
            frames::BusFrame(reinterpret_cast<const quint8*>(area.constData()), true, password));
    }
    // The next datagram within `ms`; an empty raw frame when none came.
    Reply next(int ms = 1000) {
        Reply out;
        if (!QTest::qWaitFor([this] { return client.hasPendingDatagrams(); }, ms))
            return out;
        out.raw = client.receiveDatagram().data();
        if (out.raw.size() >= 11 && quint8(out.raw[0]) == 0x55) {
            out.address = quint8(out.raw[5]);
            out.command = quint8(out.raw[6]);
            out.sub = quint8(out.raw[7]);
            out.status = quint8(out.raw[8]);
            out.data = out.raw.mid(9, out.raw.size() - 11);
        }
        return out;
    }
    Reply exchange(const Request& r) { return send(r), next(); }
    QByteArray states(quint8 module) { return exchange(Request(module, 0x00, 0x08)).data.mid(1); }
    QJsonObject moduleJson(quint8 address) {
        for (const QJsonValue& m : installation->toJson()["modules"].toArray())
            if (m["address"].toInt() == address)
                return m.toObject();
        return {};
    }

    QStringList lines;
    TrafficLog log{[this](const QString& l) { lines << l; }};
    FaultInjector faults;
    std::unique_ptr<Installation> installation;
    std::unique_ptr<UdpEndpoint> endpoint;
    std::unique_ptr<ControlInterface> control;
    QUdpSocket client;
    bool listening = false;
};

QByteArray hex(const char* text) {
    return QByteArray::fromHex(text);
}

} // namespace

class TestSimCore : public QObject {
    Q_OBJECT
private slots:
    void channelCommands_data();
    void channelCommands();
    void statusReplyLayout();
    void addressReadAndSet();
    void typeAndVersion();
    void scenes();
    void irLearning();
    void clockTimersAndEvents();
    void inputTriggerSendsAction();
    void timerFiresEvents();
    void timerFiresOnClock();
    void monitorBindingsAndBindTest();
    void busSwitchSettings();
    void ignoredRequests_data();
    void ignoredRequests();
    void passwordChange();
    void faults();
    void serialLink();
    void controlLineIsBounded();
};

void TestSimCore::channelCommands_data() {
    QTest::addColumn<quint8>("module");
    QTest::addColumn<QByteArray>("request"); // command, sub-command, parameters
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("states"); // of `module` afterwards

    const QByteArray off8(8, '\0');
    QTest::newRow("light on ch3") << quint8(1) << hex("020102FF") << 1 << hex("0000010000000000");
    QTest::newRow("light toggle ch8")
        << quint8(1) << hex("020307FF") << 1 << hex("0000000000000001");
    QTest::newRow("light off ch1") << quint8(1) << hex("020200FF") << 1 << off8;
    QTest::newRow("light all on") << quint8(0xFF) << hex("0204FFFF") << 1 << QByteArray(8, 1);
    QTest::newRow("curtain open ch2 instant")
        << quint8(3) << hex("010101FF") << 1 << hex("00030000"); // opening, moving bit set
    QTest::newRow("curtain all close") << quint8(0xFF) << hex("0105FFFF") << 1 << hex("02020202");
    QTest::newRow("channel beyond count") << quint8(1) << hex("020108FF") << 3 << off8;
    QTest::newRow("curtain channel 5") << quint8(3) << hex("010104FF") << 3 << hex("00000000");
    QTest::newRow("unknown light sub") << quint8(1) << hex("020900FF") << 6 << off8;
    QTest::newRow("curtain command to light") << quint8(1) << hex("010100FF") << 6 << off8;
    QTest::newRow("on-state 65001 s") << quint8(1) << hex("020000FDE9") << 5 << off8;
    QTest::newRow("travel 60100 ms") << quint8(3) << hex("010000EAC4") << 5 << hex("00000000");
    QTest::newRow("IR command to light") << quint8(1) << hex("03040001") << 6 << off8;
}

void TestSimCore::channelCommands() {
    QFETCH(quint8, module);
    QFETCH(QByteArray, request);
    QFETCH(int, status);
    QFETCH(QByteArray, states);
    SimRig rig;
    QVERIFY(rig.listening);
    const Reply r =
        rig.exchange(Request(module, quint8(request[0]), quint8(request[1]), request.mid(2)));
    QCOMPARE(r.status, quint8(status));
    QCOMPARE(r.command, quint8(request[0] | 0x80));
    const quint8 target = module == 0xFF ? (request[0] == 1 ? 3 : 1) : module;
    QCOMPARE(rig.states(target), states);
}

void TestSimCore::statusReplyLayout() {
    SimRig rig;
    rig.exchange(Request(2, 2, 1, {0, 0xFF}));
    rig.exchange(Request(2, 2, 1, {2, 0xFF}));
    // Long form: 55 AA L, subnet, module, 80 08, status 1, byte 7 = 1, eight state bytes.
    const Reply r = rig.exchange(Request(2, 0, 8));
    QCOMPARE(r.raw.left(11), hex("55AA1400010280080101"
                                 "01")
                                 .left(11));
    QCOMPARE(r.data, hex("010100010000000000"));
    QVERIFY(frames::busChecksumOk(reinterpret_cast<const quint8*>(r.raw.constData()), 20));

    // An on-state duration switches the channel off again when it runs out.
    QCOMPARE(rig.exchange(Request(2, 2, 0, {4, 0x00, 0x01})).status, quint8(1));
    rig.exchange(Request(2, 2, 1, {4, 0xFF}));
    QCOMPARE(quint8(rig.states(2)[4]), quint8(1));
    QTRY_COMPARE_WITH_TIMEOUT(rig.moduleJson(2)["states"].toArray()[4].toInt(), 0, 4000);
}

void TestSimCore::addressReadAndSet() {
    SimRig rig;
    Reply r = rig.exchange(Request(0xFF, 0, 5));
    QCOMPARE(r.address, quint8(1));
    QCOMPARE(r.data, hex("01"));

    r = rig.exchange(Request(0xFF, 0, 0, {3})); // 3 is the curtain module's
    QCOMPARE(r.status, quint8(7));
    QCOMPARE(frames::statusText(r.status), QStringLiteral("Module Address Occupied!"));

    r = rig.exchange(Request(0xFF, 0, 0, {9}));
    QCOMPARE(r.status, quint8(1));
    QCOMPARE(r.address, quint8(9));
    QCOMPARE(rig.exchange(Request(0xFF, 0, 5)).data, hex("09"));
    QCOMPARE(rig.exchange(Request(9, 0, 6)).data, hex("0108"));
    QVERIFY(rig.next(200).raw.isEmpty());
    rig.send(Request(1, 0, 6)); // nobody is at 1 any more
    QVERIFY(rig.next(300).raw.isEmpty());
}

void TestSimCore::typeAndVersion() {
    SimRig rig;
    QCOMPARE(rig.exchange(Request(3, 0, 6)).data, hex("0204"));
    const Reply version = rig.exchange(Request(4, 0, 7));
    QCOMPARE(version.status, quint8(1));
    QVERIFY(version.data.startsWith("IR8"));
    const Reply gateway = rig.exchange(Request(0xFF, 0, 6));
    QCOMPARE(gateway.raw.mid(3, 3), hex("FFFFFF"));
    QCOMPARE(gateway.data.size(), 2);
    QCOMPARE(rig.exchange(Request(1, 0, 0x09)).status, quint8(1));
    QCOMPARE(rig.exchange(Request(1, 0, 0x1F)).status, quint8(6));
}

void TestSimCore::scenes() {
    SimRig rig;
    rig.exchange(Request(1, 2, 1, {1, 0xFF})); // channel 2 on before the scene
    QCOMPARE(rig.exchange(Request(1, 0, 2, {7, 1, 0xFF, 0, 1})).status, quint8(1));
    QCOMPARE(rig.exchange(Request(3, 0, 2, {7, 1, 1, 1, 1, 1})).status, quint8(3));
    QCOMPARE(rig.exchange(Request(1, 0, 2, {7, 2})).status, quint8(5));
    QCOMPARE(rig.exchange(Request(5, 0, 2, {7, 1})).status, quint8(6)); // input module

    const Reply test = rig.exchange(Request(0xFF, 0, 4, {0xFF, 7}));
    QCOMPARE(test.status, quint8(1));
    QCOMPARE(rig.states(1), hex("0101000100000000"));
    rig.send(Request(0xFF, 0, 4, {0xFF, 8})); // nobody holds scene 8
    QVERIFY(rig.next(300).raw.isEmpty());

    QCOMPARE(rig.exchange(Request(1, 0, 3, {7})).status, quint8(1));
    rig.send(Request(0xFF, 0, 4, {0xFF, 7}));
    QVERIFY(rig.next(300).raw.isEmpty());
}

void TestSimCore::irLearning() {
    SimConfig config;
    config.irLearnMs = 100;
    config.irDeleteAllMs = 400;
    SimRig rig(config);
    QCOMPARE(rig.exchange(Request(4, 3, 4, {0, 17})).status, quint8(8)); // nothing learned yet

    QElapsedTimer clock;
    clock.start();
    const Reply started = rig.exchange(Request(4, 3, 0, {0, 17}));
    QCOMPARE(started.sub, quint8(0));
    const Reply learned = rig.next(3000);
    QCOMPARE(learned.command, quint8(0x83));
    QCOMPARE(learned.sub, quint8(4));
    QCOMPARE(learned.status, quint8(1));
    QVERIFY(clock.elapsed() >= 90);

    QCOMPARE(rig.exchange(Request(4, 3, 4, {0, 17})).status, quint8(1));
    QCOMPARE(rig.exchange(Request(4, 3, 0, {0, 251})).status, quint8(5));

    // Learning ended early from the control interface, with the delay far away.
    config.irLearnMs = 0;
    SimRig manual(config);
    manual.exchange(Request(4, 3, 0, {0, 30}));
    QVERIFY(manual.next(300).raw.isEmpty());
    QCOMPARE(manual.control->execute("learn-done"), QStringLiteral("ok"));
    QCOMPARE(manual.next().sub, quint8(4));
    QCOMPARE(manual.moduleJson(4)["irCodes"].toArray(), QJsonArray{30});

    // Deleting everything takes the module a while.
    manual.send(Request(4, 3, 3, {0, 0xFF}));
    QVERIFY(manual.next(150).raw.isEmpty());
    QCOMPARE(manual.next(3000).sub, quint8(3));
    QCOMPARE(manual.exchange(Request(4, 3, 2, {0, 30})).status, quint8(8));
}

void TestSimCore::clockTimersAndEvents() {
    SimRig rig;
    // 2014-02-24 (a Monday) 12:12:12.
    QCOMPARE(rig.exchange(Request(6, 4, 0, hex("12121224010214"))).status, quint8(1));
    const QByteArray clock = rig.exchange(Request(6, 4, 1)).data;
    QCOMPARE(clock.mid(2), hex("1224010214"));
    QCOMPARE(rig.exchange(Request(6, 4, 0, hex("12129924010214"))).status, quint8(5));

    const QByteArray timer = hex("03"
                                 "00301924010214"); // Day(repeat) 19:30:00
    QCOMPARE(rig.exchange(Request(6, 4, 2, hex("02") + timer)).status, quint8(1));
    QCOMPARE(rig.exchange(Request(6, 4, 3, {2})).data, timer);
    QCOMPARE(rig.exchange(Request(6, 4, 3, {3})).data.left(1), hex("FF"));
    QCOMPARE(rig.exchange(Request(6, 4, 2, hex("20") + timer)).status, quint8(5)); // 33rd
    QCOMPARE(rig.exchange(Request(6, 4, 2, hex("0207") + timer.mid(1))).status, quint8(5));
    // The delete step's filler bytes are fine for an invalid timer.
    QCOMPARE(rig.exchange(Request(6, 4, 2, hex("02FF01010101010101"))).status, quint8(1));

    QCOMPARE(rig.exchange(Request(6, 4, 4,
                                  hex("0102020205"
                                      "03"
                                      "07")))
                 .status,
             quint8(1));
    QCOMPARE(rig.exchange(Request(6, 4, 5, {1, 2})).data, hex("0202050307"));
    QCOMPARE(rig.exchange(Request(6, 4, 5, {1, 3})).data, hex("FFFFFFFFFF"));
    QCOMPARE(rig.exchange(Request(6, 4, 4, hex("0110020505030007"))).status, quint8(5));
    QCOMPARE(rig.exchange(Request(6, 4, 4, hex("0102050205030007"))).status, quint8(5));
    QCOMPARE(rig.exchange(Request(1, 4, 1)).status, quint8(6)); // a light module has no clock
}

void TestSimCore::inputTriggerSendsAction() {
    SimRig rig;
    // Input 5 channel 2: "NO", Light On module 1 channel 4, no delay.
    const QByteArray binding = hex("01"
                                   "01"
                                   "0201"
                                   "01"
                                   "03"
                                   "00"
                                   "00");
    QCOMPARE(rig.exchange(Request(5, 0, 1, binding)).status, quint8(1));
    QCOMPARE(rig.exchange(Request(5, 0, 0x0F, {1})).data, binding.mid(1));
    QCOMPARE(rig.exchange(Request(5, 0, 0x0F, {2})).data, hex("FFFFFFFFFFFF7F"));
    QCOMPARE(rig.exchange(Request(5, 0, 0x0F, {14})).status, quint8(3));
    QCOMPARE(rig.exchange(Request(5, 0, 1,
                                  hex("01010201010300"
                                      "3D")))
                 .status,
             quint8(5));

    QSignalSpy bus(rig.installation.get(), &Installation::busFrame);
    QCOMPARE(rig.control->execute("trigger 5 2"), QStringLiteral("ok"));
    QCOMPARE(rig.states(1), hex("0000000100000000"));
    QCOMPARE(bus.size(), 1);
    QCOMPARE(bus[0][0].toByteArray().mid(3, 5), hex("01020103FF"));
    QVERIFY(rig.control->execute("trigger 5 3").startsWith("error"));
    QVERIFY(rig.control->execute("trigger 1 1").startsWith("error"));
}

void TestSimCore::timerFiresEvents() {
    SimRig rig;
    rig.exchange(Request(6, 4, 4,
                         hex("0000"
                             "0203"
                             "0200"
                             "FF"))); // toggle light 2 ch 1
    rig.exchange(Request(6, 4, 4,
                         hex("0001"
                             "0101"
                             "0303"
                             "FF"))); // open curtain 3 ch 4
    QCOMPARE(rig.control->execute("fire 6 1"), QStringLiteral("ok"));
    QCOMPARE(quint8(rig.states(2)[0]), quint8(1));
    QCOMPARE(quint8(rig.states(3)[3]) & 1, 1);
    QVERIFY(rig.control->execute("fire 6 33").startsWith("error"));
}

void TestSimCore::timerFiresOnClock() {
    SimRig rig;
    // Clock 2014-02-24 12:00:00; timer 1 "Once" at 12:00:02 switches light 1 channel 1 on.
    rig.exchange(Request(6, 4, 0, hex("00001224010214")));
    rig.exchange(Request(6, 4, 2,
                         hex("00"
                             "00"
                             "02001224010214")));
    rig.exchange(Request(6, 4, 4,
                         hex("0000"
                             "0201"
                             "0100"
                             "FF")));
    QTRY_COMPARE_WITH_TIMEOUT(rig.moduleJson(1)["states"].toArray()[0].toInt(), 1, 8000);
}

void TestSimCore::monitorBindingsAndBindTest() {
    SimRig rig;
    // Light slot: room 1, device 3 bound to module 1 channel 4; curtain room 2 device 1 to
    // module 3 channel 2.
    QCOMPARE(rig.exchange(Request(0xFF, 0, 0x0E, {1, 0, 2, 1, 3})).status, quint8(1));
    QCOMPARE(rig.exchange(Request(0xFF, 0, 0x0E, {2, 1, 0, 3, 1})).status, quint8(1));
    QCOMPARE(rig.exchange(Request(0xFF, 0, 0x0E, {4, 1, 0, 3, 1})).status, quint8(5));
    QCOMPARE(rig.exchange(Request(0xFF, 0, 0x10, {1, 0, 2})).data, hex("0103"));
    QCOMPARE(rig.exchange(Request(0xFF, 0, 0x10, {1, 0, 3})).data, hex("FFFF"));

    rig.sendRaw(frames::bindFrameFromPayload(hex("0201000201")));
    QCOMPARE(rig.next().raw, frames::bindFrameFromPayload(hex("0201000201")));
    QCOMPARE(quint8(rig.states(1)[3]), quint8(1));
    rig.sendRaw(frames::bindFrameFromPayload(hex("82010002")));
    QCOMPARE(rig.next().raw, frames::bindFrameFromPayload(hex("8201000201")));

    rig.sendRaw(frames::bindFrameFromPayload(hex("83010100")));
    QCOMPARE(rig.next().raw, frames::bindFrameFromPayload(hex("8301010000")));
    rig.sendRaw(frames::bindFrameFromPayload(hex("0301010001")));
    rig.next();
    rig.sendRaw(frames::bindFrameFromPayload(hex("83010100")));
    QCOMPARE(rig.next().raw, frames::bindFrameFromPayload(hex("8301010001")));

    rig.sendRaw(frames::bindFrameFromPayload(hex("82010505"))); // unbound device
    QVERIFY(rig.next(300).raw.isEmpty());
}

void TestSimCore::busSwitchSettings() {
    SimConfig config;
    config.restoreMs = 300;
    SimRig rig(config);
    const QByteArray block = hex("0001C0A8010A1F40FFFFFF00C0A80101C0A8010223280"
                                 "01A2B3C4D5E");
    QCOMPARE(block.size(), 28);
    // On the ordinary subnet 00/00 sets a module address and takes one byte only.
    QCOMPARE(rig.exchange(Request(0xFF, 0, 0, block)).status, quint8(5));
    rig.send(Request(0xFF, 0, 0, block), QStringLiteral("418273"), 0xFFFF);
    QCOMPARE(rig.next().status, quint8(1));
    // The broadcast read needs no password.
    const QByteArray read = hex("0000"
                                "0A"
                                "FFFF"
                                "FF0005"
                                "0000");
    rig.sendRaw(frames::BusFrame(reinterpret_cast<const quint8*>(read.constData()), false, {}));
    const Reply settings = rig.next();
    QCOMPARE(settings.raw.mid(3, 3), hex("FFFFFF"));
    QCOMPARE(settings.data, block);
    rig.send(Request(0xFF, 0, 0, block.left(27)), QStringLiteral("418273"), 0xFFFF);
    QCOMPARE(rig.next().status, quint8(5));

    QCOMPARE(rig.exchange(Request(0xFF, 0, 0x0C, {1})).status, quint8(1));
    QVERIFY(rig.installation->toJson()["busSwitch"].toObject()["transparent"].toBool());
    QCOMPARE(rig.exchange(Request(0xFF, 0, 0x0C, {2})).status, quint8(5));

    rig.send(Request(0xFF, 0, 0x0A)); // restore answers only when the gateway is back
    QVERIFY(rig.next(150).raw.isEmpty());
    QCOMPARE(rig.next(3000).sub, quint8(0x0A));
    QVERIFY(!rig.installation->toJson()["busSwitch"].toObject()["transparent"].toBool());
}

void TestSimCore::ignoredRequests_data() {
    QTest::addColumn<QByteArray>("datagram");
    const auto frame = [](const Request& r, const QString& pw, quint16 subnet, bool block) {
        const QByteArray area = RequestLayout::longForm(subnet).bytes(r);
        return frames::BusFrame(reinterpret_cast<const quint8*>(area.constData()), block, pw);
    };
    const Request read(1, 0, 8);
    QTest::newRow("wrong password") << frame(read, "418274", 1, true);
    QTest::newRow("no password block") << frame(read, "", 1, false);
    QTest::newRow("other subnet") << frame(read, "418273", 2, true);
    QTest::newRow("unknown module") << frame(Request(20, 0, 8), "418273", 1, true);
    QByteArray bad = frame(read, "418273", 1, true);
    bad[bad.size() - 1] = char(bad[bad.size() - 1] ^ 1);
    QTest::newRow("bad checksum") << bad;
    QTest::newRow("status read broadcast") << frame(Request(0xFF, 0, 8), "418273", 1, true);
    QTest::newRow("garbage") << hex("0102030405060708");
}

void TestSimCore::ignoredRequests() {
    QFETCH(QByteArray, datagram);
    SimRig rig;
    rig.sendRaw(datagram);
    QVERIFY(rig.next(300).raw.isEmpty());
    QVERIFY(!rig.lines.isEmpty()); // logged all the same
    QVERIFY(rig.lines.first().startsWith("rx udp 127.0.0.1:"));
}

void TestSimCore::passwordChange() {
    SimRig rig;
    const QByteArray field = QByteArray("abcd") + QByteArray(12, char(0xFF));
    QCOMPARE(rig.exchange(Request(0xFF, 0, 0x0B, field)).status, quint8(1));
    rig.send(Request(1, 0, 8));
    QVERIFY(rig.next(300).raw.isEmpty());
    rig.send(Request(1, 0, 8), QStringLiteral("abcd"));
    QCOMPARE(rig.next().status, quint8(1));
}

void TestSimCore::faults() {
    SimRig rig;
    QCOMPARE(rig.control->execute("drop 1"), QStringLiteral("ok"));
    rig.send(Request(1, 0, 8));
    QVERIFY(rig.next(300).raw.isEmpty());
    QCOMPARE(rig.exchange(Request(1, 0, 8)).status, quint8(1));

    rig.control->execute("error 5");
    const Reply error = rig.exchange(Request(1, 2, 1, {0, 0xFF}));
    QCOMPARE(error.status, quint8(5));
    QCOMPARE(rig.exchange(Request(1, 0, 6)).status, quint8(1));

    rig.control->execute("corrupt");
    const Reply corrupt = rig.exchange(Request(1, 0, 6));
    QVERIFY(!corrupt.raw.isEmpty());
    QVERIFY(!frames::busChecksumOk(reinterpret_cast<const quint8*>(corrupt.raw.constData()),
                                   int(corrupt.raw.size())));

    rig.control->execute("delay 400");
    QElapsedTimer clock;
    clock.start();
    rig.send(Request(1, 0, 6));
    QVERIFY(rig.next(150).raw.isEmpty());
    QVERIFY(!rig.next(3000).raw.isEmpty());
    QVERIFY(clock.elapsed() >= 350);
    QVERIFY(rig.control->execute("bogus").startsWith("error"));
}

namespace {
QList<QByteArray> readBursts(int fd, int totalMs) {
    // Bursts of bytes separated by more than 100 ms of quiet, as the tool's serial intake
    // cuts them.
    QList<QByteArray> bursts;
    QElapsedTimer clock;
    clock.start();
    qint64 last = -1000;
    while (clock.elapsed() < totalMs) {
        QCoreApplication::processEvents();
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 5) <= 0)
            continue;
        char buf[256];
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n <= 0)
            continue;
        if (clock.elapsed() - last > 100)
            bursts.append(QByteArray());
        bursts.last().append(buf, qsizetype(n));
        last = clock.elapsed();
    }
    return bursts;
}
} // namespace

void TestSimCore::serialLink() {
    SimConfig config;
    config.modules = SimConfig::defaultModules();
    Installation installation(config);
    FaultInjector faults;
    QStringList lines;
    TrafficLog log([&lines](const QString& l) { lines << l; });
    SerialEndpoint serial(installation, faults, log, false, 9600);
    QString error;
    QVERIFY2(serial.openPty(&error), qPrintable(error));
    const int fd = ::open(serial.path().toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    QVERIFY(fd >= 0);
    termios raw{};
    ::tcgetattr(fd, &raw);
    cfmakeraw(&raw);
    ::tcsetattr(fd, TCSANOW, &raw);

    // Short form both ways; garbage before the frame is skipped.
    QByteArray area = RequestLayout::shortForm().bytes(Request(1, 0, 8));
    const QByteArray request =
        frames::BusFrame(reinterpret_cast<const quint8*>(area.constData()), false, {});
    QVERIFY(::write(fd, "\x01\x02", 2) == 2);
    QVERIFY(::write(fd, request.constData(), size_t(request.size())) == request.size());
    QList<QByteArray> bursts = readBursts(fd, 600);
    QCOMPARE(bursts.size(), 1);
    QCOMPARE(bursts[0].left(8), hex("55AA120180080101"));
    QVERIFY(lines.join('\n').contains("garbage"));

    // The gateway's own requests keep the long layout on a short line.
    area = RequestLayout::longForm(1).bytes(Request(0xFF, 0, 6));
    const QByteArray gateway =
        frames::BusFrame(reinterpret_cast<const quint8*>(area.constData()), false, {});
    QVERIFY(::write(fd, gateway.constData(), size_t(gateway.size())) == gateway.size());
    bursts = readBursts(fd, 600);
    QCOMPARE(bursts.size(), 1);
    QCOMPARE(bursts[0].mid(3, 3), hex("FF8006"));

    // A split reply arrives as two bursts, neither a whole frame.
    faults.splitNext();
    QVERIFY(::write(fd, request.constData(), size_t(request.size())) == request.size());
    bursts = readBursts(fd, 1200);
    QCOMPARE(bursts.size(), 2);
    QCOMPARE(bursts[0].size() + bursts[1].size(), 18);
    ::close(fd);
}

void TestSimCore::controlLineIsBounded() {
    SimRig rig;
    ControlServer server(*rig.control);
    QString error;
    QVERIFY2(server.listen(0, &error), qPrintable(error));

    // A client that never ends its line is refused, not buffered without end.
    QTcpSocket flood;
    flood.connectToHost(QHostAddress::LocalHost, server.port());
    QVERIFY(flood.waitForConnected(3000));
    flood.write(QByteArray(64 * 1024, 'x'));
    QTRY_COMPARE_WITH_TIMEOUT(flood.state(), QAbstractSocket::UnconnectedState, 5000);
    QVERIFY(flood.readAll().contains("line too long"));

    // Ordinary command lines still get their answers.
    QTcpSocket client;
    client.connectToHost(QHostAddress::LocalHost, server.port());
    QVERIFY(client.waitForConnected(3000));
    client.write("drop 2\nfaults\n");
    QTRY_COMPARE_WITH_TIMEOUT(client.peek(4096).count('\n'), 2, 5000);
    QCOMPARE(client.readLine().trimmed(), QByteArray("ok"));
    QVERIFY(client.readLine().startsWith("drop=2 "));
}

QTEST_GUILESS_MAIN(TestSimCore)
#include "test_sim_core.moc"

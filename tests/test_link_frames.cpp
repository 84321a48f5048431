// Frames on the wire, byte for byte: the send path's BusFrame (with and without the
// password block, short and long layouts), the bind-test frame, the length caps, and the
// text the traffic log shows for them.
#include "link/bus.h"
#include "link/bus_internals.h"
#include "link/frames.h"
#include "support/link_probe.h"

#include <QtTest>

class TestLinkFrames : public QObject {
    Q_OBJECT
private slots:
    void sendDataDealFrames_data();
    void sendDataDealFrames();
    void skipPasswordClearedInBothModes_data();
    void skipPasswordClearedInBothModes();
    void maskedLog();
    void busFrameCapsAt200();
    void bindFrames_data();
    void bindFrames();
    void bindFrameCapsLength();
    void hexTextFormat();
    void busyLink_data();
    void busyLink();
    void linkDescription_data();
    void linkDescription();
};

void TestLinkFrames::sendDataDealFrames_data() {
    QTest::addColumn<bool>("network");
    QTest::addColumn<bool>("skipPassword");
    QTest::addColumn<QString>("password");
    QTest::addColumn<bool>("longLayout");
    QTest::addColumn<int>("subnet");
    QTest::addColumn<QByteArray>("request"); // module, command, sub-command, parameters
    QTest::addColumn<QByteArray>("frame");

    QTest::newRow("module read, short")
        << false << false << "418273" << false << 0 << bytesOf("FF 00 05")
        << bytesOf("55 AA 08 FF 00 05 57 A1");
    QTest::newRow("module read, long, no password")
        << true << true << "418273" << true << 1 << bytesOf("FF 00 05")
        << bytesOf("55 AA 0A 00 01 FF 00 05 57 A4");
    QTest::newRow("light on, long, subnet high byte first")
        << false << false << "" << true << 0x1234 << bytesOf("03 02 01 00 FF")
        << bytesOf("55 AA 0C 12 34 03 02 01 00 FF 57 FC");
    QTest::newRow("bus switch read")
        << true << true << "418273" << true << 0xFFFF << bytesOf("FF 00 05")
        << bytesOf("55 AA 0A FF FF FF 00 05 51 A1");
    QTest::newRow("three-character password")
        << true << false << "abc" << true << 1 << bytesOf("FF 00 05")
        << bytesOf("55 AA 1A 61 62 63 FF FF FF FF FF FF FF FF FF FF FF FF FF 00 01 FF 00 05 45 9D");
    QTest::newRow("17-character password cut to 16")
        << true << false << "0123456789ABCDEFG" << true << 1 << bytesOf("FF 00 05")
        << bytesOf("55 AA 1A 30 31 32 33 34 35 36 37 38 39 41 42 43 44 45 46 00 01 FF 00 05 50 6A");
    QTest::newRow("empty password")
        << true << false << "" << true << 1 << bytesOf("FF 00 05")
        << bytesOf("55 AA 1A FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF 00 01 FF 00 05 47 A4");
    QTest::newRow("serial mode never sends a password")
        << false << false << "abc" << false << 0 << bytesOf("FF 00 05")
        << bytesOf("55 AA 08 FF 00 05 57 A1");
}

// The unmasked log shows the whole frame, so it is the frame the transport got. In
// network mode without a transport the exchange fails after the log line.
void TestLinkFrames::sendDataDealFrames() {
    QFETCH(bool, network);
    QFETCH(bool, skipPassword);
    QFETCH(QString, password);
    QFETCH(bool, longLayout);
    QFETCH(int, subnet);
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, frame);

    PlainLinkSettings settings;
    settings.network = network;
    settings.masked = false;
    settings.pass = password;
    Bus bus(settings);
    LinkProbe probe(bus);
    const Request r{quint8(request[0]), quint8(request[1]), quint8(request[2]), request.mid(3)};
    bus.submit(r, Purpose::Button,
               {.layout = longLayout ? RequestLayout::longForm(quint16(subnet))
                                     : RequestLayout::shortForm(),
                .skipPassword = skipPassword});

    QCOMPARE(probe.log, QStringList{QStringLiteral("Send ：") + frames::hexText(frame)});
    QCOMPARE(probe.messages,
             network ? QStringList{QStringLiteral("Communication Error！")} : QStringList{});
}

void TestLinkFrames::skipPasswordClearedInBothModes_data() {
    QTest::addColumn<bool>("network");
    QTest::newRow("serial") << false;
    QTest::newRow("network") << true;
}

void TestLinkFrames::skipPasswordClearedInBothModes() {
    QFETCH(bool, network);
    PlainLinkSettings settings;
    settings.network = network;
    settings.masked = false;
    Bus bus(settings);
    LinkProbe probe(bus);
    bus.submit(Request(0xFF, 0, 5), Purpose::Button, {.skipPassword = true});
    bus.send(Request(0xFF, 0, 5));
    QCOMPARE(probe.log.size(), 2);
    // Only the second of two network requests carries the block again.
    QCOMPARE(probe.log[1].size() - probe.log[0].size(), network ? 16 * 3 : 0);
}

void TestLinkFrames::maskedLog() {
    PlainLinkSettings settings;
    Bus bus(settings);
    LinkProbe probe(bus);
    bus.send(Request(0xFF, 0, 5));
    BusInternals::buffer(bus).request(2) = 7;
    BusInternals::sendBindFrame(bus);
    QCOMPARE(probe.log, (QStringList{QStringLiteral("Send ：X"), QStringLiteral("Send ：X")}));
}

void TestLinkFrames::busFrameCapsAt200() {
    FrameBuffer buffer;
    for (int i = 3; i < FrameBuffer::kAreaSize; ++i)
        buffer.request(i) = quint8(i);
    buffer.request(2) = 190; // 206 with the password block

    const QByteArray frame = frames::BusFrame(buffer.requestArea(), true, QStringLiteral("pw"));
    QCOMPARE(frame.size(), 200);
    QCOMPARE(quint8(frame[2]), quint8(200));
    QCOMPARE(quint8(frame[19]), quint8(3));
    QCOMPARE(quint8(frame[197]), quint8(181)); // the payload stops before the checksum
    QVERIFY(frames::busChecksumOk(reinterpret_cast<const quint8*>(frame.constData()), 200));
}

void TestLinkFrames::bindFrames_data() {
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<QByteArray>("frame");
    QTest::newRow("N=7") << bytesOf("01 01 03") << bytesOf("AE D0 07 01 01 03 8A");
    QTest::newRow("light On, room 1, device 1")
        << bytesOf("02 01 00 00 01") << bytesOf("AE D0 09 02 01 00 00 01 8B");
}

void TestLinkFrames::bindFrames() {
    QFETCH(QByteArray, payload);
    QFETCH(QByteArray, frame);

    PlainLinkSettings settings;
    settings.masked = false;
    Bus bus(settings);
    LinkProbe probe(bus);
    bus.sendBind(payload);

    QCOMPARE(probe.log, QStringList{QStringLiteral("Send ：") + frames::hexText(frame)});
    QCOMPARE(frames::bindFrameFromPayload(payload), frame);
}

void TestLinkFrames::bindFrameCapsLength() {
    FrameBuffer buffer;
    buffer.request(2) = 250;
    const QByteArray frame = frames::BindFrame(buffer.requestArea());
    QCOMPARE(frame.size(), 200);
    QCOMPARE(buffer.request(2), quint8(200));
    QVERIFY(frames::bindChecksumOk(buffer.requestArea(), 200));
}

void TestLinkFrames::hexTextFormat() {
    QCOMPARE(frames::hexText(bytesOf("55 AA 08 0f")), QStringLiteral("55 AA 08 0F "));
    QCOMPARE(frames::hexText(QByteArray()), QString());
}

QTEST_GUILESS_MAIN(TestLinkFrames)
// One busy check for whatever wants the link: a job or a running sequence refuses it with
// one text, and the window's requests go out only while it is free; a job's own always go.
void TestLinkFrames::busyLink_data() {
    QTest::addColumn<QString>("job");
    QTest::addColumn<bool>("sequence");
    QTest::addColumn<QString>("reason"); // for "the walk test"
    QTest::newRow("free") << QString() << false << QString();
    QTest::newRow("a job") << "Scan Subnet" << false
                           << "Scan Subnet is running: wait for it to end or cancel it.";
    QTest::newRow("a sequence")
        << QString() << true
        << "A read-all or delete-all sequence is running: wait for it to end or cancel it, then "
           "start the walk test again.";
}

void TestLinkFrames::busyLink() {
    QFETCH(QString, job);
    QFETCH(bool, sequence);
    QFETCH(QString, reason);
    PlainLinkSettings settings;
    Bus bus(settings);
    LinkProbe probe(bus);
    bus.setRunningJob(job);
    if (sequence)
        bus.sequenceBegins();
    QCOMPARE(bus.busyReason(QStringLiteral("the walk test")), reason);
    QString refused;
    try {
        bus.send(Request(3, 0, 5));
    } catch (const std::exception& e) {
        refused = QString::fromStdString(e.what());
    }
    // A button is refused during a job only; a sequence's steps and the window share the link.
    QCOMPARE(refused, job.isEmpty() ? QString() : bus.busyReason());
    bus.submit(Request(3, 0, 5), Purpose::Job);
    QCOMPARE(probe.log.size(), job.isEmpty() ? 2 : 1);
    bus.sequenceEnds();
}

void TestLinkFrames::linkDescription_data() {
    QTest::addColumn<bool>("network");
    QTest::addColumn<QString>("text");
    QTest::newRow("network") << true << "UDP to 127.0.0.1 port 6000, Subnet ID 1";
    QTest::newRow("serial") << false << "serial port /dev/null-velm, 19200 baud, Subnet ID 1";
}

void TestLinkFrames::linkDescription() {
    QFETCH(bool, network);
    QFETCH(QString, text);
    PlainLinkSettings settings;
    settings.network = network;
    settings.subnet = 1;
    Bus bus(settings);
    // Nothing listens there and the device does not exist: the link says so and stays closed.
    QVERIFY(!bus.openSerial({.port = QStringLiteral("/dev/null-velm"), .baud = 19200}).isEmpty());
    QVERIFY(!bus.serialOpen());
    QVERIFY(bus.openNetwork({QStringLiteral("127.0.0.1"), 6000, 0}).isEmpty());
    QVERIFY(bus.networkOpen());
    QCOMPARE(bus.linkDescription(), text);
    bus.closeAll();
    QVERIFY(!bus.networkOpen());
}

#include "test_link_frames.moc"

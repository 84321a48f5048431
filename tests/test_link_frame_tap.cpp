// The bus's frame tap and the capture writer: every input the intake meets is reported with
// what became of it, and listening changes neither the traffic log nor the dispatch; network
// frames carry their real addresses and ports into a capture that reads back as written.
#include "link/bus_internals.h"
#include "link/bus.h"
#include "link/capture_writer.h"
#include "link/frames.h"
#include "support/capture_reader.h"
#include "support/link_probe.h"

#include <QTemporaryDir>
#include <QUdpSocket>
#include <QtTest>

using Fate = TappedFrame::Fate;
Q_DECLARE_METATYPE(TappedFrame::Fate)

namespace {

struct Rig {
    PlainLinkSettings settings;
    Bus bus{settings};
    LinkProbe probe{bus};
    int handled = 0;
    QList<TappedFrame> tapped;

    Rig() {
        bus.registerReply(0x82, 0x01, [this](const Reply&) { ++handled; });
        bus.registerBindReply([this](const Reply&) { ++handled; });
    }
    void listen() {
        QObject::connect(&bus.tap(), &FrameTap::frame, &bus,
                         [this](const TappedFrame& f) { tapped << f; });
    }
};

const QByteArray kReply = frames::busReply(QByteArray::fromHex("05820101"));
const QByteArray kLongReply = frames::busReply(QByteArray::fromHex("000105820101"));

} // namespace

class TestLinkFrameTap : public QObject {
    Q_OBJECT
private slots:
    void intakeReportsWhatItDid_data();
    void intakeReportsWhatItDid();
    void networkFramesCarryTheirAddresses();
    void serialFramesAndWhatNeverWentOut();
};

void TestLinkFrameTap::intakeReportsWhatItDid_data() {
    QTest::addColumn<bool>("network");
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<Fate>("fate");
    const QByteArray bind = frames::bindFrameFromPayload(QByteArray::fromHex("8201000001"));
    for (bool network : {false, true}) {
        const char* link = network ? "network" : "serial";
        const QByteArray reply = network ? kLongReply : kReply;
        QByteArray bad = reply;
        bad[bad.size() - 1] = char(bad.back() ^ 1);
        QTest::addRow("%s reply", link) << network << reply << Fate::Dispatched;
        QTest::addRow("%s bind reply", link) << network << bind << Fate::Dispatched;
        QTest::addRow("%s bad checksum", link) << network << bad << Fate::BadChecksum;
        QTest::addRow("%s not a frame", link)
            << network << QByteArray("\x12\x34\x56", 3) << Fate::NotAFrame;
        QTest::addRow("%s incomplete", link) << network << kReply.left(6) << Fate::Incomplete;
        // A request echoed back is a valid frame, yet shorter than any reply.
        QTest::addRow("%s too short", link)
            << network << QByteArray::fromHex("55AA08FF000557A1") << Fate::TooShort;
        QTest::addRow("%s too long", link)
            << network << QByteArray(201, char(0x55)) << Fate::TooLong;
    }
}

void TestLinkFrameTap::intakeReportsWhatItDid() {
    QFETCH(bool, network);
    QFETCH(QByteArray, input);
    QFETCH(Fate, fate);
    Rig quiet;
    Rig tapped;
    tapped.listen();
    for (Rig* rig : {&quiet, &tapped}) {
        rig->settings.masked = false;
        if (network)
            rig->bus.takeDatagram(input);
        else
            rig->bus.takeSerialBlock(reinterpret_cast<const quint8*>(input.constData()),
                                      quint16(input.size()));
    }
    QCOMPARE(tapped.probe.log, quiet.probe.log);
    QCOMPARE(tapped.handled, quiet.handled);
    QCOMPARE(tapped.handled, fate == Fate::Dispatched ? 1 : 0);
    QCOMPARE(tapped.tapped.size(), 1);
    const TappedFrame& f = tapped.tapped.front();
    QCOMPARE(f.fate, fate);
    QCOMPARE(f.direction, TappedFrame::Direction::Received);
    QCOMPARE(f.link, network ? TappedFrame::Link::Network : TappedFrame::Link::Serial);
    QCOMPARE(f.bytes, input);
}

void TestLinkFrameTap::networkFramesCarryTheirAddresses() {
    QUdpSocket gateway;
    QUdpSocket stranger;
    QVERIFY(gateway.bind(QHostAddress::LocalHost, 0));
    QVERIFY(stranger.bind(QHostAddress(QStringLiteral("127.0.0.2")), 0));
    Rig rig;
    rig.listen();
    rig.settings.network = true;
    rig.bus.setReplyWait(30);
    BusInternals::udp(rig.bus).remoteHost = QStringLiteral("127.0.0.1");
    BusInternals::udp(rig.bus).remotePort = gateway.localPort();
    QVERIFY(BusInternals::udp(rig.bus).open());
    const quint16 local = BusInternals::udp(rig.bus).boundPort();

    rig.bus.send(Request(5, 2, 1, {2, 0xFF}), RequestLayout::longForm(1));
    QVERIFY(gateway.waitForReadyRead(2000));
    QByteArray sent(int(gateway.pendingDatagramSize()), '\0');
    gateway.readDatagram(sent.data(), sent.size());
    // A stranger's answer is dropped, the gateway's taken in, both reported.
    stranger.writeDatagram(kLongReply, QHostAddress::LocalHost, local);
    QTRY_COMPARE(rig.tapped.size(), 2);
    gateway.writeDatagram(kLongReply, QHostAddress::LocalHost, local);
    QTRY_COMPARE(rig.tapped.size(), 3);
    QCOMPARE(rig.handled, 1);

    const QList<Fate> fates = {Fate::Sent, Fate::ForeignSender, Fate::Dispatched};
    const QList<quint16> from = {local, stranger.localPort(), gateway.localPort()};
    const QList<quint16> to = {gateway.localPort(), local, local};
    const QStringList sources = {"127.0.0.1", "127.0.0.2", "127.0.0.1"};
    QCOMPARE(rig.tapped[0].bytes, sent);
    QVERIFY(rig.tapped[0].passwordBlock);
    QTemporaryDir dir;
    CaptureWriter writer;
    QVERIFY2(writer.open(dir.filePath("c.pcapng")), qPrintable(writer.errorString()));
    for (int i = 0; i < 3; ++i) {
        const TappedFrame& f = rig.tapped[i];
        QCOMPARE(f.fate, fates[i]);
        QCOMPARE(f.sourcePort, from[i]);
        QCOMPARE(f.destinationPort, to[i]);
        QCOMPARE(f.source.toString(), sources[i]);
        QCOMPARE(f.destination.toString(), QStringLiteral("127.0.0.1"));
        QVERIFY(writer.write(f));
    }
    writer.close();
    const CaptureFile capture = readCapture(dir.filePath("c.pcapng"));
    QVERIFY2(capture.ok, qPrintable(capture.error));
    QCOMPARE(capture.comment, CaptureWriter::passwordNote());
    QCOMPARE(capture.packets.size(), 3);
    for (int i = 0; i < 3; ++i) {
        const CapturedPacket& p = capture.packets[i];
        QCOMPARE(p.linkType, CaptureWriter::kLinkTypeRaw);
        QVERIFY(p.headerChecksumOk);
        QCOMPARE(p.source.toString(), sources[i]);
        QCOMPARE(p.sourcePort, from[i]);
        QCOMPARE(p.destinationPort, to[i]);
        QCOMPARE(p.frame, rig.tapped[i].bytes);
        QCOMPARE(p.timeUs, rig.tapped[i].timeUs);
    }
}

void TestLinkFrameTap::serialFramesAndWhatNeverWentOut() {
    Rig rig;
    rig.listen();
    rig.settings.extension = true;
    rig.bus.send(Request(5, 2, 1, {2, 0xFF}), RequestLayout::longForm(1)); // the port is closed
    QCOMPARE(rig.tapped.size(), 1);
    QCOMPARE(rig.tapped[0].fate, Fate::NotSent);
    QVERIFY(rig.tapped[0].extensionChannel);
    rig.bus.takeSerialBlock(reinterpret_cast<const quint8*>(kLongReply.constData()),
                             quint16(kLongReply.size()));
    QTemporaryDir dir;
    CaptureWriter writer;
    QVERIFY(writer.open(dir.filePath("c.pcapng")));
    for (const TappedFrame& f : rig.tapped)
        QVERIFY(writer.write(f));
    QVERIFY(writer.writeSerial(1, CaptureWriter::kToBus, QByteArray::fromHex("55AA08FF000557A1")));
    writer.close();
    const CaptureFile capture = readCapture(dir.filePath("c.pcapng"));
    QVERIFY2(capture.ok, qPrintable(capture.error));
    // The frame that never went out is no part of the capture.
    QCOMPARE(capture.packets.size(), 2);
    QCOMPARE(capture.packets[0].linkType, CaptureWriter::kLinkTypeUser0);
    QCOMPARE(capture.packets[0].direction, CaptureWriter::kFromBus);
    QCOMPARE(capture.packets[0].frame, kLongReply);
    QCOMPARE(capture.packets[1].direction, CaptureWriter::kToBus);
    QCOMPARE(capture.packets[1].timeUs, 1);
}

QTEST_GUILESS_MAIN(TestLinkFrameTap)
#include "test_link_frame_tap.moc"

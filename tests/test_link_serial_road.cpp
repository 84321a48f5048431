// The serial road on a pseudo-terminal: the frame goes out on the line, replies come back
// as blocks ended by 100 ms of quiet, and only whole, valid first frames are dispatched.
#include "link/bus_internals.h"
#include "link/bus.h"
#include "link/frames.h"
#include "support/link_probe.h"
#include "support/pty_pair.h"

#include <QtTest>

#include <memory>

namespace {

struct SerialRig {
    PtyPair pty;
    PlainLinkSettings settings;
    Bus bus{settings};
    LinkProbe probe{bus};
    QList<int> modules; // reply byte 3 of every 0x80/0x05 reply handled

    SerialRig() {
        settings.masked = false;
        bus.registerReply(0x80, 0x05, [this](const Reply& r) { modules << r[3]; });
    }
    bool open() {
        if (!pty.ok())
            return false;
        BusInternals::comm(bus).CommName = pty.slavePath();
        try {
            BusInternals::comm(bus).OpenPort();
        } catch (const ECommsError&) {
            return false;
        }
        return true;
    }
};

QByteArray addressReply(int module) {
    return frames::busReply(QByteArray(1, char(module)) + bytesOf("80 05 01") + char(module));
}

} // namespace

class TestLinkSerialRoad : public QObject {
    Q_OBJECT
private slots:
    void requestOnTheLine();
    void replyDispatched();
    void twoRepliesInOneBlock();
    void replySplitByPause();
    void closedPortSendsNothing();
    void replyAfterNoise_data();
    void replyAfterNoise();
};

void TestLinkSerialRoad::requestOnTheLine() {
    SerialRig rig;
    QVERIFY(rig.open());
    rig.bus.send(Request(0xFF, 0, 5));
    QCOMPARE(rig.pty.read(3000), bytesOf("55 AA 08 FF 00 05 57 A1"));
    QCOMPARE(rig.probe.log, QStringList{QStringLiteral("Send ：55 AA 08 FF 00 05 57 A1 ")});
}

void TestLinkSerialRoad::replyDispatched() {
    SerialRig rig;
    QVERIFY(rig.open());
    QVERIFY(rig.pty.write(addressReply(6)));
    QTRY_COMPARE_WITH_TIMEOUT(rig.modules, QList<int>{6}, 5000);
    QCOMPARE(rig.probe.log.size(), 1);
    QVERIFY(rig.probe.log[0].endsWith(QStringLiteral("   OK!")));
}

void TestLinkSerialRoad::twoRepliesInOneBlock() {
    SerialRig rig;
    QVERIFY(rig.open());
    const QByteArray first = addressReply(6);
    const QByteArray second = addressReply(7);
    QVERIFY(rig.pty.write(first + second));
    QTRY_COMPARE_WITH_TIMEOUT(rig.modules, QList<int>{6}, 5000);
    QTest::qWait(400); // nothing more comes of the second reply
    QCOMPARE(rig.modules, QList<int>{6});
    QCOMPARE(replyBytes(BusInternals::buffer(rig.bus), 0, int(first.size() + second.size()) - 1),
             first + second);
}

void TestLinkSerialRoad::replySplitByPause() {
    SerialRig rig;
    QVERIFY(rig.open());
    const QByteArray reply = addressReply(6);
    QVERIFY(rig.pty.write(reply.left(5)));
    QTest::qWait(300);
    QVERIFY(rig.pty.write(reply.mid(5)));
    QTest::qWait(600);
    QVERIFY(rig.modules.isEmpty());
    QVERIFY(rig.probe.log.isEmpty());

    // The line is still good for a whole reply.
    QVERIFY(rig.pty.write(reply));
    QTRY_COMPARE_WITH_TIMEOUT(rig.modules, QList<int>{6}, 5000);
}

void TestLinkSerialRoad::closedPortSendsNothing() {
    SerialRig rig;
    QVERIFY(rig.open());
    BusInternals::comm(rig.bus).ClosePort();
    rig.bus.send(Request(0xFF, 0, 5));
    QCOMPARE(rig.probe.log.size(), 1); // the log line stands
    QVERIFY(rig.probe.messages.isEmpty());
    QVERIFY(rig.pty.read(300).isEmpty());
}

void TestLinkSerialRoad::replyAfterNoise_data() {
    QTest::addColumn<QByteArray>("block");
    QTest::addColumn<QList<int>>("dispatched");
    QTest::addColumn<QByteArray>("noise");
    const QByteArray reply = addressReply(6);
    QByteArray corrupt = reply;
    corrupt[corrupt.size() - 1] = char(corrupt.back() ^ 1);
    QTest::newRow("bytes ahead") << bytesOf("00 FF 13") + reply << QList<int>{6}
                                 << bytesOf("00 FF 13");
    // A lone 0x55 looks like a header at the block's start; its "length" is 0xAA.
    QTest::newRow("half a header") << bytesOf("55") + reply << QList<int>{6} << bytesOf("55");
    QTest::newRow("only the first whole frame")
        << bytesOf("7E") + reply + addressReply(7) << QList<int>{6} << bytesOf("7E");
    QTest::newRow("bad checksum after noise")
        << bytesOf("00 FF") + corrupt << QList<int>{} << QByteArray();
    QTest::newRow("header without its frame")
        << bytesOf("01 55 AA 0A 06") << QList<int>{} << QByteArray();
}

void TestLinkSerialRoad::replyAfterNoise() {
    QFETCH(QByteArray, block);
    QFETCH(QList<int>, dispatched);
    QFETCH(QByteArray, noise);
    SerialRig rig;
    QList<TappedFrame> tapped;
    QObject::connect(&rig.bus.tap(), &FrameTap::frame, &rig.bus,
                     [&](const TappedFrame& f) { tapped << f; });
    QVERIFY(rig.open());
    QVERIFY(rig.pty.write(block));
    QTRY_VERIFY_WITH_TIMEOUT(!tapped.isEmpty(), 5000);
    QTest::qWait(300); // the block is taken whole, once
    QCOMPARE(rig.modules, dispatched);
    QCOMPARE(rig.probe.log.size(), dispatched.size());
    QList<TappedFrame::Fate> fates;
    for (const TappedFrame& f : tapped)
        fates << f.fate;
    if (noise.isEmpty()) {
        QCOMPARE(tapped.size(), 1);
        QVERIFY(tapped[0].dropped());
        QCOMPARE(tapped[0].bytes, block);
        return;
    }
    QCOMPARE(fates,
             (QList<TappedFrame::Fate>{TappedFrame::Fate::Noise, TappedFrame::Fate::Dispatched}));
    QCOMPARE(tapped[0].bytes, noise);
    QCOMPARE(tapped[1].bytes, block.mid(noise.size()));
    QCOMPARE(replyBytes(BusInternals::buffer(rig.bus), 0, 9), addressReply(6));
}

QTEST_GUILESS_MAIN(TestLinkSerialRoad)
#include "test_link_serial_road.moc"

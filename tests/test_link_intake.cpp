// Reply intake and dispatch: what a datagram or a serial block turns into (reply area, log
// line, the bus switch flag, sequence reset, handler call), and that bad input changes nothing.
#include "link/bus.h"
#include "link/bus_internals.h"
#include "link/frames.h"
#include "link/reply_dispatcher.h"
#include "link/reply_ownership.h"
#include "support/link_probe.h"

#include <QtTest>

#include <memory>
#include <stdexcept>

namespace {

struct Call {
    int key; // reply bytes 4 and 5, or -1 for the bind handler
    bool busSwitch;
    QByteArray reply; // reply bytes 0..19 when the handler ran
};

// A Bus with handlers on the keys the cases use, each recording its calls.
struct Rig {
    PlainLinkSettings settings;
    Bus bus{settings};
    LinkProbe probe{bus};
    QList<Call> calls;

    Rig() {
        for (int key : {0x0201, 0x8005, 0x8008, 0x8006}) {
            bus.registerReply(quint8(key >> 8), quint8(key), [this, key](const Reply& r) {
                calls << Call{key, r.busSwitchReply, replyBytes(BusInternals::buffer(bus), 0, 19)};
            });
        }
        bus.registerBindReply([this](const Reply& r) {
            calls << Call{-1, r.busSwitchReply, replyBytes(BusInternals::buffer(bus), 0, 19)};
        });
    }
    void serial(const QByteArray& block) {
        BusInternals::comm(bus).OnReceiveData(&BusInternals::comm(bus),
                                              reinterpret_cast<const quint8*>(block.constData()),
                                              quint16(block.size()));
    }
    void feed(bool network, const QByteArray& input) {
        if (network)
            bus.takeDatagram(input);
        else
            serial(input);
    }
};

// The worked example of a network reply: subnet 1, module 5, command 2, sub-command 1, OK.
const QByteArray kNetworkReply = bytesOf("55 AA 0C 00 01 05 02 01 01 33 54 E2");

QByteArray padded(QByteArray frame, int size) {
    frame.append(QByteArray(size - int(frame.size()), char(0x11)));
    return frame;
}

} // namespace

class TestLinkIntake : public QObject {
    Q_OBJECT
private slots:
    void networkReplyLosesSubnet();
    void busSwitchReplyOnlyForThatDispatch();
    void datagramSizeLimit_data();
    void datagramSizeLimit();
    void lengthByteCappedAt78();
    void statusTexts_data();
    void statusTexts();
    void bindReplyCopiedUnchanged();
    void bindReplyNeverTriesBusRows();
    void badInputChangesNothing_data();
    void badInputChangesNothing();
    void logText_data();
    void logText();
    void serialTwoRepliesInOneBlock();
    void serialExtensionChannel();
    void dispatcherRouting();
    void serialHandlerFailureReported();
    void busSwitchHandlerChoice_data();
    void busSwitchHandlerChoice();
    void secondHandlerRefused_data();
    void secondHandlerRefused();
    void sequenceEnds_data();
    void sequenceEnds();
};

void TestLinkIntake::networkReplyLosesSubnet() {
    Rig rig;
    rig.bus.takeDatagram(kNetworkReply);
    QCOMPARE(replyBytes(BusInternals::buffer(rig.bus), 0, 7), bytesOf("55 AA 0A 05 02 01 01 33"));
    QCOMPARE(rig.calls.size(), 1);
    QCOMPARE(rig.calls[0].key, 0x0201);
    QCOMPARE(rig.calls[0].busSwitch, false);
    QVERIFY(rig.probe.log.value(0).endsWith(QStringLiteral("OK!")));
}

void TestLinkIntake::busSwitchReplyOnlyForThatDispatch() {
    Rig rig;
    rig.bus.takeDatagram(frames::busReply(bytesOf("FF FF FF 80 05 01 0A")));
    rig.bus.takeDatagram(frames::busReply(bytesOf("00 01 03 80 05 01 03")));
    QCOMPARE(rig.calls.size(), 2);
    QCOMPARE(rig.calls[0].busSwitch, true);
    QCOMPARE(rig.calls[1].busSwitch, false);
}

void TestLinkIntake::datagramSizeLimit_data() {
    QTest::addColumn<bool>("network");
    QTest::addColumn<int>("size");
    QTest::addColumn<bool>("taken");
    QTest::newRow("network 200") << true << 200 << true;
    QTest::newRow("network 201") << true << 201 << false;
    QTest::newRow("serial 200") << false << 200 << true;
    QTest::newRow("serial 201") << false << 201 << false;
    QTest::newRow("serial 2048") << false << 2048 << false;
}

void TestLinkIntake::datagramSizeLimit() {
    QFETCH(bool, network);
    QFETCH(int, size);
    QFETCH(bool, taken);
    Rig rig;
    // Serial mode without the extension channel takes the short form.
    const QByteArray frame = network ? kNetworkReply : frames::busReply(bytesOf("05 02 01 01 33"));
    rig.feed(network, padded(frame, size));
    QCOMPARE(rig.probe.log.size(), taken ? 1 : 0);
    QCOMPARE(rig.calls.size(), taken ? 1 : 0);
}

void TestLinkIntake::lengthByteCappedAt78() {
    // Announcing 100 bytes: checked as 78, so a checksum at 98-99 does not count...
    QByteArray body(95, char(0x01));
    body[0] = 0;
    body[1] = 1;
    body[2] = 5;
    body[3] = char(0x80);
    body[4] = 5;
    QByteArray frame = frames::busReply(body);
    QCOMPARE(quint8(frame[2]), quint8(100));
    Rig rig;
    rig.settings.masked = false;
    rig.bus.takeDatagram(frame);
    QVERIFY(rig.probe.log.isEmpty());

    // ...while one at 76-77 does, and the log shows the capped length.
    QByteArray capped = frames::busReply(body.left(73));
    QCOMPARE(capped.size(), 78);
    capped[2] = char(100);
    const QByteArray sum = frames::busChecksum(
        reinterpret_cast<const quint8*>(frames::busReply(body.left(73)).constData()), 76);
    capped[76] = sum[0];
    capped[77] = sum[1];
    rig.bus.takeDatagram(padded(capped, 100));
    QCOMPARE(rig.probe.log.size(), 1);
    QVERIFY(rig.probe.log[0].startsWith(QStringLiteral("Read ：55 AA 4E 00 01 05 80 05 ")));
    QCOMPARE(BusInternals::buffer(rig.bus).reply(2), quint8(76));
    QCOMPARE(rig.calls.size(), 1);
}

void TestLinkIntake::statusTexts_data() {
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("text");
    QTest::newRow("1") << 1 << "OK!";
    QTest::newRow("2") << 2 << "Module Address Error!";
    QTest::newRow("3") << 3 << "Module Channel No. Error!";
    QTest::newRow("4") << 4 << "Memory Error!";
    QTest::newRow("5") << 5 << "Parameter Error!";
    QTest::newRow("6") << 6 << "Command Error!";
    QTest::newRow("7") << 7 << "Module Address Occupied!";
    QTest::newRow("8") << 8 << "IR Error";
    QTest::newRow("9") << 9 << "Response Error!";
    QTest::newRow("0") << 0 << "Response Error!";
    QTest::newRow("255") << 255 << "Response Error!";
}

// An error status that answers the outstanding step refuses it (its sequence ends there); the
// reply is dispatched but runs no handler.
void TestLinkIntake::statusTexts() {
    QFETCH(int, status);
    QFETCH(QString, text);
    for (bool network : {true, false}) {
        Rig rig;
        QPointer<PendingRequest> step;
        if (status != 1) { // the refusal answers the step the sequence waits on
            step = new PendingRequest(Request(3, 0x00, 0x05), Purpose::Step, {}, 1000, &rig.bus);
            BusInternals::ownership(rig.bus).addLive(step);
        }

        QByteArray body = bytesOf("03 80 05");
        body.append(char(status)).append(char(0x07));
        rig.feed(network, frames::busReply(network ? bytesOf("00 01") + body : body));

        QCOMPARE(rig.probe.log, QStringList{QStringLiteral("Read ：X  ") + text});
        const bool ok = status == 1;
        QCOMPARE(rig.calls.size(), ok ? 1 : 0);
        if (!ok) {
            QCOMPARE(step->state(), PendingRequest::State::Refused);
            QCOMPARE(int(step->status()), status);
        }
    }
}

void TestLinkIntake::bindReplyCopiedUnchanged() {
    const QByteArray frame = frames::bindFrameFromPayload(bytesOf("82 00 00 00 01"));
    QCOMPARE(frame, bytesOf("AE D0 09 82 00 00 00 01 0A"));
    for (bool network : {true, false}) {
        Rig rig;
        rig.feed(network, frame);
        QCOMPARE(replyBytes(BusInternals::buffer(rig.bus), 0, 8), frame);
        QCOMPARE(rig.probe.log, QStringList{QStringLiteral("Read ：X  OK!")});
        QCOMPARE(rig.calls.size(), 1);
        QCOMPARE(rig.calls[0].key, -1);
    }
}

void TestLinkIntake::bindReplyNeverTriesBusRows() {
    // Bytes 4-6 look like a successful 0x80/0x08 reply; it is a bind reply all the same.
    Rig rig;
    rig.bus.takeDatagram(frames::bindFrameFromPayload(bytesOf("82 80 08 01 02")));
    QCOMPARE(rig.calls.size(), 1);
    QCOMPARE(rig.calls[0].key, -1);
}

void TestLinkIntake::badInputChangesNothing_data() {
    QTest::addColumn<bool>("network");
    QTest::addColumn<QByteArray>("input");

    QByteArray wrongSum = kNetworkReply;
    wrongSum[11] = char(0xE3);
    QByteArray badBind = frames::bindFrameFromPayload(bytesOf("82 00 00 00 01"));
    badBind[8] = char(badBind[8] + 1);
    QByteArray longClaim = padded(kNetworkReply, 90);
    longClaim[2] = char(100);

    for (bool network : {true, false}) {
        const char* n = network ? "network" : "serial";
        auto row = [&](const char* what) -> QTestData& { return QTest::addRow("%s: %s", n, what); };
        row("wrong checksum") << network << wrongSum;
        row("truncated") << network << kNetworkReply.left(11);
        row("length byte 4") << network << bytesOf("55 AA 04 FF 00 05 57 A1");
        row("length byte 0") << network << bytesOf("55 AA 00 00 00");
        row("length byte 255") << network << padded(bytesOf("55 AA FF"), 60);
        row("claims 100, checked as 78") << network << longClaim;
        row("no status byte") << network << bytesOf("55 AA 08 FF 00 05 57 A1");
        row("bind wrong sum") << network << badBind;
        row("bind length 3") << network << bytesOf("AE D0 03 81");
        row("unknown header") << network << bytesOf("12 34 0C 00 01 05 02 01 01 33 54 E2");
        row("one byte") << network << bytesOf("55");
        row("201 bytes") << network << padded(kNetworkReply, 201);
    }
    // Long form needs two more bytes than a status-less short frame.
    QTest::newRow("network: short-form reply") << true << frames::busReply(bytesOf("03 80 05 01"));
    QTest::newRow("serial: empty block") << false << QByteArray();
}

void TestLinkIntake::badInputChangesNothing() {
    QFETCH(bool, network);
    QFETCH(QByteArray, input);
    Rig rig;
    // A first reply fills the reply area with something to keep.
    rig.bus.takeDatagram(padded(frames::busReply(bytesOf("00 01 03 80 08 01 01 02 03")), 200));
    rig.serial(padded(frames::busReply(bytesOf("03 80 06 01 AA BB")), 200));
    const QByteArray before = replyBytes(BusInternals::buffer(rig.bus), 0, 199);
    rig.probe.clear();
    rig.calls.clear();

    rig.feed(network, input);
    QVERIFY(rig.probe.log.isEmpty());
    QVERIFY(rig.calls.isEmpty());
    QCOMPARE(replyBytes(BusInternals::buffer(rig.bus), 0, 199), before);
}

void TestLinkIntake::logText_data() {
    QTest::addColumn<bool>("masked");
    QTest::addColumn<QString>("line");
    QTest::newRow("masked") << true << QStringLiteral("Read ：X  OK!");
    QTest::newRow("unmasked") << false
                              << QStringLiteral("Read ：55 AA 0C 00 01 05 02 01 01 33 54 E2   OK!");
}

void TestLinkIntake::logText() {
    QFETCH(bool, masked);
    QFETCH(QString, line);
    Rig rig;
    rig.settings.masked = masked;
    rig.bus.takeDatagram(kNetworkReply);
    QCOMPARE(rig.probe.log, QStringList{line});
}

void TestLinkIntake::serialTwoRepliesInOneBlock() {
    const QByteArray first = frames::busReply(bytesOf("FF 80 05 01 07"));
    const QByteArray second = frames::busReply(bytesOf("04 80 05 01 09"));
    Rig rig;
    rig.serial(first + second);
    QCOMPARE(rig.calls.size(), 1);
    QCOMPARE(rig.calls[0].busSwitch, false); // without the extension channel, never
    QCOMPARE(replyBytes(BusInternals::buffer(rig.bus), 0, 19), first + second);
}

void TestLinkIntake::serialExtensionChannel() {
    Rig rig;
    rig.settings.extension = true;
    const QByteArray own = frames::busReply(bytesOf("FF FF FF 80 05 01 0A"));
    rig.serial(own);
    QCOMPARE(replyBytes(BusInternals::buffer(rig.bus), 0, 7), bytesOf("55 AA 0A FF 80 05 01 0A"));
    QCOMPARE(rig.calls.value(0).busSwitch, true);

    // The copy runs to the block's end less two bytes, past a first frame's checksum.
    const QByteArray first = frames::busReply(bytesOf("00 01 03 80 05 01 07"));
    const QByteArray second = frames::busReply(bytesOf("00 01 04 80 05 01 09"));
    const QByteArray block = first + second;
    rig.serial(block);
    QCOMPARE(rig.calls.size(), 2);
    QCOMPARE(rig.calls[1].busSwitch, false);
    QCOMPARE(BusInternals::buffer(rig.bus).reply(2), quint8(10));
    QCOMPARE(replyBytes(BusInternals::buffer(rig.bus), 3, 3 + int(block.size()) - 8),
             block.mid(5, block.size() - 7));
}

void TestLinkIntake::dispatcherRouting() {
    Rig rig;
    rig.bus.registerReply(0x84, 0x03, [&](const Reply& r) {
        rig.calls << Call{0x8403, r.busSwitchReply, {}};
    });
    auto dispatch = [&](std::initializer_list<int> bytes, bool busSwitch) {
        Reply reply;
        reply.busSwitchReply = busSwitch;
        std::copy(bytes.begin(), bytes.end(), reply.bytes.begin());
        BusInternals::dispatcher(rig.bus).dispatchReply(reply, false);
    };

    dispatch({0x55, 0xAA, 0x0A, 0x03, 0x84, 0x03, 0x01}, true);
    QCOMPARE(rig.calls.size(), 1);
    QCOMPARE(rig.calls[0].busSwitch, true); // the reply's own value

    dispatch({0x55, 0xAA, 0x0A, 0x03, 0x84, 0x03, 0x02}, false); // error status
    dispatch({0x55, 0xAA, 0x0A, 0x03, 0x84, 0x7F, 0x01}, false); // no row
    QCOMPARE(rig.calls.size(), 1);

    // A success reply with a bind header goes to the bind handler only.
    dispatch({0xAE, 0xD0, 0x0A, 0x03, 0x84, 0x03, 0x01}, false);
    QCOMPARE(rig.calls.size(), 2);
    QCOMPARE(rig.calls[1].key, -1);
}

void TestLinkIntake::serialHandlerFailureReported() {
    Rig rig;
    rig.bus.registerReply(0x80, 0x07, [](const Reply&) {
        throw std::runtime_error("Timer Records cannot be written");
    });
    rig.serial(frames::busReply(bytesOf("03 80 07 01 07")));
    QCOMPARE(rig.probe.messages, QStringList{QStringLiteral("Timer Records cannot be written")});
    QCOMPARE(rig.probe.log.size(), 1);
}

void TestLinkIntake::busSwitchHandlerChoice_data() {
    QTest::addColumn<bool>("network");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<int>("key"); // handler that ran: reply bytes 4/5, -2 the bus switch's

    QTest::newRow("bus switch's own 80 05") << true << bytesOf("FF FF FF 80 05 01 0A") << -2;
    QTest::newRow("module's 80 05") << true << bytesOf("00 01 03 80 05 01 03") << 0x8005;
    QTest::newRow("bus switch's 80 06: no own handler")
        << true << bytesOf("FF FF FF 80 06 01 0A") << 0x8006;
    QTest::newRow("serial short form is a module's")
        << false << bytesOf("FF 80 05 01 0A") << 0x8005;
}

void TestLinkIntake::busSwitchHandlerChoice() {
    QFETCH(bool, network);
    QFETCH(QByteArray, body);
    QFETCH(int, key);
    Rig rig;
    rig.bus.registerBusSwitchReply(0x80, 0x05, [&](const Reply& r) {
        rig.calls << Call{-2, r.busSwitchReply, {}};
    });
    rig.feed(network, frames::busReply(body));
    QCOMPARE(rig.calls.size(), 1);
    QCOMPARE(rig.calls[0].key, key);
}

void TestLinkIntake::secondHandlerRefused_data() {
    QTest::addColumn<int>("table"); // 0 ordinary, 1 bus switch, 2 bind
    QTest::addColumn<QString>("text");
    QTest::newRow("ordinary") << 0 << QStringLiteral("Two handlers registered for the reply 80 05");
    QTest::newRow("bus switch") << 1
                                << QStringLiteral(
                                       "Two handlers registered for the bus switch's reply 80 05");
    QTest::newRow("bind") << 2
                          << QStringLiteral("Two handlers registered for the bind-test replies");
}

// Two families claiming the same reply is a programming error that must not pass unnoticed:
// the second registration is refused and the first handler keeps the reply.
void TestLinkIntake::secondHandlerRefused() {
#ifndef QT_NO_DEBUG
    QSKIP("a debug build stops at the assertion instead");
#endif
    QFETCH(int, table);
    QFETCH(QString, text);
    Rig rig;
    bool second = false;
    const Bus::ReplyHandler late = [&](const Reply&) { second = true; };
    // The bus switch's entry is separate: one of each for the same bytes is fine.
    rig.bus.registerBusSwitchReply(0x80, 0x05, [&](const Reply& r) {
        rig.calls << Call{-2, r.busSwitchReply, {}};
    });
    try {
        if (table == 0)
            rig.bus.registerReply(0x80, 0x05, late);
        else if (table == 1)
            rig.bus.registerBusSwitchReply(0x80, 0x05, late);
        else
            rig.bus.registerBindReply(late);
        QFAIL("second registration accepted");
    } catch (const std::logic_error& e) {
        QCOMPARE(QString::fromStdString(e.what()), text);
    }
    rig.bus.takeDatagram(
        frames::busReply(bytesOf(table == 0 ? "00 01 03 80 05 01 03" : "FF FF FF 80 05 01 0A")));
    rig.bus.takeDatagram(frames::bindFrameFromPayload(bytesOf("82 01 01 00")));
    QVERIFY(!second);
    QCOMPARE(rig.calls.size(), 2);
    QCOMPARE(rig.calls[0].key, table == 0 ? 0x8005 : -2);
    QCOMPARE(rig.calls[1].key, -1);
}

void TestLinkIntake::sequenceEnds_data() {
    QTest::addColumn<bool>("watchdog");
    QTest::addColumn<bool>("udpOpen");
    QTest::newRow("watchdog, transport open") << true << true;
    QTest::newRow("watchdog, transport closed") << true << false;
    QTest::newRow("cancel, transport open") << false << true;
    QTest::newRow("cancel, transport closed") << false << false;
}

// The watchdog and Cancel give a sequence up alike: the link stops holding it, says nothing
// itself, and an open transport is reset (unbound), a closed one left closed.
void TestLinkIntake::sequenceEnds() {
    QFETCH(bool, watchdog);
    QFETCH(bool, udpOpen);
    Rig rig;
    rig.bus.sequenceBegins();
    if (udpOpen) {
        BusInternals::udp(rig.bus).localPort = 0;
        QVERIFY(BusInternals::udp(rig.bus).open());
        QVERIFY(BusInternals::udp(rig.bus).boundPort() != 0);
    }

    rig.bus.abandonSequence(watchdog ? RequestEnd::Superseded : RequestEnd::Cancelled);

    QVERIFY(rig.probe.messages.isEmpty());
    QVERIFY(!rig.bus.sequenceRunning());
    QVERIFY(rig.bus.busyReason().isEmpty());
    QCOMPARE(BusInternals::udp(rig.bus).isActive(), udpOpen);
    QCOMPARE(BusInternals::udp(rig.bus).boundPort(), quint16(0));
}

QTEST_GUILESS_MAIN(TestLinkIntake)
#include "test_link_intake.moc"

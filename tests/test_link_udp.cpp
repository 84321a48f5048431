// The network road on loopback: the Bus sends a datagram to a peer on 127.0.0.1, the peer
// (on its own thread, since the exchange blocks the main thread) answers, and the answer is
// handled before sendRequestArea returns.
#include "link/bus.h"
#include "link/bus_internals.h"
#include "link/frames.h"
#include "support/link_probe.h"
#include "support/net_namespace.h"

#include <QElapsedTimer>
#include <QNetworkDatagram>
#include <QNetworkInterface>
#include <QUdpSocket>
#include <QtTest>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <thread>

namespace {

// A device on 127.0.0.1 (or another loopback address) with a plain socket. serve() answers a script
// on a thread of its own: for each expected request, the datagrams to send back to its sender.
class Peer {
public:
    // `shareable`: the port may be shared with sockets that ask for it (SO_REUSEADDR), as
    // another program's socket often allows.
    explicit Peer(bool shareable = false, const char* address = "127.0.0.1") {
        m_fd = ::socket(AF_INET, SOCK_DGRAM, 0);
        const int on = shareable ? 1 : 0;
        ::setsockopt(m_fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        ::inet_pton(AF_INET, address, &a.sin_addr);
        ::bind(m_fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
        socklen_t len = sizeof a;
        ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&a), &len);
        m_port = ntohs(a.sin_port);
    }
    ~Peer() {
        join();
        ::close(m_fd);
    }
    quint16 port() const { return m_port; }

    void serve(QList<QList<QByteArray>> script, int delayMs = 0) {
        join();
        m_thread = std::thread([this, script, delayMs] {
            for (const QList<QByteArray>& answers : script) {
                sockaddr_in from{};
                const QByteArray request = take(3000, &from);
                if (request.isNull())
                    return;
                m_requests << request;
                if (delayMs > 0)
                    std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
                for (const QByteArray& answer : answers)
                    sendTo(from, answer);
            }
        });
    }
    // What the peer was sent, once its script has run.
    QList<QByteArray> requests() {
        join();
        return m_requests;
    }
    // A datagram within timeoutMs, or a null array.
    QByteArray take(int timeoutMs, sockaddr_in* from = nullptr) {
        pollfd p{m_fd, POLLIN, 0};
        if (::poll(&p, 1, timeoutMs) <= 0)
            return {};
        QByteArray data(9000, '\0');
        sockaddr_in source{};
        socklen_t len = sizeof source;
        const ssize_t n = ::recvfrom(m_fd, data.data(), size_t(data.size()), 0,
                                     reinterpret_cast<sockaddr*>(&source), &len);
        if (from)
            *from = source;
        return n < 0 ? QByteArray() : data.left(int(n));
    }
    void sendToPort(quint16 port, const QByteArray& data) {
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        a.sin_port = htons(port);
        sendTo(a, data);
    }

private:
    void sendTo(const sockaddr_in& to, const QByteArray& data) {
        ::sendto(m_fd, data.constData(), size_t(data.size()), 0,
                 reinterpret_cast<const sockaddr*>(&to), sizeof to);
    }
    void join() {
        if (m_thread.joinable())
            m_thread.join();
    }

    int m_fd = -1;
    quint16 m_port = 0;
    std::thread m_thread;
    QList<QByteArray> m_requests;
};

// A Bus in network mode aimed at the peer, with recording handlers on 0x80/0x05 and bind.
struct NetRig {
    Peer peer;
    PlainLinkSettings settings;
    Bus bus{settings};
    LinkProbe probe{bus};
    QList<int> modules; // reply byte 3 of every 0x80/0x05 reply handled

    explicit NetRig(bool open = true) {
        settings.network = true;
        BusInternals::udp(bus).remoteHost = QStringLiteral("127.0.0.1");
        BusInternals::udp(bus).remotePort = peer.port();
        BusInternals::udp(bus).localPort = 0; // any free port
        if (open)
            BusInternals::udp(bus).open();
        bus.registerReply(0x80, 0x05, [this](const Reply& r) { modules << r[3]; });
    }
    qint64 timedSend(const RequestOptions& options = {}) {
        QElapsedTimer clock;
        clock.start();
        bus.submit(Request(0xFF, 0, 5), Purpose::Button, options);
        return clock.elapsed();
    }
};

QByteArray addressReply(int module) {
    return frames::busReply(QByteArray::fromHex("0001") + char(module) +
                            QByteArray::fromHex("800501") + char(module));
}

const QString kSent = QStringLiteral("Send ：X");
const QString kCommError = QStringLiteral("Communication Error！");

} // namespace

class TestLinkUdp : public QObject {
    Q_OBJECT
private slots:
    void exchange_data();
    void exchange();
    void bindExchange();
    void missingReply_data();
    void missingReply();
    void requestEnds_data();
    void requestEnds();
    void oversizeAnswerIgnored();
    void transportNotCreated();
    void hostNotFoundNamedInDetail_data();
    void hostNotFoundNamedInDetail();
    void localPortInUse();
    void resetDiscardsQueued();
    void lateAnswerTakenInWhenItComes();
    void strayDatagramsDoNotEndTheWait_data();
    void strayDatagramsDoNotEndTheWait();
    void handlerFailure();
    void nestedExchanges();
    void broadcastLeavesByTheRemotesInterface_data();
    void broadcastLeavesByTheRemotesInterface();
};

void TestLinkUdp::exchange_data() {
    QTest::addColumn<QString>("host");
    QTest::newRow("dotted") << "127.0.0.1";
    QTest::newRow("host name") << "localhost";
}

void TestLinkUdp::exchange() {
    QFETCH(QString, host);
    NetRig rig;
    BusInternals::udp(rig.bus).remoteHost = host;
    rig.peer.serve({{addressReply(3)}});
    rig.bus.send(Request(0xFF, 0, 5));
    QCOMPARE(rig.modules, QList<int>{3}); // handled before the send returned
    QCOMPARE(rig.peer.requests(),
             QList<QByteArray>{bytesOf("55 AA 1A 34 31 38 32 37 33 FF FF FF FF FF FF FF FF FF FF "
                                       "00 01 FF 00 05 58 E7")});
    QCOMPARE(rig.probe.log, (QStringList{kSent, QStringLiteral("Read ：X  OK!")}));
    QVERIFY(rig.probe.messages.isEmpty());
}

void TestLinkUdp::bindExchange() {
    NetRig rig;
    int bindReplies = 0;
    rig.bus.registerBindReply([&](const Reply& r) { bindReplies += r[3] == 0x82; });
    rig.peer.serve({{bytesOf("AE D0 09 82 00 00 00 01 0A")}});
    const QByteArray request = bytesOf("00 00 09 02 01 00 00 01");
    std::copy(request.begin(), request.end(), BusInternals::buffer(rig.bus).requestArea());
    BusInternals::sendBindFrame(rig.bus);
    QCOMPARE(bindReplies, 1);
    QCOMPARE(rig.peer.requests(), QList<QByteArray>{bytesOf("AE D0 09 02 01 00 00 01 8B")});
}

void TestLinkUdp::missingReply_data() {
    QTest::addColumn<int>("waitMs"); // the request's own, 0: the link's
    QTest::addColumn<int>("atLeastMs");
    QTest::addColumn<int>("belowMs");
    QTest::newRow("the link's") << 0 << 900 << 3000;
    QTest::newRow("long") << Bus::kLongReplyWaitMs << 3900 << 7500;
}

void TestLinkUdp::missingReply() {
    QFETCH(int, waitMs);
    QFETCH(int, atLeastMs);
    QFETCH(int, belowMs);
    NetRig rig;
    const qint64 ms = rig.timedSend({.replyWaitMs = waitMs});
    QVERIFY2(ms >= atLeastMs && ms < belowMs, qPrintable(QString::number(ms)));
    QCOMPARE(rig.probe.log, QStringList{kSent});
    QVERIFY(rig.probe.messages.isEmpty());
}

// What became of a request to module 3, as its request object tells it: settled when the
// send returns, heard of once from the event loop, then deleted.
void TestLinkUdp::requestEnds_data() {
    QTest::addColumn<bool>("open");
    QTest::addColumn<QByteArray>("answer"); // empty: none
    QTest::addColumn<int>("state");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("told"); // in the instead or not-sent text

    const auto reply = [](int module, int status) {
        return frames::busReply(QByteArray::fromHex("0001") + char(module) +
                                QByteArray::fromHex("8005") + char(status) + char(module));
    };
    using S = PendingRequest::State;
    QTest::newRow("answered") << true << reply(3, 1) << int(S::Answered) << 1 << QString();
    QTest::newRow("refused") << true << reply(3, 0xF5) << int(S::Refused) << 0xF5 << QString();
    QTest::newRow("the gateway's error for a missing module")
        << true << reply(0xFF, 0xF5) << int(S::Refused) << 0xF5 << QString();
    QTest::newRow("another module answered")
        << true << reply(7, 1) << int(S::TimedOut) << 0 << QStringLiteral("module 7 answered");
    QTest::newRow("nothing came") << true << QByteArray() << int(S::TimedOut) << 0 << QString();
    QTest::newRow("link not open")
        << false << QByteArray() << int(S::NotSent) << 0 << QStringLiteral("Not sent:");
}

void TestLinkUdp::requestEnds() {
    QFETCH(bool, open);
    QFETCH(QByteArray, answer);
    QFETCH(int, state);
    QFETCH(int, status);
    QFETCH(QString, told);
    NetRig rig(open);
    if (!answer.isEmpty())
        rig.peer.serve({{answer}});
    const QPointer<PendingRequest> p =
        rig.bus.submit(Request(3, 0, 5), Purpose::Job, {.replyWaitMs = 300});
    QVERIFY(p);
    int finished = 0;
    connect(p, &PendingRequest::finished, this, [&] { ++finished; });
    QCOMPARE(int(p->state()), state);
    if (p->replied())
        QCOMPARE(int(p->status()), status);
    const QString text =
        state == int(PendingRequest::State::NotSent) ? p->notSentText() : p->instead();
    QVERIFY2(told.isEmpty() ? text.isEmpty() : text.contains(told), qPrintable(text));
    QTRY_VERIFY(!p);
    QCOMPARE(finished, 1);
}

void TestLinkUdp::oversizeAnswerIgnored() {
    NetRig rig;
    QByteArray oversize = addressReply(3);
    oversize.append(QByteArray(201 - oversize.size(), '\0'));
    rig.peer.serve({{oversize}});
    // The datagram came and was dropped: the wait went on to its end.
    QVERIFY(rig.timedSend() >= 900);
    QVERIFY(rig.modules.isEmpty());
    QCOMPARE(rig.probe.log, QStringList{kSent});
    QVERIFY(rig.probe.messages.isEmpty());
}

void TestLinkUdp::transportNotCreated() {
    NetRig rig(false);
    rig.bus.send(Request(0xFF, 0, 5));
    QCOMPARE(rig.probe.messages, QStringList{kCommError});
    QCOMPARE(rig.probe.log, QStringList{kSent});
    QVERIFY(rig.peer.take(300).isNull());

    // Nothing is left broken: once created, the link works.
    QVERIFY(BusInternals::udp(rig.bus).open());
    rig.peer.serve({{addressReply(5)}});
    rig.bus.send(Request(0xFF, 0, 5));
    QCOMPARE(rig.modules, QList<int>{5});
    QCOMPARE(rig.probe.messages.size(), 1);
}

void TestLinkUdp::hostNotFoundNamedInDetail_data() {
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("detail");
    QTest::newRow("IPv6 address") << "::1"
                                  << "::1 is an IPv6 address";
    QTest::newRow("no host") << ""
                             << "no remote host";
}

void TestLinkUdp::hostNotFoundNamedInDetail() {
    QFETCH(QString, host);
    QFETCH(QString, detail);
    NetRig rig;
    QStringList details;
    QObject::connect(&rig.bus, &Bus::message, &rig.bus,
                     [&](const QString&, const QString& d) { details << d; });
    BusInternals::udp(rig.bus).remoteHost = host;
    rig.bus.send(Request(0xFF, 0, 5));
    QCOMPARE(rig.probe.messages, QStringList{kCommError});
    QVERIFY2(details.value(0).contains(detail), qPrintable(details.value(0)));
    QVERIFY(rig.peer.take(100).isNull());

    // Another host on the same open link is looked up afresh.
    BusInternals::udp(rig.bus).remoteHost = QStringLiteral("127.0.0.1");
    rig.peer.serve({{addressReply(5)}});
    rig.bus.send(Request(0xFF, 0, 5));
    QCOMPARE(rig.modules, QList<int>{5});
}

void TestLinkUdp::localPortInUse() {
    // Even a holder that would share its port keeps it: the transport never asks to share.
    for (bool shareable : {false, true}) {
        Peer holder(shareable);
        UdpTransport udp;
        udp.localPort = holder.port();
        QVERIFY(!udp.open());
        QVERIFY(!udp.isActive());
    }
    UdpTransport udp;
    udp.localPort = 0;
    QVERIFY(udp.open());
    QVERIFY(udp.boundPort() != 0);
}

void TestLinkUdp::resetDiscardsQueued() {
    NetRig rig;
    rig.peer.sendToPort(BusInternals::udp(rig.bus).boundPort(), addressReply(7));
    QTest::qWait(50);
    BusInternals::udp(rig.bus).reset();
    QVERIFY(BusInternals::udp(rig.bus).isActive());
    QCOMPARE(BusInternals::udp(rig.bus).boundPort(), quint16(0));

    rig.peer.serve({{}}); // takes the request, answers nothing
    rig.timedSend();
    QVERIFY(rig.modules.isEmpty());
    QCOMPARE(rig.peer.requests().size(), 1); // sent from the new, system-chosen port
    QVERIFY(rig.probe.messages.isEmpty());
    // The reader moved to the new socket: a late answer there is taken in when it comes.
    rig.peer.sendToPort(BusInternals::udp(rig.bus).boundPort(), addressReply(8));
    QTRY_COMPARE(rig.modules, QList<int>{8});
}

void TestLinkUdp::lateAnswerTakenInWhenItComes() {
    NetRig rig;
    rig.peer.serve({{addressReply(3)}}, 1300);
    rig.bus.send(Request(0xFF, 0, 5));
    QVERIFY(rig.modules.isEmpty());
    // Nobody sends meanwhile: the answer is taken in when it comes, not by the next request.
    QTRY_COMPARE_WITH_TIMEOUT(rig.modules, QList<int>{3}, 2000);
    rig.peer.serve({{addressReply(4)}});
    rig.bus.send(Request(0xFF, 0, 5));
    QCOMPARE(rig.modules, (QList<int>{3, 4}));
    QCOMPARE(rig.probe.log.size(), 4);
}

void TestLinkUdp::strayDatagramsDoNotEndTheWait_data() {
    QTest::addColumn<QString>("from"); // who sends the stray, before the real answer
    QTest::addColumn<QByteArray>("stray");
    QTest::addColumn<bool>("toBusSwitch");
    QTest::addColumn<QList<int>>("modules"); // 0x80/0x05 replies handled, in order
    QTest::addColumn<int>("logLines");
    const QByteArray forged = addressReply(9);
    QTest::newRow("forged answer from another host")
        << "stranger" << forged << false << QList<int>{3} << 2;
    // Queued before the request went out: it cannot be the bus switch's answer to it.
    QTest::newRow("bus switch's request, a datagram from another host before it")
        << "stranger" << forged << true << QList<int>{3} << 2;
    QTest::newRow("empty datagram") << "gateway" << QByteArray() << false << QList<int>{3} << 2;
    QTest::newRow("garbage") << "gateway" << QByteArray("\x55\xAA\x03junk", 7) << false
                             << QList<int>{3} << 2;
    QTest::newRow("another module's answer")
        << "gateway" << forged << false << QList<int>{9, 3} << 3;
    QTest::newRow("another command's answer")
        << "gateway" << frames::busReply(QByteArray::fromHex("000103800601000A")) << false
        << QList<int>{3} << 3;
}

void TestLinkUdp::strayDatagramsDoNotEndTheWait() {
    QFETCH(QString, from);
    QFETCH(QByteArray, stray);
    QFETCH(bool, toBusSwitch);
    QFETCH(QList<int>, modules);
    QFETCH(int, logLines);
    NetRig rig;
    Peer stranger(false, "127.0.0.2");
    // Queued on the socket before the request goes out, as a late datagram would be: it is
    // taken in before the request goes, as what it is, never as the request's answer.
    (from == "stranger" ? stranger : rig.peer)
        .sendToPort(BusInternals::udp(rig.bus).boundPort(), stray);
    rig.peer.serve({{addressReply(3)}}, 100);
    rig.probe.log.clear();
    if (toBusSwitch)
        rig.bus.sendToBusSwitch(Request(0xFF, 0, 5), RequestLayout::longForm(0xFFFF));
    else
        rig.bus.send(Request(3, 0, 5));
    QCOMPARE(rig.modules, modules);
    QCOMPARE(rig.probe.log.size(), logLines);
    QVERIFY(rig.probe.messages.isEmpty());
}

void TestLinkUdp::handlerFailure() {
    NetRig rig;
    rig.bus.registerReply(0x80, 0x02, [](const Reply&) {
        throw std::runtime_error("Scene Records cannot be written");
    });
    rig.peer.serve({{frames::busReply(bytesOf("00 01 03 80 02 01"))}});
    rig.bus.send(Request(0xFF, 0, 5));
    QCOMPARE(rig.probe.messages, QStringList{kCommError});
    QCOMPARE(rig.probe.log.size(), 2); // the reply was taken in before its handler failed
}

// A handler that sends the next request re-enters the send path; each level of the nesting
// sees its own reply and its own BusSwitchReply.
void TestLinkUdp::nestedExchanges() {
    NetRig rig;
    QList<bool> busSwitch;
    quint8 next = 0;
    rig.bus.registerReply(0x84, 0x03, [&](const Reply& r) {
        busSwitch << r.busSwitchReply;
        if (++next < 3)
            rig.bus.send(Request(0x03, 0x04, 0x03, {next}));
    });
    rig.peer.serve({{frames::busReply(bytesOf("FF FF FF 84 03 01 00"))},
                    {frames::busReply(bytesOf("00 01 03 84 03 01 01"))},
                    {frames::busReply(bytesOf("FF FF FF 84 03 01 02"))}});
    rig.bus.send(Request(0x03, 0x04, 0x03, {0}));
    QCOMPARE(busSwitch, (QList<bool>{true, false, true}));
    QCOMPARE(rig.peer.requests().size(), 3);
    QCOMPARE(rig.probe.log.size(), 6);
}

// The bus switch's broadcast leaves by the interface of the route to the Remote IP alone,
// whatever the routing table says of 255.255.255.255 (here: the second interface). With no
// Remote IP to go by it is routed as it always was.
void TestLinkUdp::broadcastLeavesByTheRemotesInterface_data() {
    QTest::addColumn<QString>("remote");
    QTest::addColumn<QString>("leavesBy");
    QTest::newRow("loopback remote") << "127.0.0.1"
                                     << "lo";
    QTest::newRow("remote on the second interface") << "10.213.0.9" << netns::kSecondInterface;
    QTest::newRow("no remote") << "" << netns::kSecondInterface;
}

void TestLinkUdp::broadcastLeavesByTheRemotesInterface() {
    if (!netns::isChild()) {
        const netns::Outcome run =
            netns::runIsolated(QStringLiteral("broadcastLeavesByTheRemotesInterface:%1")
                                   .arg(QString::fromUtf8(QTest::currentDataTag())),
                               60000, netns::Setup::SecondInterface);
        if (run.kind == netns::Outcome::Unavailable)
            QSKIP(qPrintable(run.text));
        QVERIFY2(run.kind == netns::Outcome::Passed, qPrintable(run.text));
        return;
    }
    QVERIFY2(netns::isolated(netns::Setup::SecondInterface),
             "not in a network namespace of our own: no broadcast");
    QFETCH(QString, remote);
    QFETCH(QString, leavesBy);
    QUdpSocket listener;
    QVERIFY(listener.bind(QHostAddress::AnyIPv4, 0, QUdpSocket::ShareAddress));
    UdpTransport udp;
    udp.remoteHost = remote;
    udp.remotePort = 9;
    QVERIFY(udp.open());
    QVERIFY(udp.sendBroadcast(QByteArrayLiteral("read"), listener.localPort()));
    QVERIFY(listener.waitForReadyRead(5000));
    const QNetworkDatagram got = listener.receiveDatagram();
    QCOMPARE(got.data(), QByteArrayLiteral("read"));
    QCOMPARE(QNetworkInterface::interfaceNameFromIndex(got.interfaceIndex()), leavesBy);
}

QTEST_GUILESS_MAIN(TestLinkUdp)
#include "test_link_udp.moc"

// The Wireshark dissector (dist/wireshark/velm.lua) run by tshark: the sample frames of
// tests/data/frame_samples.tsv, sent to velm-sim over UDP and over its serial line and read
// from the simulator's capture, carry the summaries written there; every packet of that
// capture, the simulator's answers included, and a request and a reply of every operation
// of the table, and the samples from the bus, read word for word as the bus monitor's decoder
// reads them.
#include "link/capture_writer.h"
#include "link/frames.h"
#include "protocol/frame_decoder.h"
#include "protocol/operation_table.h"
#include "support/build_paths.h"
#include "support/capture_reader.h"
#include "support/frame_samples.h"
#include "support/sim_process.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QUdpSocket>

#include <fcntl.h>
#include <unistd.h>

using namespace framedecoder;

namespace {

constexpr quint16 kToolPort = 2002;

// One summary per packet, in capture order; empty when a packet got none.
QStringList tsharkSummaries(const QString& capture, quint16 gatewayPort, QString* error) {
    const QString tshark = QStandardPaths::findExecutable(QStringLiteral("tshark"));
    if (tshark.isEmpty()) {
        *error = QStringLiteral("tshark is missing: tools/ensure-deps.sh installs it");
        return {};
    }
    QProcess p;
    p.start(tshark,
            {"-n", "-X", QStringLiteral("lua_script:") + buildpaths::source("dist/wireshark/velm.lua"),
             "-o", QStringLiteral("velm.gateway_port:%1").arg(gatewayPort), "-r", capture, "-T",
             "fields", "-e", "frame.number", "-e", "velm.summary"});
    if (!p.waitForFinished(20000) || p.exitCode() != 0) {
        *error = QString::fromLocal8Bit(p.readAllStandardError());
        return {};
    }
    QStringList out;
    for (const QByteArray& line : p.readAllStandardOutput().split('\n')) {
        if (line.isEmpty())
            continue;
        const int tab = int(line.indexOf('\t'));
        out << QString::fromUtf8(tab < 0 ? QByteArray() : line.mid(tab + 1));
    }
    return out;
}

// What the capture tells the decoder, as the dissector takes it: the link, and the direction
// from the gateway's port or the serial direction byte.
Hints hintsOf(const CapturedPacket& p, quint16 gatewayPort) {
    Hints h;
    if (p.linkType == CaptureWriter::kLinkTypeRaw) {
        h.link = Link::Network;
        if (p.destinationPort == gatewayPort || p.sourcePort == kToolPort)
            h.direction = Direction::Sent;
        else if (p.sourcePort == gatewayPort || p.destinationPort == kToolPort)
            h.direction = Direction::Received;
    } else {
        h.link = Link::Serial;
        h.direction = p.direction == CaptureWriter::kToBus ? Direction::Sent : Direction::Received;
    }
    return h;
}

// Parameter bytes an operation's builders could send: its fixed bytes, other bytes varying.
QByteArray paramsFor(const operations::Operation& op, int count) {
    QByteArray p;
    for (int i = 0; i < count; ++i) {
        const char c = op.shape && i < int(qstrlen(op.shape)) ? op.shape[i] : '.';
        p.append(c == 'F' ? char(0xFF) : c == '0' ? char(0) : char((i * 29 + 3) & 0x3F));
    }
    return p;
}

} // namespace

class TestWiresharkDissector : public QObject {
    Q_OBJECT
private slots:
    void samplesThroughVelmSim();
    void everyOperationReadsAlike();

private:
    void compareAll(const QString& capture, quint16 gatewayPort, QStringList* summaries);
};

void TestWiresharkDissector::compareAll(const QString& capture, quint16 gatewayPort,
                                        QStringList* summaries) {
    const CaptureFile file = readCapture(capture);
    QVERIFY2(file.ok, qPrintable(file.error));
    QString error;
    *summaries = tsharkSummaries(capture, gatewayPort, &error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QCOMPARE(summaries->size(), file.packets.size());
    for (int i = 0; i < file.packets.size(); ++i) {
        const CapturedPacket& p = file.packets[i];
        const QString decoded = decode(p.frame, hintsOf(p, gatewayPort)).summary();
        QVERIFY2(summaries->at(i) == decoded,
                 qPrintable(
                     QStringLiteral("packet %1 (%2):\n  tshark  %3\n  decoder %4")
                         .arg(i + 1)
                         .arg(QString::fromLatin1(p.frame.toHex(' ')), summaries->at(i), decoded)));
    }
}

void TestWiresharkDissector::samplesThroughVelmSim() {
    QTemporaryDir dir;
    const QString capture = dir.filePath(QStringLiteral("sim.pcapng"));
    SimProcess sim;
    QVERIFY2(sim.start({"--pcap", capture, "--serial", "--baud", "0"}),
             qPrintable(sim.errorString()));
    QUdpSocket tool;
    QVERIFY(tool.bind(QHostAddress::LocalHost, 0));
    const int line =
        ::open(sim.serialPath().toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    QVERIFY(line >= 0);
    QList<framesamples::Sample> sent;
    for (const framesamples::Sample& s : framesamples::load()) {
        if (!s.linkKnown || s.received || s.layoutKnown)
            continue;
        if (s.hints.link == Link::Network)
            tool.writeDatagram(s.bytes, QHostAddress::LocalHost, sim.udpPort());
        else
            QCOMPARE(::write(line, s.bytes.constData(), size_t(s.bytes.size())), s.bytes.size());
        sent << s;
        QThread::msleep(5); // one frame at a time on the line
    }
    QTest::qWait(2000); // the answers, with room for a loaded machine
    ::close(line);
    sim.stop();
    QVERIFY(sent.size() > 30);

    QStringList summaries;
    compareAll(capture, sim.udpPort(), &summaries);
    if (QTest::currentTestFailed())
        return;
    // Each sample as the tool sent it, found in the capture in order.
    const CaptureFile file = readCapture(capture);
    int at = 0;
    for (const framesamples::Sample& s : sent) {
        const bool network = s.hints.link == Link::Network;
        while (at < file.packets.size()) {
            const CapturedPacket& p = file.packets[at];
            const bool fromTool = network ? p.sourcePort == tool.localPort()
                                          : p.linkType == CaptureWriter::kLinkTypeUser0 &&
                                                p.direction == CaptureWriter::kToBus;
            if (fromTool && p.frame == s.bytes)
                break;
            ++at;
        }
        QVERIFY2(at < file.packets.size(),
                 qPrintable(QStringLiteral("line %1 is not in the capture").arg(s.line)));
        QVERIFY2(summaries[at] == s.summary,
                 qPrintable(QStringLiteral("line %1: %2").arg(s.line).arg(summaries[at])));
    }
}

void TestWiresharkDissector::everyOperationReadsAlike() {
    QTemporaryDir dir;
    const QString capture = dir.filePath(QStringLiteral("all.pcapng"));
    CaptureWriter writer;
    QVERIFY(writer.open(capture));
    const QHostAddress gateway(QStringLiteral("127.0.0.1"));
    const quint16 gatewayPort = 2001;
    const QByteArray password = frames::PasswordBlock(QStringLiteral("418273"));
    qint64 t = 0;
    for (const operations::Operation& op : operations::all()) {
        const bool toSwitch = op.target == operations::Target::BusSwitch;
        const quint8 module = toSwitch ? 0xFF : 0x05;
        const bool settings = toSwitch && (op.subCommand == 0x00 || op.subCommand == 0x05);
        const QByteArray subnet =
            settings ? QByteArray(2, char(0xFF)) : QByteArray::fromHex("0001");
        for (int count : {op.minParams, op.maxParams}) {
            const QByteArray head =
                QByteArray(1, char(module)) + char(op.command) + char(op.subCommand);
            const QByteArray params = paramsFor(op, count);
            // The length byte counts the block, as the send path's does.
            const QByteArray request = frames::busReply(password + subnet + head + params);
            writer.writeDatagram(++t, gateway, kToolPort, gateway, gatewayPort, request);
            writer.writeSerial(
                ++t, CaptureWriter::kToBus,
                frames::busReply((toSwitch ? subnet : QByteArray()) + head + params));
            QVERIFY2(decode(request, {Link::Network}).known, op.name);
        }
        QByteArray reply = QByteArray(1, char(module)) + char(op.command | 0x80) +
                           char(op.subCommand) + char(1) + char(1);
        for (int i = 1; i < std::max(op.replyData, 9); ++i)
            reply.append(char((i * 17 + 2) & 0x3F));
        writer.writeDatagram(++t, gateway, gatewayPort, gateway, kToolPort,
                             frames::busReply(subnet + reply));
        writer.writeSerial(++t, CaptureWriter::kFromBus, frames::busReply(reply));
        reply[3] = char(5); // an error status
        writer.writeSerial(++t, CaptureWriter::kFromBus, frames::busReply(reply.left(4)));
    }
    for (const operations::BindTest& b : operations::bindTests()) {
        const QByteArray payload = b.scene ? b.payload(7, 0) : b.payload(2, 3);
        writer.writeSerial(++t, CaptureWriter::kToBus, frames::bindFrameFromPayload(payload));
        writer.writeDatagram(++t, gateway, gatewayPort, gateway, kToolPort,
                             frames::bindFrameFromPayload(payload + char(1)));
    }
    // The samples from the bus: what the tool drops or reads its own way reads alike too.
    for (const framesamples::Sample& s : framesamples::load()) {
        if (!s.received || !s.linkKnown)
            continue;
        if (s.hints.link == Link::Network)
            writer.writeDatagram(++t, gateway, gatewayPort, gateway, kToolPort, s.bytes);
        else
            writer.writeSerial(++t, CaptureWriter::kFromBus, s.bytes);
    }
    writer.close();
    QStringList summaries;
    compareAll(capture, gatewayPort, &summaries);
}

QTEST_GUILESS_MAIN(TestWiresharkDissector)
#include "test_wireshark_dissector.moc"

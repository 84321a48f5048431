#include "link/tcomm.h"
#include "support/pty_pair.h"

#include <QElapsedTimer>
#include <QSerialPortInfo>
#include <QTemporaryFile>
#include <QTest>
#include <QThread>

namespace {

// A TComm on the slave side of a fresh pty, recording every delivered block.
struct Line {
    PtyPair pty;
    TComm comm;
    QList<QByteArray> blocks;
    QList<qint64> arrivals; // ms on `clock`
    QElapsedTimer clock;
    int hangups = 0;
    int emptyNotices = 0;

    Line() {
        clock.start();
        comm.OnReceiveData = [this](TComm*, const quint8* buffer, quint16 length) {
            blocks << QByteArray(reinterpret_cast<const char*>(buffer), length);
            arrivals << clock.elapsed();
        };
        comm.OnRequestHangup = [this](TComm*) { ++hangups; };
        comm.OnSendDataEmpty = [this](TComm*) { ++emptyNotices; };
    }
    void open() {
        comm.CommName = pty.slavePath();
        comm.OpenPort();
    }
    QByteArray received() const { return blocks.join(); }
};

QByteArray pattern(int size, int seed = 0) {
    QByteArray bytes(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        bytes[i] = char((i + seed) % 251);
    return bytes;
}

QString openError(TComm& comm) {
    try {
        comm.OpenPort();
    } catch (const ECommsError& e) {
        return e.message();
    }
    return {};
}

} // namespace

class TestLinkTComm : public QObject {
    Q_OBJECT
private slots:
    void burstIsOneBlockAfterQuiet();
    void burstsSplitByQuiet_data();
    void burstsSplitByQuiet();
    void longStreamComesInFullBlocks();
    void blocksSurviveBusyMainThread();
    void staleBytesBeforeOpenAreDropped();
    void queueWriteNeedsOpenPortAndBytes();
    void queueWriteReachesLine();
    void openErrors_data();
    void openErrors();
    void openTwice();
    void closeAbandonsPendingWrite();
    void closeFromDataEvent();
    void peerVanishes();
    void closeWhenClosedDoesNothing();
    void devicePath_data();
    void devicePath();
    void portNames();
};

void TestLinkTComm::burstIsOneBlockAfterQuiet() {
    Line line;
    QVERIFY(line.pty.ok());
    line.open();
    const QByteArray reply = QByteArray::fromHex("aed00a01020304050607");
    QVERIFY(line.pty.write(reply));
    const qint64 sent = line.clock.elapsed();
    QTRY_COMPARE_WITH_TIMEOUT(line.blocks.size(), 1, 3000);
    const qint64 delay = line.arrivals[0] - sent;
    QVERIFY2(delay >= 80 && delay <= 600, qPrintable(QString::number(delay)));
    QCOMPARE(line.blocks[0], reply);
    QTest::qWait(300);
    QCOMPARE(line.blocks.size(), 1);
}

void TestLinkTComm::burstsSplitByQuiet_data() {
    QTest::addColumn<quint32>("quietMs");
    QTest::addColumn<int>("gapMs");
    QTest::addColumn<int>("expectedBlocks");
    QTest::newRow("30 ms gap joins") << 100u << 30 << 1;
    QTest::newRow("300 ms gap splits") << 100u << 300 << 2;
    QTest::newRow("quiet raised to 700 ms while open") << 700u << 300 << 1;
}

void TestLinkTComm::burstsSplitByQuiet() {
    QFETCH(quint32, quietMs);
    QFETCH(int, gapMs);
    QFETCH(int, expectedBlocks);
    Line line;
    line.open();
    line.comm.ReadIntervalTimeout = quietMs;
    line.comm.applyTimeouts();
    line.comm.applyLineSettings();
    QTest::qWait(20); // let the worker take the new settings before the line speaks

    const QByteArray first = pattern(5), second = pattern(7, 100);
    QVERIFY(line.pty.write(first));
    QThread::msleep(gapMs);
    QVERIFY(line.pty.write(second));
    QTRY_COMPARE_WITH_TIMEOUT(line.received().size(), first.size() + second.size(), 5000);
    QTest::qWait(200);
    QCOMPARE(line.blocks.size(), expectedBlocks);
    QCOMPARE(line.received(), first + second);
}

void TestLinkTComm::longStreamComesInFullBlocks() {
    Line line;
    line.open();
    const QByteArray stream = pattern(5000);
    QVERIFY(line.pty.write(stream));
    QTRY_COMPARE_WITH_TIMEOUT(line.received().size(), stream.size(), 5000);
    QTest::qWait(200);
    QList<qsizetype> sizes;
    for (const QByteArray& block : line.blocks)
        sizes << block.size();
    QCOMPARE(sizes, (QList<qsizetype>{2048, 2048, 904}));
    QCOMPARE(line.received(), stream);
}

void TestLinkTComm::blocksSurviveBusyMainThread() {
    // The quiet is measured on the port's thread: two bursts 250 ms apart stay two blocks even
    // when the main thread sleeps through both of them.
    Line line;
    line.open();
    const QByteArray first = pattern(10), second = pattern(20, 7);
    QVERIFY(line.pty.write(first));
    QThread::msleep(250);
    QVERIFY(line.pty.write(second));
    QThread::msleep(300);
    QTRY_COMPARE_WITH_TIMEOUT(line.blocks.size(), 2, 3000);
    QCOMPARE(line.blocks[0], first);
    QCOMPARE(line.blocks[1], second);
}

void TestLinkTComm::staleBytesBeforeOpenAreDropped() {
    Line line;
    QVERIFY(line.pty.write("stale"));
    QThread::msleep(20);
    line.open();
    QVERIFY(line.pty.write("fresh"));
    QTRY_COMPARE_WITH_TIMEOUT(line.blocks.size(), 1, 3000);
    QCOMPARE(line.received(), QByteArray("fresh"));
}

void TestLinkTComm::queueWriteNeedsOpenPortAndBytes() {
    Line line;
    const quint8 bytes[] = {0x55, 0xAA};
    QVERIFY(!line.comm.QueueWrite(bytes, 2));
    line.open();
    QVERIFY(!line.comm.QueueWrite(bytes, 0));
    line.comm.ClosePort();
    QVERIFY(!line.comm.QueueWrite(bytes, 2));
    QCOMPARE(line.pty.read(200), QByteArray());
    QVERIFY(line.comm.sendQueueEmpty());
}

void TestLinkTComm::queueWriteReachesLine() {
    Line line;
    line.open();
    const QByteArray frame = QByteArray::fromHex("55aa08ff000557a1");
    const QByteArray big = pattern(3000);
    QVERIFY(line.comm.QueueWrite(reinterpret_cast<const quint8*>(frame.constData()),
                                 quint16(frame.size())));
    QVERIFY(line.comm.QueueWrite(reinterpret_cast<const quint8*>(big.constData()),
                                 quint16(big.size())));
    QByteArray got;
    QElapsedTimer clock;
    clock.start();
    while (got.size() < frame.size() + big.size() && clock.elapsed() < 5000)
        got += line.pty.read(200);
    QCOMPARE(got, frame + big);
    QTRY_VERIFY_WITH_TIMEOUT(line.comm.sendQueueEmpty(), 3000);
    // One notice at the start, at least one more once the blocks are out.
    QTRY_VERIFY_WITH_TIMEOUT(line.emptyNotices >= 2, 3000);
}

void TestLinkTComm::openErrors_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("message");
    QTest::newRow("missing device") << "/dev/velm-no-such-port"
                                    << "Error opening serial port";
    QTest::newRow("regular file") << "<temp>"
                                  << "File handle is not a comm handle ";
    QTest::newRow("/dev/null") << "/dev/null"
                               << "File handle is not a comm handle ";
}

void TestLinkTComm::openErrors() {
    QFETCH(QString, path);
    QFETCH(QString, message);
    QTemporaryFile file;
    QVERIFY(file.open());
    Line line;
    line.comm.CommName = path == "<temp>" ? file.fileName() : path;
    QCOMPARE(openError(line.comm), message);

    // The failure leaves the port closed and the component usable.
    QVERIFY(!line.comm.isOpen());
    const quint8 byte = 1;
    QVERIFY(!line.comm.QueueWrite(&byte, 1));
    line.open();
    QVERIFY(line.comm.isOpen());
    QVERIFY(line.pty.write("ok"));
    QTRY_COMPARE_WITH_TIMEOUT(line.received(), QByteArray("ok"), 3000);
}

void TestLinkTComm::openTwice() {
    Line line;
    line.open();
    QCOMPARE(openError(line.comm), QString("This serial port already opened"));
    QVERIFY(line.comm.isOpen());

    // The same device from a second component is taken.
    TComm other;
    other.CommName = line.pty.slavePath();
    QCOMPARE(openError(other), QString("Error opening serial port"));
    QVERIFY(!other.isOpen());

    // The first one still works.
    QVERIFY(line.pty.write("abc"));
    QTRY_COMPARE_WITH_TIMEOUT(line.received(), QByteArray("abc"), 3000);
}

void TestLinkTComm::closeAbandonsPendingWrite() {
    Line line;
    line.open();
    // Nobody reads the master, so the line backs up after a few kilobytes.
    const QByteArray block = pattern(60000);
    const int count = 20;
    for (int i = 0; i < count; ++i)
        QVERIFY(line.comm.QueueWrite(reinterpret_cast<const quint8*>(block.constData()),
                                     quint16(block.size())));
    QTest::qWait(100);
    QVERIFY(!line.comm.sendQueueEmpty());
    QElapsedTimer clock;
    clock.start();
    line.comm.ClosePort();
    QVERIFY2(clock.elapsed() < 3000, qPrintable(QString::number(clock.elapsed())));
    QVERIFY(!line.comm.isOpen());
    QVERIFY(line.comm.sendQueueEmpty());
    QVERIFY(line.pty.read(300).size() < block.size() * count);
}

void TestLinkTComm::closeFromDataEvent() {
    Line line;
    line.comm.OnReceiveData = [&line](TComm* sender, const quint8*, quint16) {
        sender->ClosePort();
        ++line.hangups; // reused as a call counter
    };
    line.open();
    QVERIFY(line.pty.write("x"));
    QTRY_VERIFY_WITH_TIMEOUT(!line.comm.isOpen(), 3000);
    QCOMPARE(line.hangups, 1);
}

void TestLinkTComm::peerVanishes() {
    Line line;
    line.open();
    QVERIFY(line.pty.write("last"));
    QThread::msleep(20);
    line.pty.closeMaster();
    QTRY_VERIFY_WITH_TIMEOUT(line.hangups >= 1, 10000);
    QCOMPARE(line.received(), QByteArray("last"));
    // The writer is gone: nothing more can be queued, and closing still works.
    const quint8 byte = 1;
    QVERIFY(!line.comm.QueueWrite(&byte, 1));
    QVERIFY(line.comm.isOpen());
    line.comm.ClosePort();
    QVERIFY(!line.comm.isOpen());
}

void TestLinkTComm::closeWhenClosedDoesNothing() {
    Line line;
    line.comm.ClosePort();
    QVERIFY(!line.comm.isOpen());
    line.open();
    line.comm.ClosePort();
    line.comm.ClosePort();
    QVERIFY(!line.comm.isOpen());
    QCOMPARE(line.hangups, 0);
}

void TestLinkTComm::devicePath_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("override"); // value of VELM_COM1, empty: unset
    QTest::addColumn<QString>("expected");
#if defined(Q_OS_LINUX)
    QTest::newRow("COM1") << "COM1"
                          << ""
                          << "/dev/ttyUSB0";
    QTest::newRow("COM5") << "COM5"
                          << ""
                          << "/dev/ttyUSB4";
    QTest::newRow("path stays") << "/dev/ttyS0"
                                << ""
                                << "/dev/ttyS0";
    QTest::newRow("env override") << "COM1"
                                  << "/dev/pts/9"
                                  << "/dev/pts/9";
    QTest::newRow("override is per name") << "COM2"
                                          << "/dev/pts/9"
                                          << "/dev/ttyUSB1";
    QTest::newRow("bare device name") << "ttyACM0"
                                      << ""
                                      << "/dev/ttyACM0";
#elif defined(Q_OS_WIN)
    QTest::newRow("COM1") << "COM1"
                          << "/dev/pts/9"
                          << "COM1";
#endif
}

void TestLinkTComm::devicePath() {
    QFETCH(QString, name);
    QFETCH(QString, override);
    QFETCH(QString, expected);
    if (override.isEmpty())
        qunsetenv("VELM_COM1");
    else
        qputenv("VELM_COM1", override.toLocal8Bit());
    const QString path = TComm::devicePath(name);
    qunsetenv("VELM_COM1");
    QCOMPARE(path, expected);
}

void TestLinkTComm::portNames() {
    const QStringList names = TComm::portNames();
    QCOMPARE(names.mid(0, 5), (QStringList{"COM1", "COM2", "COM3", "COM4", "COM5"}));
    QCOMPARE(QSet<QString>(names.begin(), names.end()).size(), names.size());
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts())
        QVERIFY(names.contains(info.systemLocation()));
}

QTEST_GUILESS_MAIN(TestLinkTComm)
#include "test_link_tcomm.moc"

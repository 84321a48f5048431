// "Bus Monitor…" on the real main window against velm-sim over loopback UDP: a button's request
// and its reply appear decoded, a stranger's datagram appears as dropped, nothing shows the
// password, the filters, pause and clear work, the CSV and the capture hold the rows, and a
// flood of large datagrams costs 100 bytes a row and is said to have been dropped. With
// VELM_SCREENSHOT_DIR set the monitor is saved there as a picture.
#include "app/bus_monitor_dialog.h"
#include "app/bus_monitor_model.h"
#include "link/capture_writer.h"
#include "support/capture_reader.h"
#include "support/odd_files.h"
#include "support/window_fixture.h"

#include <QAbstractItemModelTester>
#include <QAction>
#include <QLabel>
#include <QMenuBar>
#include <QSortFilterProxyModel>
#include <QSpinBox>
#include <QTest>
#include <QUdpSocket>

namespace {
const QString kPasswordHex = QStringLiteral("34 31 38 32 37 33"); // "418273"
}

class TestBusMonitorWindow : public QObject {
    Q_OBJECT
private slots:
    void monitorsTheNetwork();
    void capKeepsTheNewestRows();

private:
    QStringList rows(BusMonitorDialog* d) const {
        QStringList out;
        for (int r = 0; r < d->model().rowCount(); ++r)
            out << QStringList(d->model().row(r).cells.begin(), d->model().row(r).cells.end())
                       .join(QLatin1Char('|'));
        return out;
    }
};

void TestBusMonitorWindow::monitorsTheNetwork() {
    WindowFixture env;
    QVERIFY2(env.open(false), qPrintable(env.error));
    env.find<QMenuBar>(QStringLiteral("MainMenu"))
        ->findChild<QAction*>(QStringLiteral("BusMonitorAction"))
        ->trigger();
    auto* monitor = env.find<BusMonitorDialog>(QStringLiteral("BusMonitorDialog"));
    QVERIFY(monitor->isVisible() && !monitor->isModal());
    QTemporaryDir dir;
    monitor->setSaveFile([&dir](QWidget*, const QString& caption, const QString&) {
        return dir.filePath(caption.contains(QLatin1String("Capture")) ? "cap" : "monitor");
    });

    env.find<QPushButton>(QStringLiteral("Button2"))->click(); // "On", module 1, channel 1
    QCOMPARE(env.logLines(QStringLiteral("Send")).size(), 1);
    QCOMPARE(env.logLines(QStringLiteral("Read")).size(), 1);
    QUdpSocket stranger;
    QVERIFY(stranger.bind(QHostAddress(QStringLiteral("127.0.0.2")), 0));
    const quint16 toolPort = quint16(env.find<QLineEdit>(QStringLiteral("Edit6"))->text().toUInt());
    stranger.writeDatagram(frames::busReply(QByteArray::fromHex("0001098201010203")),
                           QHostAddress::LocalHost, toolPort);
    QTRY_COMPARE(monitor->model().rowCount(), 3);
    const QStringList cells = rows(monitor);
    const QStringList expected = {
        "sent|network|1|Light On, channel 1|",
        "received|network|1|Light On|OK!",
        "received|network|9|Light On, bytes 02 03|dropped: foreign sender",
    };
    for (int i = 0; i < 3; ++i)
        QVERIFY2(cells[i].section('|', 1, 5) == expected[i], qPrintable(cells[i]));
    QVERIFY2(cells[0].endsWith(QStringLiteral("|55 AA 1C") + QStringLiteral(" XX").repeated(16) +
                               QStringLiteral(" 00 01 01 02 01 00 FF XX XX")),
             qPrintable(cells[0]));
    QCOMPARE(env.logLines(QStringLiteral("Read")).size(), 1); // the stranger's is not logged

    auto* module = env.find<QSpinBox>(QStringLiteral("MonitorModule"));
    auto* family = env.find<QComboBox>(QStringLiteral("MonitorFamily"));
    module->setValue(1);
    QCOMPARE(monitor->shownCount(), 2);
    family->setCurrentText(QStringLiteral("Curtain"));
    QCOMPARE(monitor->shownCount(), 0);
    module->setValue(-1);
    family->setCurrentText(QStringLiteral("Light"));
    QCOMPARE(monitor->shownCount(), 3);
    probe::screenshot(monitor, QStringLiteral("bus_monitor"));

    env.find<QPushButton>(QStringLiteral("MonitorSaveCsv"))->click();
    QCOMPARE(env.prompts.messages.last(), QStringLiteral("Bus monitor saved"));
    QFile csv(dir.filePath("monitor.csv"));
    QVERIFY(csv.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(csv.readAll());
    QCOMPARE(text.count(QLatin1Char('\n')), 4);
    QVERIFY(text.startsWith(QLatin1String("Time,Direction,Link,Module,What,Status,Bytes\n")));
    QVERIFY(text.contains(QLatin1String(",\"Light On, channel 1\",")));
    QVERIFY(!text.contains(kPasswordHex.left(8)) && !text.contains(QLatin1String("418273")));

    // A capture holds the frames as they went over the wire, and says so.
    env.find<QPushButton>(QStringLiteral("MonitorSaveCapture"))->click();
    QCOMPARE(env.prompts.messages.last(), QStringLiteral("Capture saved"));
    QVERIFY(env.prompts.details.last().contains(CaptureWriter::passwordNote()));
    const CaptureFile capture = readCapture(dir.filePath("cap.pcapng"));
    QVERIFY2(capture.ok, qPrintable(capture.error));
    QCOMPARE(capture.packets.size(), 3);
    QCOMPARE(capture.packets[0].destinationPort, env.sim.udpPort());
    QCOMPARE(capture.packets[0].frame, monitor->model().row(0).frame.bytes);
    QCOMPARE(capture.packets[2].source.toString(), QStringLiteral("127.0.0.2"));

    // Neither save replaces a device, a FIFO or a write-protected file, nor leaves a temporary
    // file: the box names the cause.
    QTemporaryDir refused;
    QFile(refused.filePath("protected.csv")).open(QIODevice::WriteOnly);
    QVERIFY(QFile::setPermissions(refused.filePath("protected.csv"), QFile::ReadOwner));
    QVERIFY(odd_files::make(odd_files::Kind::Device, refused.filePath("device.pcapng")));
    QVERIFY(odd_files::make(odd_files::Kind::Fifo, refused.filePath("fifo.csv")));
    const QList<std::pair<QString, QString>> targets = {
        {"protected.csv", "write-protected"}, {"device.pcapng", "device"}, {"fifo.csv", "FIFO"}};
    for (const auto& [name, cause] : targets) {
        const QString before = odd_files::fingerprint(refused.filePath(name));
        monitor->setSaveFile([&](QWidget*, const QString&, const QString&) {
            return refused.filePath(name);
        });
        name.endsWith(".csv") ? monitor->saveCsv() : monitor->saveCapture();
        QVERIFY2(env.prompts.messages.last().startsWith(QStringLiteral("Can not save")),
                 qPrintable(name));
        QVERIFY2(env.prompts.details.last().contains(cause), qPrintable(env.prompts.details.last()));
        QCOMPARE(odd_files::fingerprint(refused.filePath(name)), before);
    }
    QCOMPARE(QDir(refused.path()).entryList(QDir::Files | QDir::System).size(), 3);

    auto* pause = env.find<QPushButton>(QStringLiteral("MonitorPause"));
    pause->click();
    env.find<QPushButton>(QStringLiteral("Button2"))->click();
    QTRY_VERIFY(env.find<QLabel>(QStringLiteral("MonitorSummary"))
                    ->text()
                    .contains(QLatin1String("2 frames not taken in")));
    QCOMPARE(monitor->model().rowCount(), 3);
    pause->click();
    env.find<QPushButton>(QStringLiteral("MonitorClear"))->click();
    QCOMPARE(monitor->model().rowCount(), 0);

    // A flood of large datagrams sent while the tool cannot read: the system drops most of
    // them, which the next datagram it takes tells, and a row keeps 100 bytes of each.
    const QByteArray large(8000, char(0x55));
    for (int i = 0; i < 300; ++i)
        stranger.writeDatagram(large, QHostAddress::LocalHost, toolPort);
    QTRY_VERIFY(monitor->model().rowCount() > 0);
    stranger.writeDatagram(large.left(10), QHostAddress::LocalHost, toolPort);
    auto* summary = env.find<QLabel>(QStringLiteral("MonitorSummary"));
    QTRY_VERIFY2(summary->text().contains(QLatin1String("The system dropped")),
                 qPrintable(summary->text()));
    QVERIFY(monitor->model().systemDrops() > 0 && monitor->model().rowCount() < 300);
    const BusMonitorModel::Row& flooded = monitor->model().row(0);
    QCOMPARE(flooded.frame.bytes.size(), BusMonitorModel::kKeptBytes);
    QCOMPARE(flooded.length, large.size());
    QVERIFY2(flooded.cells[BusMonitorModel::Bytes].endsWith(QStringLiteral("55 … (8000 bytes)")),
             qPrintable(flooded.cells[BusMonitorModel::Bytes].right(40)));
    monitor->close();
    QVERIFY(!env.window->bus().tap().listening());
}

// At its cap the monitor lets the oldest rows go and keeps the newest, in order, whatever
// the views show of them.
void TestBusMonitorWindow::capKeepsTheNewestRows() {
    constexpr int kCap = 200;
    BusMonitorModel model(nullptr, kCap);
    QSortFilterProxyModel view;
    view.setSourceModel(&model);
    QAbstractItemModelTester tester(&view, QAbstractItemModelTester::FailureReportingMode::QtTest);
    TappedFrame frame;
    frame.bytes = QByteArray::fromHex("55AA0F0001000801");
    for (int n = 1; n <= 3 * kCap + 7; ++n) {
        frame.timeUs = n;
        model.add(frame);
        QVERIFY(model.rowCount() <= kCap);
        QCOMPARE(model.row(model.rowCount() - 1).frame.timeUs, n);
        QCOMPARE(model.row(0).frame.timeUs, n - model.rowCount() + 1);
        QCOMPARE(view.rowCount(), model.rowCount());
    }
    QVERIFY(model.rowCount() >= kCap - kCap / 50);
}

QTEST_MAIN(TestBusMonitorWindow)
#include "test_bus_monitor_window.moc"

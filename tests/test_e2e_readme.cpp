// The README's "Trying it without hardware" walkthrough, step by step as a newcomer does it,
// against velm-sim started as `make run` starts it: keys typed into the fields, buttons
// pressed, the results the README promises checked in the window and in the simulator.
#include "app/main_window.h"
#include "support/build_paths.h"
#include "support/sim_process.h"
#include "support/window_probe.h"
#include "widgets/prompt_service.h"

#include <QCheckBox>
#include <QComboBox>
#include <QJsonArray>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QUdpSocket>

#include <memory>

namespace {
constexpr int kReplyWaitMs = 5000;

// The README's ports are the defaults; a test cannot count on them being free.
bool udpPortFree(const QHostAddress& address, quint16 port) {
    QUdpSocket socket;
    return socket.bind(address, port);
}
} // namespace

class TestE2eReadme : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    SimProcess m_sim;
    std::unique_ptr<ScriptedPrompts> m_prompts;
    std::unique_ptr<TForm1> m_window;

    template <class T> T* find(const char* name) const {
        return probe::control<T>(m_window.get(), QString::fromLatin1(name));
    }
    QString status() const { return find<QLabel>("StatusPanel")->text(); }
    QStringList log() const { return find<QPlainTextEdit>("Memo1")->toPlainText().split('\n'); }
    void press(const char* button) {
        QTest::mouseClick(find<QAbstractButton>(button), Qt::LeftButton);
    }

    // `make run`: a record database in the run folder, the tool started there.
    void startTool() {
        const QString database = m_dir.filePath(QStringLiteral("VELM.mdb"));
        if (!QFile::exists(database)) {
            QProcess initdb;
            initdb.start(buildpaths::bin("velm-initdb"), {database});
            QVERIFY(initdb.waitForFinished(30000) && initdb.exitCode() == 0);
        }
        m_prompts = std::make_unique<ScriptedPrompts>();
        m_window = std::make_unique<TForm1>(*m_prompts, database);
        m_window->show();
        QVERIFY2(m_prompts->messages.isEmpty(), qPrintable(m_prompts->messages.join('|')));
    }

    // Steps 2 and 3, the same over both links.
    void switchLightOnAndReadIt() {
        // 2. On "Light Control" leave "Module Addr." 1 and "Channel No." 1 and press "On".
        QTabWidget* pages = m_window->pages();
        for (int i = 0; i < pages->count(); ++i)
            if (pages->tabText(i) == QLatin1String("Light Control"))
                pages->setCurrentIndex(i);
        QCOMPARE(pages->currentWidget()->objectName(), QStringLiteral("TabSheet3"));
        QCOMPARE(find<QSpinBox>("SpinEdit2")->value(), 1);
        QCOMPARE(find<QSpinBox>("SpinEdit3")->value(), 1);
        press("Button2");
        QTRY_VERIFY_WITH_TIMEOUT(log().contains(QStringLiteral("Read ：X  OK!")), kReplyWaitMs);
        QCOMPARE(SimProcess::module(m_sim.dump(), 1)["states"].toArray()[0].toInt() & 1, 1);

        // 3. Press "Read" under "Light Status": "Light1" is ticked.
        auto* light1 = find<QCheckBox>("CheckBox1");
        QCOMPARE(light1->text(), QStringLiteral("Light1"));
        QVERIFY(!light1->isChecked());
        press("Button11");
        QTRY_VERIFY_WITH_TIMEOUT(light1->isChecked(), kReplyWaitMs);
        // Each request and each reply has its line.
        QCOMPARE(log().filter(QStringLiteral("Send ：X")).size(), 2);
        QTRY_COMPARE_WITH_TIMEOUT(log().filter(QStringLiteral("Read ：X  OK!")).size(), 2,
                                  kReplyWaitMs);
        QVERIFY2(m_prompts->messages.isEmpty(), qPrintable(m_prompts->messages.join('|')));
    }

private slots:
    // `make run` with the simulator's UDP port taken: one line that names the port and the
    // process that holds it (here this test), and how to stop that one alone; no tool.
    void makeRunStopsWhenTheSimulatorPortIsBusy() {
        QUdpSocket holder;
        QVERIFY(holder.bind(QHostAddress::LocalHost, 0, QUdpSocket::DontShareAddress));
        QProcess run;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("VELM_SIM_PORT"), QString::number(holder.localPort()));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        run.setProcessEnvironment(env);
        run.start(QStringLiteral("bash"), {buildpaths::source("tools/run.sh"),
                                           buildpaths::build(),
                                           m_dir.filePath(QStringLiteral("busy-run"))});
        const bool ended = run.waitForFinished(30000);
        if (!ended)
            run.kill();
        QVERIFY2(ended, "the tool started without its simulator");
        const QStringList lines = QString::fromUtf8(run.readAllStandardError()).trimmed().split('\n');
        QVERIFY(run.exitCode() != 0);
        QCOMPARE(lines.size(), 1);
        QVERIFY2(lines[0].contains(QStringLiteral("UDP port %1").arg(holder.localPort())),
                 qPrintable(lines[0]));
        const qint64 pid = QCoreApplication::applicationPid();
        QVERIFY2(lines[0].contains(QStringLiteral("(pid %1").arg(pid)) &&
                     lines[0].contains(QStringLiteral("kill %1").arg(pid)),
                 qPrintable(lines[0]));
    }

    void cleanup() {
        m_window.reset();
        m_prompts.reset();
        m_sim.stop();
        qunsetenv("VELM_COM1");
    }

    void overTheNetwork() {
        const bool defaults =
            udpPortFree(QHostAddress::LocalHost, 2001) && udpPortFree(QHostAddress::AnyIPv4, 2002);
        const quint16 simPort = defaults ? 2001 : SimProcess::freeUdpPort();
        QVERIFY2(m_sim.start({"--serial", "--udp-port", QString::number(simPort)}),
                 qPrintable(m_sim.errorString()));
        startTool();

        // 1. Type 127.0.0.1 into "Remote IP" over the factory address: select it, type.
        auto* remoteIp = find<QLineEdit>("Edit4");
        QTest::mouseClick(remoteIp, Qt::LeftButton);
        QTest::keyClick(remoteIp, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(remoteIp, QStringLiteral("127.0.0.1"));
        QCOMPARE(remoteIp->text(), QStringLiteral("127.0.0.1"));
        if (defaults) {
            QCOMPARE(find<QLineEdit>("Edit5")->text(), QStringLiteral("2001"));
            QCOMPARE(find<QLineEdit>("Edit18")->text(), QStringLiteral("418273"));
        } else {
            qInfo("ports 2001/2002 are taken here: the walkthrough runs on other ports");
            find<QLineEdit>("Edit5")->setText(QString::number(simPort));
            find<QLineEdit>("Edit6")->setText(QString::number(SimProcess::freeUdpPort()));
        }
        // ... choose "TCP/IP ", then press the network row's "Create".
        auto* network = find<QRadioButton>("RadioButton1");
        QCOMPARE(network->text(), QStringLiteral("TCP/IP "));
        press("RadioButton1");
        QVERIFY(network->isChecked());
        press("Button32");
        QCOMPARE(status(), QStringLiteral("UDP is running!"));
        // The order matters: an open network link keeps its mode button disabled.
        QVERIFY(!network->isEnabled());

        switchLightOnAndReadIt();
    }

    void overTheSerialLink() {
        QVERIFY2(m_sim.start({"--serial"}), qPrintable(m_sim.errorString()));
        qputenv("VELM_COM1", m_sim.serialPath().toLocal8Bit());
        startTool();
        // Choose "Com", leave "COM1" and 9600 baud, press the serial row's "Create".
        press("RadioButton2");
        QVERIFY(find<QRadioButton>("RadioButton2")->isChecked());
        QCOMPARE(find<QComboBox>("ComboBox5")->currentText(), QStringLiteral("COM1"));
        QCOMPARE(find<QComboBox>("ComboBox1")->currentText(), QStringLiteral("9600"));
        press("Button10");
        QCOMPARE(status(), QStringLiteral("Com is running!"));

        switchLightOnAndReadIt();
    }
};

QTEST_MAIN(TestE2eReadme)
#include "test_e2e_readme.moc"

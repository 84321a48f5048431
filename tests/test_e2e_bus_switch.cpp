// End to end: "Bus Switch Settings" of the real main window against velm-sim's gateway over
// loopback UDP. The broadcast read runs in a network namespace of its own (see
// support/net_namespace.h), so that its broadcast never reaches a real network.
#include "app/main_window.h"
#include "support/net_namespace.h"
#include "support/sim_process.h"
#include "support/window_probe.h"
#include "widgets/prompt_service.h"

#include <QElapsedTimer>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

const QStringList kFields = {"Edit9",  "edt5",   "Edit15", "Edit17", "Edit11", "Edit21",
                             "Edit22", "Edit23", "Edit24", "Edit25", "Edit26", "Edit27",
                             "Edit28", "Edit29", "Edit30", "Edit31", "Edit32", "edt3",
                             "Edit7",  "Edit8",  "Edit33", "Edit34", "Edit35", "Edit36"};
const QStringList kSettings = {"10", "0",    "0",  "7",  "6000", "255", "255", "0",
                               "0",  "10",   "0",  "0",  "1",    "10",  "0",   "0",
                               "2",  "7000", "0A", "1B", "2C",   "3D",  "4E",  "5F"};
// The block velm-sim holds after Set with subnet 300.
const QString kBlock = QStringLiteral("01 2C 0A 00 00 07 17 70 FF FF 00 00 0A 00 00 01 0A 00 00 02 "
                                      "1B 58 0A 1B 2C 3D 4E 5F");
constexpr int kReplyWaitMs = 10000;
constexpr int kRestoreMs = 1500; // longer than the ordinary 1000 ms wait

} // namespace

class TestE2eBusSwitch : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void gatewayCommands();
    void readBackByBroadcast();

private:
    template <class T> T* find(const QString& name) const {
        return probe::control<T>(m_window.get(), name);
    }
    void openNetwork(const QStringList& simArguments);
    void setNetworkSubnet(int subnet);
    int readLines() const;
    void clickAndWait(const QString& button);
    void fillSettings(int subnet);
    QString fieldTexts() const;
    QJsonObject gateway() { return m_sim.dump()["busSwitch"].toObject(); }

    QTemporaryDir m_dir;
    SimProcess m_sim;
    std::unique_ptr<ScriptedPrompts> m_prompts;
    std::unique_ptr<TForm1> m_window;
};

void TestE2eBusSwitch::init() {
    m_prompts = std::make_unique<ScriptedPrompts>();
}

void TestE2eBusSwitch::cleanup() {
    m_window.reset();
    m_prompts.reset();
    m_sim.stop();
}

void TestE2eBusSwitch::openNetwork(const QStringList& simArguments) {
    QVERIFY2(m_sim.start(simArguments), qPrintable(m_sim.errorString()));
    m_window = std::make_unique<TForm1>(*m_prompts, m_dir.filePath(QStringLiteral("VELM.mdb")));
    m_prompts->messages.clear();
    find<QLineEdit>(QStringLiteral("Edit4"))->setText(QStringLiteral("127.0.0.1"));
    find<QLineEdit>(QStringLiteral("Edit5"))->setText(QString::number(m_sim.udpPort()));
    find<QLineEdit>(QStringLiteral("Edit6"))->setText(QString::number(SimProcess::freeUdpPort()));
    find<QRadioButton>(QStringLiteral("RadioButton1"))->setChecked(true);
    find<QPushButton>(QStringLiteral("Button32"))->click();
    QCOMPARE(find<QPushButton>(QStringLiteral("Button32"))->text(), QStringLiteral("Close"));
}

void TestE2eBusSwitch::setNetworkSubnet(int subnet) {
    // The panel's Subnet ID changes while the link is closed.
    auto* button = find<QPushButton>(QStringLiteral("Button32"));
    button->click();
    find<QSpinBox>(QStringLiteral("SpinEdit7"))->setValue(subnet);
    button->click();
    QCOMPARE(button->text(), QStringLiteral("Close"));
}

int TestE2eBusSwitch::readLines() const {
    const QStringList lines =
        find<QPlainTextEdit>(QStringLiteral("Memo1"))->toPlainText().split('\n');
    return int(lines.filter(QRegularExpression(QStringLiteral("^Read"))).size());
}

void TestE2eBusSwitch::clickAndWait(const QString& button) {
    const int before = readLines();
    find<QPushButton>(button)->click();
    QTRY_VERIFY_WITH_TIMEOUT(readLines() > before, kReplyWaitMs);
    QVERIFY2(m_prompts->messages.isEmpty(), qPrintable(m_prompts->messages.join('|')));
}

void TestE2eBusSwitch::fillSettings(int subnet) {
    find<QSpinBox>(QStringLiteral("SpinEdit12"))->setValue(subnet);
    for (int i = 0; i < kFields.size(); ++i)
        find<QLineEdit>(kFields[i])->setText(kSettings[i]);
}

QString TestE2eBusSwitch::fieldTexts() const {
    QStringList texts;
    for (const QString& name : kFields)
        texts << find<QLineEdit>(name)->text();
    return QString::number(find<QSpinBox>(QStringLiteral("SpinEdit12"))->value()) + '|' +
           texts.join(',');
}

// Set, type, version, password, transparent mode and the slow restore, all on loopback.
void TestE2eBusSwitch::gatewayCommands() {
    openNetwork({"--restore-ms", QString::number(kRestoreMs)});
    if (QTest::currentTestFailed())
        return;
    fillSettings(300);
    clickAndWait(QStringLiteral("btn1"));
    QCOMPARE(gateway()["settings"].toString(), kBlock);
    QCOMPARE(gateway()["subnet"].toInt(), 300);

    // From now on the gateway answers on its new subnet.
    setNetworkSubnet(300);
    clickAndWait(QStringLiteral("Button9"));
    QCOMPARE(find<QLineEdit>(QStringLiteral("Edit13"))->text(), QStringLiteral("0A01"));
    clickAndWait(QStringLiteral("Button33"));
    QCOMPARE(find<QLineEdit>(QStringLiteral("Edit14"))->text(), QStringLiteral("GW-IP V2.10"));

    find<QLineEdit>(QStringLiteral("Edit16"))->setText(QStringLiteral("gw2024"));
    clickAndWait(QStringLiteral("Button38"));
    QCOMPARE(gateway()["password"].toString(), QStringLiteral("gw2024"));
    QCOMPARE(find<QLineEdit>(QStringLiteral("Edit18"))->text(), QStringLiteral("418273"));
    find<QLineEdit>(QStringLiteral("Edit18"))->setText(QStringLiteral("gw2024"));

    m_prompts->answers = {true, true};
    clickAndWait(QStringLiteral("Button39"));
    QVERIFY(gateway()["transparent"].toBool());

    // The restarting gateway answers after the ordinary wait; the exchange still takes it.
    const int before = readLines();
    QElapsedTimer clock;
    clock.start();
    find<QPushButton>(QStringLiteral("Button34"))->click();
    QCOMPARE(readLines(), before + 1);
    QVERIFY2(clock.elapsed() >= kRestoreMs - 100, qPrintable(QString::number(clock.elapsed())));
    QVERIFY(m_prompts->messages.isEmpty());
    const QJsonObject restored = gateway();
    QCOMPARE(restored["password"].toString(), QStringLiteral("418273"));
    QCOMPARE(restored["subnet"].toInt(), 1);
    QVERIFY(!restored["transparent"].toBool());
}

// The settings go out to a gateway, then come back into cleared fields by the broadcast read,
// which needs neither its subnet nor its password.
void TestE2eBusSwitch::readBackByBroadcast() {
    if (!netns::isChild()) {
        const netns::Outcome run = netns::runIsolated(QStringLiteral("readBackByBroadcast"));
        if (run.kind == netns::Outcome::Unavailable)
            QSKIP(qPrintable(run.text));
        QVERIFY2(run.kind == netns::Outcome::Passed, qPrintable(run.text));
        return;
    }
    QVERIFY2(netns::isolated(), "not in a network namespace of our own: no broadcast");
    openNetwork({"--udp-broadcast"});
    if (QTest::currentTestFailed())
        return;
    fillSettings(300);
    clickAndWait(QStringLiteral("btn1"));
    QCOMPARE(gateway()["settings"].toString(), kBlock);

    fillSettings(0);
    for (const QString& name : kFields)
        find<QLineEdit>(name)->clear();
    find<QLineEdit>(QStringLiteral("Edit18"))->setText(QStringLiteral("wrong"));
    clickAndWait(QStringLiteral("btn2"));
    QCOMPARE(fieldTexts(), QStringLiteral("300|") + kSettings.join(','));

    // The gateway took it on its broadcast socket, and only that one request. Its log line
    // was written before it answered, but may still be on its way through the pipe.
    const auto broadcasts = [this] { return m_sim.output().filter(QStringLiteral("(broadcast)")); };
    QTRY_COMPARE_WITH_TIMEOUT(broadcasts().size(), 1, kReplyWaitMs);
    QVERIFY2(
        broadcasts()[0].startsWith(QStringLiteral("rx udp 127.0.0.1:")) &&
            broadcasts()[0].endsWith(QStringLiteral(" 55 AA 0A FF FF FF 00 05 51 A1 (broadcast)")),
        qPrintable(broadcasts()[0]));

    // The next request goes to the Remote IP again.
    find<QLineEdit>(QStringLiteral("Edit18"))->setText(QStringLiteral("418273"));
    setNetworkSubnet(300);
    clickAndWait(QStringLiteral("Button9"));
    QCOMPARE(find<QLineEdit>(QStringLiteral("Edit13"))->text(), QStringLiteral("0A01"));
    const auto typeReads = [this] {
        return m_sim.output().filter(QRegularExpression(QStringLiteral("^rx .* 01 2C FF 00 06 ")));
    };
    QTRY_COMPARE_WITH_TIMEOUT(typeReads().size(), 1, kReplyWaitMs);
    QVERIFY2(!typeReads()[0].contains(QStringLiteral("broadcast")), qPrintable(typeReads()[0]));
}

QTEST_MAIN(TestE2eBusSwitch)
#include "test_e2e_bus_switch.moc"

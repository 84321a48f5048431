// End to end: the real main window against velm-sim, over loopback UDP and over the
// simulator's pseudo-terminal. The tool's controls are compared with the simulator's state.
#include "app/main_window.h"
#include "support/sim_process.h"
#include "support/window_probe.h"
#include "widgets/prompt_service.h"

#include <QCheckBox>
#include <QComboBox>
#include <QJsonArray>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {
constexpr int kLight = 5;
constexpr int kCurtain = 3;
constexpr int kNewAddress = 7;
constexpr int kReplyWaitMs = 5000;
} // namespace

class TestE2eLightCurtainAdmin : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void overUdp();
    void overSerial();

private:
    void openWindow();
    void runScenario();
    void lightScenario();
    void curtainScenario();
    void adminScenario();

    template <class T> T* find(const QString& name) const {
        return probe::control<T>(m_window.get(), name);
    }
    void setSpin(const QString& name, int value) { find<QSpinBox>(name)->setValue(value); }
    int readLines() const;
    // Clicks and waits until the reply has been taken in (at once in network mode).
    void clickAndWait(const QString& button);
    void showPage(const QString& name);
    // Status boxes of the shown tab against the simulator's state bytes (bit 0).
    void compareBoxes(int module, int firstBox, int boxes);

    QTemporaryDir m_dir;
    SimProcess m_sim;
    std::unique_ptr<ScriptedPrompts> m_prompts;
    std::unique_ptr<TForm1> m_window;
};

void TestE2eLightCurtainAdmin::init() {
    m_prompts = std::make_unique<ScriptedPrompts>();
}

void TestE2eLightCurtainAdmin::cleanup() {
    m_window.reset();
    m_prompts.reset();
    m_sim.stop();
    qunsetenv("VELM_COM1");
}

void TestE2eLightCurtainAdmin::openWindow() {
    m_window = std::make_unique<TForm1>(*m_prompts, m_dir.filePath(QStringLiteral("VELM.mdb")));
    m_prompts->messages.clear(); // the six "Can not find ..." of a missing database
}

int TestE2eLightCurtainAdmin::readLines() const {
    const QStringList lines =
        find<QPlainTextEdit>(QStringLiteral("Memo1"))->toPlainText().split('\n');
    return int(lines.filter(QRegularExpression(QStringLiteral("^Read"))).size());
}

void TestE2eLightCurtainAdmin::clickAndWait(const QString& button) {
    const int before = readLines();
    find<QPushButton>(button)->click();
    QTRY_VERIFY_WITH_TIMEOUT(readLines() > before, kReplyWaitMs);
    QVERIFY2(m_prompts->messages.isEmpty(), qPrintable(m_prompts->messages.join('|')));
}

void TestE2eLightCurtainAdmin::showPage(const QString& name) {
    m_window->pages()->setCurrentWidget(m_window->pages()->findChild<QWidget*>(name));
}

void TestE2eLightCurtainAdmin::compareBoxes(int module, int firstBox, int boxes) {
    const QJsonArray states = SimProcess::module(m_sim.dump(), module)["states"].toArray();
    QCOMPARE(states.size(), boxes);
    for (int i = 0; i < boxes; ++i) {
        const auto* box = find<QCheckBox>(QStringLiteral("CheckBox%1").arg(firstBox + i));
        QVERIFY2(
            box->isChecked() == ((states[i].toInt() & 1) != 0),
            qPrintable(
                QStringLiteral("%1 against state %2").arg(box->text()).arg(states[i].toInt())));
    }
}

void TestE2eLightCurtainAdmin::overUdp() {
    QVERIFY2(
        m_sim.start({"--light", QString::number(kLight), "--curtain", QString::number(kCurtain)}),
        qPrintable(m_sim.errorString()));
    openWindow();
    // Loopback only, and the ports set before the transport is created.
    find<QLineEdit>(QStringLiteral("Edit4"))->setText(QStringLiteral("127.0.0.1"));
    find<QLineEdit>(QStringLiteral("Edit5"))->setText(QString::number(m_sim.udpPort()));
    find<QLineEdit>(QStringLiteral("Edit6"))->setText(QString::number(SimProcess::freeUdpPort()));
    find<QRadioButton>(QStringLiteral("RadioButton1"))->setChecked(true);
    find<QPushButton>(QStringLiteral("Button32"))->click();
    QVERIFY2(m_prompts->messages.isEmpty(), qPrintable(m_prompts->messages.join('|')));
    QCOMPARE(find<QPushButton>(QStringLiteral("Button32"))->text(), QStringLiteral("Close"));
    runScenario();
}

void TestE2eLightCurtainAdmin::overSerial() {
    QVERIFY2(m_sim.start({"--light", QString::number(kLight), "--curtain",
                          QString::number(kCurtain), "--no-udp", "--serial"}),
             qPrintable(m_sim.errorString()));
    QVERIFY(!m_sim.serialPath().isEmpty());
    qputenv("VELM_COM1", m_sim.serialPath().toLocal8Bit());
    openWindow();
    find<QComboBox>(QStringLiteral("ComboBox5"))->setCurrentText(QStringLiteral("COM1"));
    QVERIFY(find<QRadioButton>(QStringLiteral("RadioButton2"))->isChecked());
    find<QPushButton>(QStringLiteral("Button10"))->click();
    QVERIFY2(m_prompts->messages.isEmpty(), qPrintable(m_prompts->messages.join('|')));
    QCOMPARE(find<QPushButton>(QStringLiteral("Button10"))->text(), QStringLiteral("Close"));
    runScenario();
}

void TestE2eLightCurtainAdmin::runScenario() {
    lightScenario();
    if (QTest::currentTestFailed())
        return;
    curtainScenario();
    if (QTest::currentTestFailed())
        return;
    adminScenario();
}

void TestE2eLightCurtainAdmin::lightScenario() {
    showPage(QStringLiteral("TabSheet3"));
    setSpin(QStringLiteral("SpinEdit2"), kLight);
    const struct {
        int channel;
        const char* button;
    } steps[] = {{1, "Button2"}, {3, "Button2"}, {4, "Button4"}, {6, "Button4"},
                 {6, "Button4"}, {8, "Button2"}, {8, "Button3"}};
    for (const auto& step : steps) {
        setSpin(QStringLiteral("SpinEdit3"), step.channel);
        clickAndWait(QString::fromLatin1(step.button));
        if (QTest::currentTestFailed())
            return;
    }
    QJsonObject light = SimProcess::module(m_sim.dump(), kLight);
    QCOMPARE(light["states"].toArray(), QJsonArray({1, 0, 1, 1, 0, 0, 0, 0}));

    // Every box starts ticked, so a box the read did not set shows up.
    for (int i = 1; i <= 8; ++i)
        find<QCheckBox>(QStringLiteral("CheckBox%1").arg(i))->setChecked(true);
    clickAndWait(QStringLiteral("Button11"));
    compareBoxes(kLight, 1, 8);

    setSpin(QStringLiteral("SpinEdit3"), 2);
    setSpin(QStringLiteral("SpinEdit11"), 300);
    clickAndWait(QStringLiteral("Button30"));
    light = SimProcess::module(m_sim.dump(), kLight);
    QCOMPARE(light["onSeconds"].toArray()[1].toInt(), 300);

    clickAndWait(QStringLiteral("Button6")); // All Off
    clickAndWait(QStringLiteral("Button11"));
    compareBoxes(kLight, 1, 8);
    for (int i = 1; i <= 8; ++i)
        QVERIFY(!find<QCheckBox>(QStringLiteral("CheckBox%1").arg(i))->isChecked());
}

void TestE2eLightCurtainAdmin::curtainScenario() {
    showPage(QStringLiteral("TabSheet4"));
    setSpin(QStringLiteral("SpinEdit9"), kCurtain);
    setSpin(QStringLiteral("SpinEdit10"), 2);
    setSpin(QStringLiteral("SpinEdit8"), 25);
    clickAndWait(QStringLiteral("Button21")); // travel time 2.5 s
    QCOMPARE(SimProcess::module(m_sim.dump(), kCurtain)["travelMs"].toArray()[1].toInt(), 2500);

    clickAndWait(QStringLiteral("Button14")); // Open
    clickAndWait(QStringLiteral("Button16")); // Stop
    const QJsonArray states = SimProcess::module(m_sim.dump(), kCurtain)["states"].toArray();
    QCOMPARE(states[1].toInt() & 1, 1);
    QCOMPARE(states[0].toInt() & 1, 0);

    for (int i = 9; i <= 12; ++i)
        find<QCheckBox>(QStringLiteral("CheckBox%1").arg(i))->setChecked(i != 10);
    clickAndWait(QStringLiteral("Button19"));
    compareBoxes(kCurtain, 9, 4);
    QVERIFY(find<QCheckBox>(QStringLiteral("CheckBox10"))->isChecked());
}

void TestE2eLightCurtainAdmin::adminScenario() {
    showPage(QStringLiteral("TabSheet1"));
    auto* address = find<QSpinBox>(QStringLiteral("SpinEdit1"));
    address->setValue(0);
    clickAndWait(QStringLiteral("Button22")); // Read: the module in addressing mode answers
    QCOMPARE(address->value(), m_sim.dump()["bench"].toInt());
    QCOMPARE(address->value(), kLight);

    address->setValue(kNewAddress);
    clickAndWait(QStringLiteral("Button1")); // Set
    QJsonObject state = m_sim.dump();
    QCOMPARE(state["bench"].toInt(), kNewAddress);
    QVERIFY(SimProcess::module(state, kLight).isEmpty());
    QVERIFY(!SimProcess::module(state, kNewAddress).isEmpty());

    address->setValue(0);
    clickAndWait(QStringLiteral("Button22"));
    QCOMPARE(address->value(), kNewAddress);

    clickAndWait(QStringLiteral("Button23")); // Test
    clickAndWait(QStringLiteral("Button12")); // type
    clickAndWait(QStringLiteral("Button29")); // version
    state = m_sim.dump();
    const QJsonObject module = SimProcess::module(state, kNewAddress);
    QCOMPARE(module["tests"].toInt(), 1);
    QCOMPARE(find<QLineEdit>(QStringLiteral("Edit1"))->text(), module["type"].toString());
    QCOMPARE(find<QLineEdit>(QStringLiteral("Edit2"))->text(), QStringLiteral("LGT8 V1.02"));
}

QTEST_MAIN(TestE2eLightCurtainAdmin)
#include "test_e2e_light_curtain_admin.moc"

// End to end: monitor bindings set on velm-sim's gateway and read back by device type, and
// the binding function test switching a bound light, over loopback UDP (one nested chain of
// exchanges) and over the simulator's pseudo-terminal (one reply at a time); the watchdog when
// the simulator drops an answer.
#include "app/main_window.h"
#include "link/bus_internals.h"
#include "link/bus.h"
#include "protocol/sequence_engine.h"
#include "records/record_store.h"
#include "records/schema.h"
#include "support/sim_process.h"
#include "support/window_fixture.h"
#include "support/window_probe.h"
#include "widgets/prompt_service.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QJsonArray>
#include <QJsonObject>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {
// A light sequence on the pty is 64 x (pause + block quiet): about 10 s. Generous.
constexpr int kSequenceMs = 60000;
constexpr int kWatchdogMs = 5000;
constexpr int kLightModule = 2; // the simulator's default modules: lights 1, 2, curtain 3, IR 4
constexpr int kCurtainModule = 3;
constexpr int kIrModule = 4;
const QString kFinished = QStringLiteral("Finished！");
} // namespace

class TestE2eMonitor : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void setAndReadBackEachType_data() { links(); }
    void setAndReadBackEachType();
    void bindTestSwitchesBoundLight_data() { links(); }
    void bindTestSwitchesBoundLight();
    void watchdogWhenAnAnswerIsDropped();

private:
    static void links();
    void open(bool serial);
    template <class T> T* find(const QString& name) const {
        return probe::control<T>(m_env->window.get(), name);
    }
    void click(const QString& name) { find<QPushButton>(name)->click(); }
    void choose(const QString& type) { find<QComboBox>("ComboBox27")->setCurrentText(type); }
    // Sets one binding and waits for its row.
    void bind(const QString& type, int slot, int module, int value);
    // Clears the rows of the chosen type, reads them all back and counts the requests.
    int readAll(const QString& type);
    QString binding(int slot) const;
    int logCount(const QString& start) const;
    int sendCount() const { return logCount(QStringLiteral("Send ：")); }
    // Clicks a bind-test button and waits for the answer's log line: on the serial line an
    // answer that follows another within the quiet time would share its block and be lost.
    void clickAndAwaitAnswer(const QString& button);

    std::unique_ptr<WindowFixture> m_env;
};

void TestE2eMonitor::links() {
    QTest::addColumn<bool>("serial");
    QTest::newRow("udp") << false;
    QTest::newRow("pty") << true;
}

void TestE2eMonitor::init() {
    m_env = std::make_unique<WindowFixture>();
}

void TestE2eMonitor::cleanup() {
    m_env.reset();
}

void TestE2eMonitor::open(bool serial) {
    QVERIFY2(m_env->open(serial), qPrintable(m_env->error));
}

QString TestE2eMonitor::binding(int slot) const {
    const RecordTable& t = m_env->window->records().monitor();
    for (int r = 0; r < t.rowCount(); ++r)
        if (t.valueAt(r, 0).toInt() == slot)
            return t.valueAt(r, 4).toString() + '|' + t.valueAt(r, 5).toString();
    return {};
}

int TestE2eMonitor::logCount(const QString& start) const {
    const QStringList lines =
        find<QPlainTextEdit>(QStringLiteral("Memo1"))->toPlainText().split('\n');
    return int(lines.filter(start).size());
}

void TestE2eMonitor::clickAndAwaitAnswer(const QString& button) {
    const int before = logCount(QStringLiteral("Read ："));
    click(button);
    QTRY_VERIFY_WITH_TIMEOUT(logCount(QStringLiteral("Read ：")) > before, kWatchdogMs);
}

void TestE2eMonitor::bind(const QString& type, int slot, int module, int value) {
    choose(type);
    find<QSpinBox>("SpinEdit38")->setValue(slot);
    find<QSpinBox>("SpinEdit42")->setValue(module);
    find<QSpinBox>(type == "AC" ? "SpinEdit44" : "SpinEdit41")->setValue(value);
    click(QStringLiteral("Button36"));
    QTRY_COMPARE_WITH_TIMEOUT(binding(slot), QStringLiteral("%1|%2").arg(module).arg(value),
                              kWatchdogMs);
}

int TestE2eMonitor::readAll(const QString& type) {
    choose(type);
    find<QAction>(QStringLiteral("MenuItem2"))->trigger(); // "Delete All" clears the rows
    click(QStringLiteral("Button40"));                     // a clear log to count in
    m_env->prompts.messages.clear();
    click(QStringLiteral("Button52"));
    if (!QTest::qWaitFor([this] { return m_env->prompts.messages.contains(kFinished); },
                         kSequenceMs))
        return -1;
    if (m_env->prompts.messages != QStringList{kFinished})
        return -2;
    return sendCount();
}

void TestE2eMonitor::setAndReadBackEachType() {
    QFETCH(bool, serial);
    open(serial);
    bind(QStringLiteral("Light"), 5, kLightModule, 4);
    bind(QStringLiteral("Curtain"), 66, kCurtainModule, 2);
    bind(QStringLiteral("AC"), 98, kIrModule, 7);
    // The gateway holds them under type, room and device byte.
    const QJsonArray held = m_env->sim.dump()["busSwitch"].toObject()["monitor"].toArray();
    QCOMPARE(held.size(), 3);
    QCOMPARE(
        held.contains(QJsonObject{
            {"type", 1}, {"room", 2}, {"device", 0}, {"module", kLightModule}, {"channel", 3}}),
        true);
    QCOMPARE(held.contains(QJsonObject{
                 {"type", 3}, {"room", 1}, {"device", 1}, {"module", kIrModule}, {"channel", 7}}),
             true);

    // The curtain sequence ends after slot 96.
    QCOMPARE(readAll(QStringLiteral("Curtain")), 32);
    QCOMPARE(binding(66), QStringLiteral("%1|2").arg(kCurtainModule));
    QCOMPARE(binding(96), QStringLiteral("255|256")); // unbound: the gateway answers FF FF
    QCOMPARE(m_env->window->sequences().position(SequenceKind::ReadMonitorSlots), 0);
    QVERIFY(!m_env->window->sequences().keepGoing());

    QCOMPARE(readAll(QStringLiteral("Light")), 64);
    QCOMPARE(binding(5), QStringLiteral("%1|4").arg(kLightModule));
    QCOMPARE(binding(6), QStringLiteral("255|256"));

    // 128 requests: the whole air-conditioner sequence runs on the quicker link only.
    if (!serial) {
        QCOMPARE(readAll(QStringLiteral("AC")), 128);
        QCOMPARE(binding(98), QStringLiteral("%1|7").arg(kIrModule));
        QCOMPARE(binding(97), QStringLiteral("255|255"));
    }
}

void TestE2eMonitor::bindTestSwitchesBoundLight() {
    QFETCH(bool, serial);
    open(serial);
    // Slot 5 is room 2, device 1: bound to channel 3 of the second light module.
    bind(QStringLiteral("Light"), 5, kLightModule, 3);
    find<QSpinBox>("SpinEdit39")->setValue(2);
    find<QSpinBox>("SpinEdit40")->setValue(1);
    auto channel3 = [this] {
        return SimProcess::module(m_env->sim.dump(), kLightModule)["states"].toArray()[2].toInt();
    };
    auto* on = find<QCheckBox>("CheckBox14");
    auto* off = find<QCheckBox>("CheckBox15");

    clickAndAwaitAnswer(QStringLiteral("Button51"));
    QTRY_COMPARE_WITH_TIMEOUT(channel3(), 1, kWatchdogMs);
    clickAndAwaitAnswer(QStringLiteral("Button56"));
    QTRY_VERIFY_WITH_TIMEOUT(on->isChecked() && !off->isChecked(), kWatchdogMs);

    clickAndAwaitAnswer(QStringLiteral("Button53"));
    QTRY_COMPARE_WITH_TIMEOUT(channel3(), 0, kWatchdogMs);
    clickAndAwaitAnswer(QStringLiteral("Button56"));
    QTRY_VERIFY_WITH_TIMEOUT(!on->isChecked() && off->isChecked(), kWatchdogMs);
    QVERIFY(m_env->prompts.messages.isEmpty());
}

void TestE2eMonitor::watchdogWhenAnAnswerIsDropped() {
    open(true);
    bind(QStringLiteral("Curtain"), 65, kCurtainModule, 1);
    QCOMPARE(m_env->sim.command(QStringLiteral("drop 1")), QStringLiteral("ok"));
    m_env->prompts.messages.clear();
    click(QStringLiteral("Button52"));
    QTRY_VERIFY_WITH_TIMEOUT(m_env->prompts.messages.contains(QStringLiteral("Timeout！")),
                             kWatchdogMs * 3);
    QCOMPARE(m_env->prompts.messages, QStringList{QStringLiteral("Timeout！")});
    QVERIFY(!m_env->window->sequences().keepGoing());
    QCOMPARE(binding(65), QStringLiteral("%1|1").arg(kCurtainModule));

    // The next click is a new sequence from the first curtain slot.
    QCOMPARE(readAll(QStringLiteral("Curtain")), 32);
    QCOMPARE(binding(65), QStringLiteral("%1|1").arg(kCurtainModule));
}

QTEST_MAIN(TestE2eMonitor)
#include "test_e2e_monitor.moc"

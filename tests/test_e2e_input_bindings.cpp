// End to end: input bindings against velm-sim over loopback UDP and over its pseudo-terminal.
// A binding is set, read back with the 14 other channels and cleared again; a triggered input
// switches the light it is bound to; the watchdog and Cancel end a sequence half-way.
#include "app/main_window.h"
#include "app/processing_dialog.h"
#include "link/bus_internals.h"
#include "link/bus.h"
#include "protocol/sequence_engine.h"
#include "records/record_store.h"
#include "records/schema.h"
#include "support/sim_process.h"
#include "support/window_fixture.h"
#include "support/window_probe.h"
#include "widgets/prompt_service.h"

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
#include <QTimer>

#include <memory>

namespace {
constexpr int kInputModule = 5; // the simulator's default input and light modules
constexpr int kLightModule = 1;
constexpr int kSequenceMs = 30000;
constexpr int kWatchdogMs = 5000;
const QString kFinished = QStringLiteral("Finished！");
const QString kBound = QStringLiteral("5|2|NO|1|1|3|Light On|0");
QString emptyRow(int channel) {
    return QStringLiteral("5|%1|------|255|255|255|Invalid|255").arg(channel);
}
} // namespace

class TestE2eInputBindings : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void setReadAllAndTrigger_data() { links(); }
    void setReadAllAndTrigger();
    void deleteAll_data() { links(); }
    void deleteAll();
    void watchdogEndsReadAll_data() { links(); }
    void watchdogEndsReadAll();
    void cancelEndsDeleteAll_data() { links(); }
    void cancelEndsDeleteAll();

private:
    static void links();
    template <class T> T* find(const QString& name) const {
        return probe::control<T>(m_env->window.get(), name);
    }
    void click(const QString& name) { find<QPushButton>(name)->click(); }
    QStringList rows() const { return probe::tableRows(m_env->window->records().binds()); }
    int sends() const;
    int lightState(int channel);
    void setBinding();
    void waitFinished();
    bool processing() const { return m_env->window->sequences().keepGoing(); }

    std::unique_ptr<WindowFixture> m_env;
};

void TestE2eInputBindings::links() {
    QTest::addColumn<bool>("serial");
    QTest::newRow("udp") << false;
    QTest::newRow("pty") << true;
}

void TestE2eInputBindings::init() {
    QFETCH(bool, serial);
    m_env = std::make_unique<WindowFixture>();
    QVERIFY2(m_env->open(serial), qPrintable(m_env->error));
    find<QSpinBox>(QStringLiteral("SpinEdit37"))->setValue(kInputModule);
}

void TestE2eInputBindings::cleanup() {
    m_env.reset();
}

int TestE2eInputBindings::sends() const {
    const QStringList lines =
        find<QPlainTextEdit>(QStringLiteral("Memo1"))->toPlainText().split('\n');
    return int(lines.filter(QStringLiteral("Send ")).size());
}

int TestE2eInputBindings::lightState(int channel) {
    return SimProcess::module(m_env->sim.dump(), kLightModule)["states"]
        .toArray()[channel - 1]
        .toInt();
}

// Input 2 of module 5, "NO", 1 s, "Light On" on light module 1 channel 3.
void TestE2eInputBindings::setBinding() {
    find<QSpinBox>(QStringLiteral("SpinEdit15"))->setValue(kInputModule);
    find<QSpinBox>(QStringLiteral("SpinEdit17"))->setValue(2);
    find<QComboBox>(QStringLiteral("ComboBox15"))->setCurrentIndex(1);
    find<QSpinBox>(QStringLiteral("SpinEdit19"))->setValue(1);
    find<QSpinBox>(QStringLiteral("SpinEdit18"))->setValue(kLightModule);
    find<QSpinBox>(QStringLiteral("SpinEdit16"))->setValue(3);
    find<QComboBox>(QStringLiteral("ComboBox16"))->setCurrentIndex(0);
    click(QStringLiteral("Button35"));
    QTRY_COMPARE_WITH_TIMEOUT(rows(), QStringList{kBound}, kWatchdogMs);
    QCOMPARE(SimProcess::module(m_env->sim.dump(), kInputModule)["inputs"].toArray().size(), 1);
}

void TestE2eInputBindings::waitFinished() {
    QTRY_VERIFY_WITH_TIMEOUT(m_env->prompts.messages.contains(kFinished), kSequenceMs);
    QCOMPARE(m_env->prompts.messages, QStringList{kFinished});
    QVERIFY(!processing());
    QCOMPARE(m_env->window->sequences().position(SequenceKind::ReadBindings), 0);
}

void TestE2eInputBindings::setReadAllAndTrigger() {
    setBinding();
    QCOMPARE(lightState(3), 0);
    QCOMPARE(m_env->sim.command(QStringLiteral("trigger 5 2")), QStringLiteral("ok"));
    QTRY_COMPARE_WITH_TIMEOUT(lightState(3), 1, kWatchdogMs);

    const int before = sends();
    click(QStringLiteral("Button50"));
    waitFinished();
    QCOMPARE(sends() - before, 14);
    const QStringList got = rows();
    QCOMPARE(got.size(), 14);
    QCOMPARE(got.at(1), kBound);
    for (int channel : {1, 3, 14})
        QCOMPARE(got.at(channel - 1), emptyRow(channel));
}

void TestE2eInputBindings::deleteAll() {
    setBinding();
    click(QStringLiteral("Button48"));
    waitFinished();
    const QStringList got = rows();
    QCOMPARE(got.size(), 14);
    for (int i = 0; i < 14; ++i)
        QCOMPARE(got.at(i), emptyRow(i + 1));
    QCOMPARE(m_env->window->sequences().running(SequenceKind::DeleteBindings), false);
    QVERIFY(SimProcess::module(m_env->sim.dump(), kInputModule)["inputs"].toArray().isEmpty());
    QCOMPARE(m_env->sim.command(QStringLiteral("trigger 5 2")),
             QStringLiteral("error: input 2 is not bound"));
}

void TestE2eInputBindings::watchdogEndsReadAll() {
    // A reply half-way through goes missing.
    QTimer::singleShot(300, m_env->window.get(),
                       [this] { m_env->sim.command(QStringLiteral("drop 1")); });
    click(QStringLiteral("Button50"));
    QTRY_VERIFY_WITH_TIMEOUT(m_env->prompts.messages.contains(QStringLiteral("Timeout！")),
                             kWatchdogMs * 3);
    QCOMPARE(m_env->prompts.messages, QStringList{QStringLiteral("Timeout！")});
    QVERIFY(!processing());
    QVERIFY(rows().size() < 14);
    QCOMPARE(m_env->window->sequences().position(SequenceKind::ReadBindings), 0);

    // The next click reads from channel 1 over the rows there are.
    m_env->prompts.messages.clear();
    click(QStringLiteral("Button50"));
    waitFinished();
    QCOMPARE(rows().size(), 14);
    QCOMPARE(rows().first(), emptyRow(1));
}

void TestE2eInputBindings::cancelEndsDeleteAll() {
    TForm2& dialog = m_env->window->processingDialog();
    QTimer::singleShot(600, &dialog, [&dialog] {
        dialog.findChild<QPushButton*>(QStringLiteral("Button1"))->click();
    });
    click(QStringLiteral("Button48"));
    QTRY_VERIFY_WITH_TIMEOUT(!processing(), kSequenceMs);
    const QStringList written = rows();
    QVERIFY2(written.size() >= 1 && written.size() < 14, qPrintable(written.join('\n')));
    QCOMPARE(m_env->window->sequences().running(SequenceKind::DeleteBindings), false);
    // A reply still on its way writes nothing, sends nothing and finishes nothing.
    const int sent = sends();
    QTest::qWait(800);
    QCOMPARE(rows(), written);
    QCOMPARE(sends(), sent);
    QVERIFY(m_env->prompts.messages.isEmpty());
    QCOMPARE(m_env->window->sequences().position(SequenceKind::ReadBindings), 0);
}

QTEST_MAIN(TestE2eInputBindings)
#include "test_e2e_input_bindings.moc"
